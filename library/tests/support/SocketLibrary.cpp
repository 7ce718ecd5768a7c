#include "support/SocketLibrary.h"

#include "platform/SocketServices.h"

namespace karvel::test {

void useSocketLibrary() {
    static const bool started = (net::startSocketLibrary(), true);
    static_cast<void>(started);
}

} // namespace karvel::test
