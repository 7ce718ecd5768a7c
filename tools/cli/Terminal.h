// What the host asks of the terminal it runs in, whatever the platform: is a
// standard stream a terminal, and how wide is it. The platform's half lives
// in Terminal_<platform>.cpp.
#pragma once

namespace karvel::cli::terminal {

enum class Stream { Input, Output, Error };

// Readies the console for the host's output (on Windows: escape sequences
// and UTF-8). Call first thing in main.
void prepare();

bool isTerminal(Stream stream);

// Columns of the terminal on standard error (80 when it does not say).
int columns();

} // namespace karvel::cli::terminal
