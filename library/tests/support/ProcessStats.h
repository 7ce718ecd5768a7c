// What the process holds, for leak checks across configure/release cycles.
#pragma once

namespace karvel::test {

int threadCount();
int openHandleCount();

} // namespace karvel::test
