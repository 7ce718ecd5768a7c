// The built Karvel shared library, loaded by path once per test process, with
// its log lines going to LogCapture.
#pragma once

#include <string>

#include "KarvelLibrary.h"
#include "LogCapture.h"

namespace karvel::test {

// The loaded library; fails the calling test when it cannot be loaded.
host::KarvelLibrary& karvelLibrary();

std::string libraryPath();

} // namespace karvel::test
