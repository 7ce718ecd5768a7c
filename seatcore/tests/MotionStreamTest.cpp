// The seat's motion frame by frame, without a thread or a library: what a stream sends as its source posts motion,
// postures and parks, and as the watchdog trips and clears, judged frame by frame against the profile's limits.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "FrameCheck.h"
#include "SeatRuntime/MotionStream.h"

using namespace KarvelSeat;
using KarvelSeatTest::FrameCheck;

namespace {

const KarvelCueing::CueingProfile& Road = KarvelCueing::RoadVehicleProfile();

MotionSample Driving(double Forward, double YawRate = 0) {
    MotionSample Sample;
    Sample.Kind = MotionSample::EKind::Motion;
    Sample.Motion.SpecificForce.X = Forward;
    Sample.Motion.AngularVelocity.Z = YawRate;
    return Sample;
}

MotionSample Parking() { return MotionSample{}; }

bool Same(const Posture& A, const Posture& B, float Allowance = 0) {
    return std::abs(A.Pitch - B.Pitch) <= Allowance && std::abs(A.Roll - B.Roll) <= Allowance &&
           std::abs(A.Yaw - B.Yaw) <= Allowance && std::abs(A.Height - B.Height) <= Allowance;
}

// Up to Count frames; the postures sent, each checked. Stops early at the first frame that sends nothing.
std::vector<Posture> SendWhileMoving(MotionStream& Stream, int Count, FrameCheck& Check) {
    std::vector<Posture> Sent;
    for (int Frame = 0; Frame < Count; ++Frame) {
        const std::optional<Posture> Next = Stream.Frame();
        if (!Next) break;
        Check.Observe(*Next);
        Sent.push_back(*Next);
    }
    return Sent;
}

class AnOrvidaStream : public ::testing::Test {
protected:
    AnOrvidaStream() { Stream.SetHome(OrvidaSeat); }

    // A stream begun at home, driven by Sample for Seconds at 100 Hz.
    std::vector<Posture> Drive(const MotionSample& Sample, double Seconds) {
        Stream.Take(Sample);
        return SendWhileMoving(Stream, static_cast<int>(std::lround(Seconds / Stream.FrameSeconds())), Check);
    }

    MotionStream Stream;
    FrameCheck Check{Road, 0.01, OrvidaSeat.Home};
};

} // namespace

// At 60 Hz a frame is seventeen core steps, at 1 kHz one: a ride feels the same at either frame rate.
TEST(MotionStreamRate, TheCoreStepsAtItsOwnRateWhateverTheFrameRate) {
    const auto Ride = [](double FrameRate) {
        MotionStream Stream;
        Stream.SetFrameRate(FrameRate);
        Stream.SetHome(OrvidaSeat);
        Stream.Begin(OrvidaSeat.Home);
        std::vector<Posture> Every50Ms;
        const int FramesPer50Ms = static_cast<int>(std::lround(0.05 * FrameRate));
        for (int Frame = 1; Frame <= static_cast<int>(3 * FrameRate); ++Frame) {
            // Braking hard into a right-hand bend for two seconds, then cruising.
            Stream.Take(Frame <= 2 * FrameRate ? Driving(-4.0, 20.0) : Driving(0.0));
            const std::optional<Posture> Sent = Stream.Frame();
            if (Frame % FramesPer50Ms == 0) Every50Ms.push_back(Sent.value_or(Posture{}));
        }
        return Every50Ms;
    };
    const std::vector<Posture> Slow = Ride(60);
    const std::vector<Posture> Fast = Ride(1000);
    ASSERT_EQ(Slow.size(), Fast.size());
    float MostPitch = 0;
    for (size_t Index = 0; Index < Slow.size(); ++Index) {
        EXPECT_TRUE(Same(Slow[Index], Fast[Index], 0.01f)) << "at " << (Index + 1) * 0.05 << " s";
        MostPitch = std::min(MostPitch, Fast[Index].Pitch);
    }
    EXPECT_LT(MostPitch, -1.0f) << "braking tipped the rider forward";
}

TEST_F(AnOrvidaStream, NothingMovesBeforeTheSourcesFirstSample) {
    Stream.Begin(OrvidaSeat.Home);
    EXPECT_TRUE(Stream.IsStreaming());
    EXPECT_FALSE(Stream.Frame().has_value());
    ASSERT_EQ(Drive(Driving(3.0), 0.5).size(), 50u);
    EXPECT_TRUE(Check.Ok()) << Check.FirstFailure();
}

TEST_F(AnOrvidaStream, AParkSampleRampsHomeWithinTheParkTimeAndThenRests) {
    Stream.Begin(OrvidaSeat.Home);
    const std::vector<Posture> Driven = Drive(Driving(3.0, 25.0), 2.0);
    ASSERT_GT(std::abs(Driven.back().Pitch) + std::abs(Driven.back().Yaw), 1.0f);

    const std::vector<Posture> Ramp = Drive(Parking(), 5.0);
    ASSERT_FALSE(Ramp.empty());
    EXPECT_LE(Ramp.size() * 0.01, Road.ParkSeconds + 0.01);
    EXPECT_TRUE(Same(Ramp.back(), OrvidaSeat.Home)) << "home exactly, the posture the home command stands for";
    EXPECT_TRUE(Stream.IsParked());
    EXPECT_FALSE(Stream.Frame().has_value()) << "a seat at rest at home is left alone";
    EXPECT_TRUE(Stream.IsStreaming()) << "the source still holds the stream";
    EXPECT_TRUE(Check.Ok()) << Check.FirstFailure();

    Check.AtRest();
    const std::vector<Posture> Resumed = Drive(Driving(3.0), 1.0);
    EXPECT_EQ(Resumed.size(), 100u);
    EXPECT_FALSE(Stream.IsParked());
    EXPECT_TRUE(Check.Ok()) << "resuming softly: " << Check.FirstFailure();
}

TEST_F(AnOrvidaStream, TheWatchdogParksAStreamUntilClearedThenItResumesSoftly) {
    Stream.Begin(OrvidaSeat.Home);
    Drive(Driving(-4.0, -20.0), 2.0);

    Stream.Trip(Posture{});
    const std::vector<Posture> Ramp = Drive(Driving(-4.0, -20.0), 5.0);
    ASSERT_FALSE(Ramp.empty());
    EXPECT_TRUE(Same(Ramp.back(), OrvidaSeat.Home)) << "tripped: home, whatever the samples say";
    EXPECT_LE(Ramp.size() * 0.01, Road.ParkSeconds + 0.01);

    Stream.Clear();
    Check.AtRest();
    const std::vector<Posture> Resumed = Drive(Driving(-4.0, -20.0), 1.0);
    EXPECT_EQ(Resumed.size(), 100u);
    EXPECT_TRUE(Check.Ok()) << Check.FirstFailure();
}

// A posture the game sent itself (no stream) is parked when the game goes silent and given back when it answers.
TEST_F(AnOrvidaStream, AGamesOwnPostureParksOnTheWatchdogAndComesBackAfterIt) {
    const Posture Tilted{8.0f, -6.0f, 20.0f, 0.7f};
    FrameCheck FromTilt(Road, 0.01, Tilted);
    Stream.Trip(Tilted);
    const std::vector<Posture> Ramp = SendWhileMoving(Stream, 500, FromTilt);
    ASSERT_FALSE(Ramp.empty());
    EXPECT_TRUE(Same(Ramp.back(), OrvidaSeat.Home));
    EXPECT_FALSE(Stream.Frame().has_value());

    Stream.Clear();
    FromTilt.AtRest();
    const std::vector<Posture> Back = SendWhileMoving(Stream, 500, FromTilt);
    ASSERT_FALSE(Back.empty());
    EXPECT_TRUE(Same(Back.back(), Tilted, 1e-4f));
    EXPECT_TRUE(Stream.Settled()) << "there, it leaves the seat to the game again";
    EXPECT_TRUE(FromTilt.Ok()) << FromTilt.FirstFailure();
}

TEST_F(AnOrvidaStream, AReturnStopsAtTheProfilesLimitsOrWhenTheGameTakesOver) {
    const Posture BeyondYaw{0.0f, 0.0f, 90.0f, 0.5f};
    FrameCheck FromThere(Road, 0.01, BeyondYaw);
    Stream.Trip(BeyondYaw);
    SendWhileMoving(Stream, 500, FromThere);
    Stream.Clear();
    FromThere.AtRest();
    const std::vector<Posture> Back = SendWhileMoving(Stream, 500, FromThere);
    ASSERT_FALSE(Back.empty());
    EXPECT_NEAR(Back.back().Yaw, Road.YawLimit, 1e-4) << "as far as the road profile's turntable range";
    EXPECT_TRUE(Stream.Settled());
    EXPECT_TRUE(FromThere.Ok()) << FromThere.FirstFailure();

    Stream.Trip(Posture{5.0f, 0.0f, 0.0f, 0.5f});
    ASSERT_TRUE(Stream.Frame().has_value());
    Stream.TakeDirectControl();
    EXPECT_TRUE(Stream.Settled());
    Stream.Clear();
    EXPECT_FALSE(Stream.Frame().has_value()) << "the game's own posture stands: nothing comes back";

    Stream.Trip(OrvidaSeat.Home);
    EXPECT_FALSE(Stream.Frame().has_value()) << "a seat at home has nothing to park";
}

TEST_F(AnOrvidaStream, EndingOrStoppingTheStreamParksItAndThenItIsQuiet) {
    for (const bool bStop : {false, true}) {
        SCOPED_TRACE(bStop ? "ParkForStop" : "End");
        Stream.Begin(OrvidaSeat.Home);
        const std::vector<Posture> Driven = Drive(Driving(3.0, 30.0), 2.0);
        bStop ? Stream.ParkForStop() : Stream.End();
        EXPECT_FALSE(Stream.IsStreaming());
        EXPECT_FALSE(Stream.Settled());
        const std::vector<Posture> Ramp = SendWhileMoving(Stream, 500, Check);
        ASSERT_FALSE(Ramp.empty());
        EXPECT_TRUE(Same(Ramp.back(), OrvidaSeat.Home));
        EXPECT_TRUE(Stream.Settled());
        EXPECT_FALSE(Stream.Frame().has_value());
        EXPECT_TRUE(Check.Ok()) << Check.FirstFailure();
        Check.AtRest();
    }
}
