// Runs a program with a pseudo-terminal of a given width as its standard
// input, output and error, as a user's shell would, and replays what it
// wrote the way a terminal shows it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace karvel::tools::test {

struct TerminalResult {
    int status = -1;  // -1 when it ran past the time-out (it is then killed)
    std::string raw;  // every byte written, escape sequences included
};

// `typed` is typed into the terminal once the program has written
// `typeAfter` (at once when empty).
TerminalResult runInTerminal(const std::vector<std::string>& arguments, int columns,
                             std::chrono::milliseconds timeout, const std::string& typed = "",
                             const std::string& typeAfter = "");

// The rows a terminal of `columns` would show after `raw`: carriage return,
// line feed, erase to the end of the row (ESC [ K) and wrapping at the last
// column; other escape sequences are dropped.
std::vector<std::string> terminalRows(const std::string& raw, int columns);

} // namespace karvel::tools::test
