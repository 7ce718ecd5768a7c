// The test process's own start of the socket library (Windows Sockets; nothing
// elsewhere), done once and never undone: unloading the library cleans up only
// its own start, and tests that link the library's code have no start at all.
#pragma once

namespace karvel::test {

void useSocketLibrary();

} // namespace karvel::test
