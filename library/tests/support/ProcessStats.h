// What the process holds, for leak checks across configure/release and load/unload cycles.
#pragma once

#include <string>

namespace karvel::test {

int threadCount();
int openHandleCount();
// Whether the shared library file at `path` is mapped into the process.
bool libraryLoaded(const std::string& path);
// The memory the process holds (resident set, working set on Windows), or -1 when unknown.
long residentBytes();

} // namespace karvel::test
