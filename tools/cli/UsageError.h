// Bad input from the user: reported, and the host exits with status 2.
#pragma once

#include <stdexcept>

namespace karvel::cli {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace karvel::cli
