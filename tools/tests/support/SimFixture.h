// A virtual seat on system-chosen ports for one test, and the real library
// configured against it (for the tests that hold the port 8410 lock).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "EffectsExports.h"
#include "support/LoadedKarvel.h"
#include "VirtualSeat.h"

namespace karvel::tools::test {

constexpr std::chrono::milliseconds kDeadline{10000};

sim::SeatOptions loopbackSeat(const sim::CrankModel& model);

// The effects exports of the library under test (bound once).
EffectsExports& effectsExports();

class LibraryAgainstSim : public ::testing::Test {
protected:
    // Starts the seat and registers it with the library (effects when Orvida).
    void start(const sim::CrankModel& model);
    void TearDown() override;

    // Waits until the seat has received `frames` good frames in all.
    sim::SimSnapshot waitForFrames(std::uint64_t frames);

    std::unique_ptr<sim::VirtualSeat> seat_;
};

} // namespace karvel::tools::test
