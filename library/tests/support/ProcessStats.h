// What the process holds, for leak checks across configure/release and load/unload cycles.
#pragma once

#include <chrono>
#include <string>

namespace karvel::test {

int threadCount();
int openHandleCount();
// Counts taken right after a release lag it by a moment (a joined thread's task
// can stay listed briefly after the join returns): these wait, up to `deadline`,
// for the count to come back to `expected` or below and return the last count
// seen. A baseline taken after a release may itself include such a straggler,
// so leak checks compare with <=; a real leak over many cycles still shows.
int threadCountBackTo(int expected, std::chrono::milliseconds deadline = std::chrono::seconds(10));
int openHandleCountBackTo(int expected, std::chrono::milliseconds deadline = std::chrono::seconds(10));
// Whether the shared library file at `path` is mapped into the process.
bool libraryLoaded(const std::string& path);
// The memory the process holds (resident set, working set on Windows), or -1 when unknown.
long residentBytes();

} // namespace karvel::test
