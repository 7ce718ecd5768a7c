// Standard error as the host shares it between a progress bar and the lines
// printed while the bar is shown (the library's log lines come from its own
// threads). A line goes above the bar: the bar's row is cleared, the line
// printed and the bar drawn again below it, so the bar is never broken.
#pragma once

#include <string>

namespace karvel::cli::console {

// Prints `line` and a line end on standard error, above the bar if one is shown.
void printLine(const std::string& line);

// Draws (or redraws) the bar on the last row of a terminal. `text` is cut to
// the terminal's width so that the row never wraps.
void showBar(const std::string& text);
// Ends the bar's row with a line end; later lines go below it.
void endBar();

// Columns of the terminal on standard error (80 when it does not say).
int terminalColumns();

} // namespace karvel::cli::console
