// Bad input from the user (a command line, a file, a command of `run`):
// reported, and the host exits with status 2.
#pragma once

#include <stdexcept>

namespace karvel::cli {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace karvel::cli
