// A virtual seat on system-chosen ports for one test, and the real library
// configured against it (for the tests that hold the port 8410 lock).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/LoadedKarvel.h"
#include "VirtualSeat.h"

namespace karvel::tools::test {

constexpr std::chrono::milliseconds kDeadline{10000};

sim::SeatOptions loopbackSeat(const KarvelSeat::SeatModel& model);

// The seat at its home posture, as the frames decode it.
bool atHome(const sim::DecodedPosture& p);
// No relay coil on and the fan speed controller's speed at 0.
bool everyEffectOff(const sim::SimSnapshot& s);

class LibraryAgainstSim : public ::testing::Test {
protected:
    // Starts the seat and registers it with the library (effects when Orvida).
    void start(const KarvelSeat::SeatModel& model);
    void TearDown() override;

    // Waits until the seat has received `frames` good frames in all.
    sim::SimSnapshot waitForFrames(std::uint64_t frames);

    std::unique_ptr<sim::VirtualSeat> seat_;
};

} // namespace karvel::tools::test
