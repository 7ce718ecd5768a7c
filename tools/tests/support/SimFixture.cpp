#include "SimFixture.h"

#include <algorithm>
#include <cmath>

#include "support/SocketLibrary.h"

namespace karvel::tools::test {

sim::SeatOptions loopbackSeat(const KarvelSeat::SeatModel& model) {
    karvel::test::useSocketLibrary();
    sim::SeatOptions options;
    options.model = &model;
    options.motionPort = options.relayPort = options.speedPort = 0;
    return options;
}

bool atHome(const sim::DecodedPosture& p) {
    return std::abs(p.pitch) < 1e-3 && std::abs(p.roll) < 1e-3 && std::abs(p.yaw) < 1e-3 &&
           std::abs(p.height - 0.5) < 1e-4;
}

bool everyEffectOff(const sim::SimSnapshot& s) {
    const bool coilOn = std::any_of(s.relay.coils.begin(), s.relay.coils.end(), [](bool on) { return on; });
    return !coilOn && s.speed.registers.size() > 3 && s.speed.registers[3] == 0;
}

void LibraryAgainstSim::start(const KarvelSeat::SeatModel& model) {
    seat_ = std::make_unique<sim::VirtualSeat>(loopbackSeat(model));
    const sim::Ports ports = seat_->ports();
    const int effects = &model == &KarvelSeat::OrvidaSeat ? 1 : 0;
    ASSERT_TRUE(karvel::test::karvelLibrary().SetConfiguration(effects, "127.0.0.1", ports.motion, effects,
                                                                 "127.0.0.1", ports.relay, "127.0.0.1", ports.speed));
}

void LibraryAgainstSim::TearDown() {
    karvel::test::karvelLibrary().Release();
    seat_.reset();
}

sim::SimSnapshot LibraryAgainstSim::waitForFrames(std::uint64_t frames) {
    return seat_->waitFor([frames](const sim::SimSnapshot& s) { return s.motion.frames >= frames; }, kDeadline);
}

} // namespace karvel::tools::test
