// The host's output, shared by its threads (the library's log lines come
// from the library's own): results on standard output, remarks and errors on
// standard error, where a progress bar (or the prompt of `run`) may hold the
// last row of a terminal. A line goes above the bar: the bar's row is
// cleared, the line printed and the bar drawn again below it, so the bar is
// never broken. Every line printed is also copied into the log file, when
// there is one.
#pragma once

#include <string>

namespace karvel::cli {
class LogFile;
}

namespace karvel::cli::console {

// A result or summary line on standard output.
void printResult(const std::string& line);
// A remark, an error or a library line on standard error.
void printLine(const std::string& line);
// A line for the log file alone (library lines below the level shown).
void logOnly(const std::string& line);

// Draws (or redraws) the bar on the last row of a terminal. `text` is cut to
// the terminal's width so that the row never wraps.
void showBar(const std::string& text);
// Ends the bar's row with a line end; later lines go below it.
void endBar();
// The bar's row was ended by the user (the Enter after a prompt).
void barEndedByUser();

// From now on every line printed is copied into `file`, until it is nullptr.
void copyTo(LogFile* file);

// printf-style text.
std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace karvel::cli::console
