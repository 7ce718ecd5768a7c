// The lines between a host and its guard, and in the guard's state file: written out by hand here, read back, and
// refused when they are not whole.
#include <gtest/gtest.h>

#include "SeatGuard/WatchedSeat.h"

using namespace KarvelSeat;

namespace {

GuardedSeat OrvidaWithEffects() {
    GuardedSeat Seat;
    Seat.Model = 1;
    Seat.UdpIp = "192.168.15.211";
    Seat.UdpPort = 7408;
    Seat.bEffects = true;
    Seat.RelayIp = "192.168.15.7";
    Seat.RelayPort = 8234;
    Seat.SpeedIp = "192.168.15.8";
    Seat.SpeedPort = 8235;
    return Seat;
}

WatchedSeat ReadBack(const std::string& Text) {
    WatchedSeat State;
    std::size_t Start = 0;
    for (std::size_t End; (End = Text.find('\n', Start)) != std::string::npos; Start = End + 1) {
        std::string Error;
        EXPECT_TRUE(ApplyGuardLine(State, std::string_view(Text).substr(Start, End - Start), Error)) << Error;
    }
    return State;
}

} // namespace

TEST(GuardLines, AreWrittenAsDocumented) {
    EXPECT_EQ(HelloLine(), "karvel-guard 1\n");
    EXPECT_EQ(HostLine(4242, "Unreal Editor\t2"), "host 4242 Unreal_Editor_2\n") << "one word, whatever the name";
    EXPECT_EQ(SeatLine(OrvidaWithEffects()), "seat 1 192.168.15.211 7408 1 192.168.15.7 8234 192.168.15.8 8235\n");
    GuardedSeat Tamsel;
    Tamsel.UdpIp = "10.0.0.1";
    EXPECT_EQ(SeatLine(Tamsel), "seat 0 10.0.0.1 7408 0 - 8234 - 8234\n") << "no address: a dash";
    EXPECT_EQ(PostureLine(Posture{6.7f, -0.25f, 40.0f, 0.5f}), "posture 6.7 -0.25 40 0.5\n");
    EXPECT_EQ(EffectsLine(EffectLevels{3, 2, 0, true}), "effects 3 2 0 1\n");
    EXPECT_EQ(ReleaseLine(), "release\n");
    EXPECT_EQ(PhaseLine("parked in 1.5 s\n(guard 7)"), "phase parked in 1.5 s (guard 7)\n");
    const std::string Envelope = EnvelopeLine(PostureEnvelope());
    EXPECT_EQ(Envelope.rfind("envelope TiltGain=", 0), 0u) << Envelope;
    EXPECT_EQ(KarvelCueing::ValidateProfile(PostureEnvelope()), "") << "the posture envelope parks from anywhere";
    EXPECT_NE(Envelope.find(" PitchLimit=15 "), std::string::npos) << Envelope;
    EXPECT_NE(Envelope.find(" YawLimit=180 "), std::string::npos) << Envelope;
    EXPECT_NE(Envelope.find(" ParkSeconds=5\n"), std::string::npos) << Envelope;
    EXPECT_LT(PostureLine(Posture{-14.999999f, 14.999999f, -179.99998f, 0.99999994f}).size(), 64u)
        << "a posture a frame stays small";
}

TEST(GuardLines, AStateReadsBackAsItWasWritten) {
    WatchedSeat State;
    State.HostPid = 31;
    State.HostName = "karvel";
    State.bSeatKnown = true;
    State.Seat = OrvidaWithEffects();
    State.Envelope = KarvelCueing::FlightProfile();
    State.bPostureKnown = true;
    State.LastPosture = Posture{-14.999999f, 0.1f, 179.99998f, 0.123456789f};
    State.Effects = EffectLevels{1, 3, 2, true};
    State.bReleased = true;
    State.Phase = "parked in 1.52 s (152 frames) (2024-05-01 12:00:00, guard 4243)";

    const WatchedSeat Read = ReadBack(FormatWatchedSeat(State));
    EXPECT_EQ(Read.HostPid, 31);
    EXPECT_EQ(Read.HostName, "karvel");
    ASSERT_TRUE(Read.bSeatKnown);
    EXPECT_EQ(SeatLine(Read.Seat), SeatLine(State.Seat));
    EXPECT_EQ(EnvelopeLine(Read.Envelope), EnvelopeLine(KarvelCueing::FlightProfile()));
    ASSERT_TRUE(Read.bPostureKnown);
    EXPECT_EQ(Read.LastPosture.Pitch, State.LastPosture.Pitch) << "exactly: the shortest text that reads back";
    EXPECT_EQ(Read.LastPosture.Roll, State.LastPosture.Roll);
    EXPECT_EQ(Read.LastPosture.Yaw, State.LastPosture.Yaw);
    EXPECT_EQ(Read.LastPosture.Height, State.LastPosture.Height);
    EXPECT_EQ(EffectsLine(Read.Effects), "effects 1 3 2 1\n");
    EXPECT_TRUE(Read.bReleased);
    EXPECT_EQ(Read.Phase, State.Phase);
}

TEST(GuardLines, ANewSeatIsNotReleasedAndNothingUnknownIsInvented) {
    WatchedSeat State;
    std::string Error;
    EXPECT_TRUE(ApplyGuardLine(State, "release", Error));
    EXPECT_TRUE(ApplyGuardLine(State, "seat 0 10.0.0.1 7000 0 - 1 - 2\n", Error));
    EXPECT_FALSE(State.bReleased) << "a release belongs to the seat before";
    EXPECT_TRUE(State.Seat.RelayIp.empty());
    EXPECT_FALSE(State.bPostureKnown);
    EXPECT_TRUE(ApplyGuardLine(State, "   \r\n", Error)) << "a blank line is nothing";
    const std::string Text = FormatWatchedSeat(WatchedSeat());
    EXPECT_EQ(Text.find("seat "), std::string::npos) << Text;
    EXPECT_EQ(Text.find("posture "), std::string::npos) << Text;
}

class RefusedGuardLine : public ::testing::TestWithParam<const char*> {};

TEST_P(RefusedGuardLine, LeavesTheStateAsItWas) {
    WatchedSeat State = ReadBack(HelloLine() + SeatLine(OrvidaWithEffects()) + PostureLine(Posture{1, 2, 3, 0.5f}) +
                                 EffectsLine(EffectLevels{3, 0, 0, false}));
    const std::string Before = FormatWatchedSeat(State);
    std::string Error;
    EXPECT_FALSE(ApplyGuardLine(State, GetParam(), Error));
    EXPECT_FALSE(Error.empty());
    EXPECT_EQ(FormatWatchedSeat(State), Before);
}

INSTANTIATE_TEST_SUITE_P(
    WrongOrPartial, RefusedGuardLine,
    ::testing::Values("karvel-guard 2", "karvel-guard", "posture 1 2 3", "posture 1 2 3 0.5 9", "posture nan 0 0 0.5",
                      "posture 1e39 0 0 0.5", "posture 1,5 0 0 0.5", "posture 0x10 0 0 0.5", "effects 1 2 3",
                      "effects 1 2 3 x", "seat 1 127.0.0.1 port 1 - 1 - 1", "seat 1 127.0.0.1 7408 2 - 1 - 1",
                      "seat 1 127.0.0.1 7408 1 - 1 -", "host x karvel", "host 12", "release now",
                      "envelope ParkSeconds=0.2", "envelope PitchLimit=15 Bogus=1", "envelope PitchLimit",
                      "phase", "frobnicate 1 2"));
