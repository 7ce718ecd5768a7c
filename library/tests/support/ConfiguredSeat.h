// An Orvida seat set up through the loaded library, with both of its workers
// (motion and effects) shown to be running.
#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "KarvelLibrary.h"
#include "ModbusTestServer.h"
#include "UdpReceiver.h"

namespace karvel::test {

// Registers an Orvida seat with effects aimed at the receiver and the devices,
// and checks that the home frame and a fan speed arrive.
inline ::testing::AssertionResult configureAndHome(host::KarvelLibrary& library, UdpReceiver& receiver,
                                                   EffectsDevices& devices) {
    constexpr int kOrvida = 1;
    if (!library.SetConfiguration(kOrvida, "127.0.0.1", receiver.port(), 1, "127.0.0.1", devices.relay.port(),
                                  "127.0.0.1", devices.speed.port()))
        return ::testing::AssertionFailure() << "configuration failed";
    library.ResetPosition();
    const std::optional<Datagram> frame = receiver.receive();
    if (!frame || frame->bytes != expectedFrame(65177, 65177, 65177, 0))
        return ::testing::AssertionFailure() << "no home frame";
    const std::size_t requests = devices.speed.requestCount();
    library.SetWindSpeed(2);
    if (!devices.speed.waitForRequests(requests + 1)) return ::testing::AssertionFailure() << "no fan speed request";
    return ::testing::AssertionSuccess();
}

} // namespace karvel::test
