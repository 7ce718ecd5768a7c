// The host's frame schedule: a frame that goes out late (a stall on a busy
// machine) pushes the later ones back, so that the frames after a stall never
// follow in a burst that would move the seat faster than each step allows.
#include <gtest/gtest.h>

#include <thread>

#include "FramePacer.h"

namespace karvel::cli {
namespace {

TEST(FramePacer, AStallPushesTheLaterFramesBackInsteadOfBunchingThem) {
    using std::chrono::milliseconds;
    FramePacer pacer(100);
    const FramePacer::Clock::time_point due = pacer.dueOf(0);
    std::this_thread::sleep_until(due + milliseconds(50)); // the stall
    const FramePacer::Clock::time_point sent = FramePacer::Clock::now();
    pacer.measure(0);
    EXPECT_EQ(pacer.late(), 1u);
    EXPECT_GE(pacer.worstLatenessMs(), 50.0);
    EXPECT_GE(pacer.dueOf(0), sent) << "the schedule starts afresh from the late frame";
    EXPECT_EQ(pacer.dueOf(1) - pacer.dueOf(0), std::chrono::duration_cast<FramePacer::Clock::duration>(milliseconds(10)))
        << "the next frame a whole period after it";
    EXPECT_EQ(pacer.timeOf(1), 0.01) << "frame times within the stream are as they were";
}

} // namespace
} // namespace karvel::cli
