#include "SimFixture.h"

#include "support/SocketLibrary.h"

namespace karvel::tools::test {

sim::SeatOptions loopbackSeat(const KarvelSeat::SeatModel& model) {
    karvel::test::useSocketLibrary();
    sim::SeatOptions options;
    options.model = &model;
    options.motionPort = options.relayPort = options.speedPort = 0;
    return options;
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
