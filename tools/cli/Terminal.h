// What the host asks of the terminal it runs in, whatever the platform: its
// command line in UTF-8, is a standard stream a terminal, and how wide is it. The platform's half lives
// in Terminal_<platform>.cpp.
#pragma once

#include <string>
#include <vector>

namespace karvel::cli::terminal {

enum class Stream { Input, Output, Error };

// Readies the console for the host's output (on Windows: escape sequences
// and UTF-8). Call first thing in main.
void prepare();

// The command line's words in UTF-8, the program's name first (on Windows
// `argv` is in the system's code page, which cannot hold every file name).
std::vector<std::string> commandLine(int argc, char** argv);

bool isTerminal(Stream stream);

// Columns of the terminal on standard error (80 when it does not say).
int columns();

} // namespace karvel::cli::terminal
