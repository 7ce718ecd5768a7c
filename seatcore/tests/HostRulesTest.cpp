// The host rules against a recording library: what reaches the library, in which order, and what the host
// holds as in force. Expected calls are written out by hand.
#include <gtest/gtest.h>

#include <limits>

#include "RecordingLibrary.h"
#include "SeatHost/SeatHost.h"

using namespace KarvelSeat;
using KarvelSeatTest::Recorded;
using Strings = std::vector<std::string>;

namespace {

class HostRules : public ::testing::Test {
protected:
    HostRules() { Recorded().Reset(); }

    // A configured seat of Model with effects asked for, its calls so far forgotten.
    void Configure(const SeatModel& Model) {
        SeatSetup Setup;
        Setup.Model = Model.Code;
        Setup.UdpIp = "127.0.0.1";
        Setup.EnableEffects = true;
        Setup.RelayIp = "127.0.0.7";
        Setup.SpeedIp = "127.0.0.8";
        ASSERT_TRUE(Host.Configure(Setup));
        Recorded().Take();
    }

    static void ExpectPosture(const Posture& Actual, float Pitch, float Roll, float Yaw, float Height) {
        EXPECT_EQ(Actual.Pitch, Pitch);
        EXPECT_EQ(Actual.Roll, Roll);
        EXPECT_EQ(Actual.Yaw, Yaw);
        EXPECT_EQ(Actual.Height, Height);
    }

    static void ExpectEffects(const EffectLevels& Actual, int Wind, int Mist, int Scent, bool Heater) {
        EXPECT_EQ(Actual.Wind, Wind);
        EXPECT_EQ(Actual.WaterMist, Mist);
        EXPECT_EQ(Actual.Scent, Scent);
        EXPECT_EQ(Actual.Heater, Heater);
    }

    LibraryFunctions Library = KarvelSeatTest::RecordingLibrary();
    SeatHost Host{Library};
};

struct ConfigurationCase {
    int Model;
    bool EnableEffects;
    const char* Expected;
};

class HostConfiguration : public HostRules, public ::testing::WithParamInterface<ConfigurationCase> {};

} // namespace

// Effects endpoints reach the library only for a model with effects that asks for them; the ports go as given.
TEST_P(HostConfiguration, EffectsEndpointsOnlyForAModelWithEffectsThatAsks) {
    SeatSetup Setup;
    Setup.Model = GetParam().Model;
    Setup.UdpIp = "10.0.0.1";
    Setup.UdpPort = 7000;
    Setup.EnableEffects = GetParam().EnableEffects;
    Setup.RelayIp = "10.0.0.7";
    Setup.RelayPort = 502;
    Setup.SpeedIp = "10.0.0.8";
    Setup.SpeedPort = 503;
    EXPECT_TRUE(Host.Configure(Setup));
    EXPECT_EQ(Recorded().Take(), Strings{GetParam().Expected});
    EXPECT_EQ(Host.EffectsEnabled(), GetParam().Model == 1 && GetParam().EnableEffects);
    EXPECT_EQ(&Host.Model(), &SeatModelOf(GetParam().Model));
}

INSTANTIATE_TEST_SUITE_P(
    Models, HostConfiguration,
    ::testing::Values(ConfigurationCase{0, true, "Configure(0,10.0.0.1,7000,0,,502,,503)"},
                      ConfigurationCase{1, false, "Configure(1,10.0.0.1,7000,0,,502,,503)"},
                      ConfigurationCase{1, true, "Configure(1,10.0.0.1,7000,1,10.0.0.7,502,10.0.0.8,503)"},
                      ConfigurationCase{2, true, "Configure(2,10.0.0.1,7000,0,,502,,503)"}));

TEST_F(HostRules, NothingReachesTheLibraryBeforeASuccessfulConfiguration) {
    const auto Everything = [this] {
        Host.SendPosture(Posture{1, 2, 3, 0.5f});
        Host.ResetPosition();
        Host.SetWindSpeed(3);
        Host.SetWaterMist(2);
        Host.SetScent(1);
        Host.SetHeater(true);
        Host.TurnOffAllEffects();
        Host.HoldEffectsForPause();
        Host.RestoreEffectsAfterPause();
        Host.Stop();
        EXPECT_FALSE(Host.SetUdpEndpoint("127.0.0.2", 7408));
        EXPECT_FALSE(Host.SetEffectsEndpoints("127.0.0.7", 1, "127.0.0.8", 2));
    };
    Everything();
    Host.Release();
    EXPECT_TRUE(Recorded().Take().empty()) << "no configuration was attempted: no release either";

    Recorded().Result = false;
    SeatSetup Setup;
    EXPECT_FALSE(Host.Configure(Setup));
    EXPECT_FALSE(Host.IsConfigured());
    Recorded().Take();
    Everything();
    EXPECT_TRUE(Recorded().Take().empty());
    Host.Release();
    Host.Release();
    EXPECT_EQ(Recorded().Take(), Strings{"Release"}) << "a refused configuration may have set things up: released once";
}

TEST_F(HostRules, PosturesAreCheckedClampedAndHeldAsInForce) {
    Configure(TamselSeat);
    ExpectPosture(Host.PostureInForce(), 0, 0, 0, 0);
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    const float Infinity = std::numeric_limits<float>::infinity();
    EXPECT_TRUE(Host.SendPosture(Posture{20, -20, 200, 2}));
    EXPECT_TRUE(Host.SendPosture(Posture{-7.5f, 3, -180, 0.25f}));
    EXPECT_FALSE(Host.SendPosture(Posture{NaN, 0, 0, 0.5f}));
    EXPECT_FALSE(Host.SendPosture(Posture{0, 0, 0, -Infinity}));
    EXPECT_EQ(Recorded().Take(), (Strings{"Posture(15,-15,180,1)", "Posture(-7.5,3,-180,0.25)"}));
    ExpectPosture(Host.PostureInForce(), -7.5f, 3, -180, 0.25f);

    Host.ResetPosition();
    EXPECT_EQ(Recorded().Take(), Strings{"ResetPosition"});
    SCOPED_TRACE("the Tamsel's home is the bottom of the stroke");
    ExpectPosture(Host.PostureInForce(), 0, 0, 0, 0);
    Configure(OrvidaSeat);
    Host.SendPosture(Posture{1, 1, 1, 1});
    Host.ResetPosition();
    SCOPED_TRACE("the Orvida's home is mid-stroke");
    ExpectPosture(Host.PostureInForce(), 0, 0, 0, 0.5f);
}

TEST_F(HostRules, EffectLevelsInForceAndTheEndpointSwitches) {
    Configure(OrvidaSeat);
    Host.SetWindSpeed(3);
    Host.SetWaterMist(2);
    Host.SetScent(1);
    Host.SetHeater(true);
    ExpectEffects(Host.EffectsInForce(), 3, 2, 1, true);
    EXPECT_TRUE(Host.EffectsInForce().AnyOn());
    Recorded().Result = false;
    EXPECT_FALSE(Host.SetEffectsEndpoints("127.0.0.9", 1, "127.0.0.10", 2));
    ExpectEffects(Host.EffectsInForce(), 3, 2, 1, true); // the old links stay, and so do their levels
    EXPECT_FALSE(Host.SetUdpEndpoint("127.0.0.2", 7408));
    Recorded().Result = true;
    EXPECT_TRUE(Host.SetEffectsEndpoints("127.0.0.9", 1, "127.0.0.10", 2));
    ExpectEffects(Host.EffectsInForce(), 0, 0, 0, false); // the new devices start with everything off
    EXPECT_TRUE(Host.SetUdpEndpoint("127.0.0.2", 7408));
    Host.TurnOffAllEffects();
    EXPECT_EQ(Recorded().Take(),
              (Strings{"Wind(3)", "Mist(2)", "Scent(1)", "Heater(1)", "SetEffectsEndpoints(127.0.0.9,1,127.0.0.10,2)",
                       "SetUdpEndpoint(127.0.0.2,7408)", "SetEffectsEndpoints(127.0.0.9,1,127.0.0.10,2)",
                       "SetUdpEndpoint(127.0.0.2,7408)", "TurnOffAllEffects"}));
    EXPECT_FALSE(Host.EffectsInForce().AnyOn());

    // A Tamsel registered without effects gains them with a successful switch.
    Configure(TamselSeat);
    EXPECT_FALSE(Host.EffectsEnabled());
    EXPECT_TRUE(Host.SetEffectsEndpoints("127.0.0.9", 1, "127.0.0.10", 2));
    EXPECT_TRUE(Host.EffectsEnabled());
}

TEST_F(HostRules, APauseTurnsTheEffectsOffOnceAndItsEndGivesThemBack) {
    Configure(OrvidaSeat);
    Host.SetWindSpeed(2);
    Host.SetHeater(true);
    Recorded().Take();

    Host.HoldEffectsForPause();
    Host.HoldEffectsForPause();
    EXPECT_TRUE(Host.AreEffectsHeld());
    ExpectEffects(Host.EffectsInForce(), 0, 0, 0, false);
    EXPECT_EQ(Recorded().Take(), Strings{"TurnOffAllEffects"}) << "once, however often asked";
    Host.RestoreEffectsAfterPause();
    Host.RestoreEffectsAfterPause();
    EXPECT_FALSE(Host.AreEffectsHeld());
    EXPECT_EQ(Recorded().Take(), (Strings{"Wind(2)", "Heater(1)"}));
    ExpectEffects(Host.EffectsInForce(), 2, 0, 0, true);

    // Nothing was on: the pause still turns the devices off, and nothing comes back.
    Host.TurnOffAllEffects();
    Recorded().Take();
    Host.HoldEffectsForPause();
    Host.RestoreEffectsAfterPause();
    EXPECT_EQ(Recorded().Take(), Strings{"TurnOffAllEffects"});
}

// Effects the game commands during a pause are its choice, even all off; a stop or a new registration forgets
// what was held.
TEST_F(HostRules, WhatTheGameCommandsDuringAPauseStands) {
    const std::vector<std::pair<const char*, void (*)(SeatHost&)>> Choices = {
        {"a level", [](SeatHost& H) { H.SetScent(1); }},
        {"all off", [](SeatHost& H) { H.TurnOffAllEffects(); }},
        {"a stop", [](SeatHost& H) { H.Stop(); }},
        {"a new registration", [](SeatHost& H) {
             SeatSetup Setup;
             Setup.Model = 1;
             H.Configure(Setup);
         }},
    };
    for (const auto& [Name, Choose] : Choices) {
        SCOPED_TRACE(Name);
        Configure(OrvidaSeat);
        Host.SetWaterMist(3);
        Host.HoldEffectsForPause();
        Choose(Host);
        Recorded().Take();
        Host.RestoreEffectsAfterPause();
        EXPECT_TRUE(Recorded().Take().empty());
        EXPECT_EQ(Host.EffectsInForce().WaterMist, 0);
    }
}

// Park first (the host's soft ramp), then effects off, then home; the release last. Whatever state the seat is
// in, it ends home with nothing running.
TEST_F(HostRules, TheShutdownOrderIsParkEffectsOffHomeRelease) {
    Configure(OrvidaSeat);
    Host.SetHeater(true);
    Host.SendPosture(Posture{10, -5, 40, 0.8f});
    Host.HoldEffectsForPause();
    Recorded().Take();
    Host.Shutdown([this] { Host.SendPosture(Posture{0, 0, 0, 0.5f}); });
    EXPECT_EQ(Recorded().Take(), (Strings{"Posture(0,0,0,0.5)", "TurnOffAllEffects", "ResetPosition", "Release"}));
    ExpectPosture(Host.PostureInForce(), 0, 0, 0, 0.5f);
    ExpectEffects(Host.EffectsInForce(), 0, 0, 0, false);
    EXPECT_FALSE(Host.IsConfigured());
    EXPECT_FALSE(Host.AreEffectsHeld());

    // Stopping without a release leaves the library configured, so it can stop again.
    Configure(TamselSeat);
    Host.Stop();
    Host.Stop();
    EXPECT_EQ(Recorded().Take(), (Strings{"TurnOffAllEffects", "ResetPosition", "TurnOffAllEffects", "ResetPosition"}));
    Host.Abandon();
    Host.Release();
    Host.Stop();
    EXPECT_TRUE(Recorded().Take().empty()) << "another host's configuration is left alone";
}
