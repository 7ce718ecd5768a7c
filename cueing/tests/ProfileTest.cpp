// Profiles: presets, refusal of values outside their range, the text format
// and the recording format.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <string>

#include "MotionCueing.h"

using namespace KarvelCueing;

TEST(Profiles, PresetsAreValidAndFoundByName) {
    EXPECT_EQ(PresetProfileNames(), (std::vector<std::string>{"road", "race", "flight", "gentle"}));
    for (const std::string& name : PresetProfileNames()) {
        const CueingProfile* preset = FindPresetProfile(name);
        ASSERT_NE(preset, nullptr) << name;
        EXPECT_EQ(ValidateProfile(*preset), "") << name;
    }
    EXPECT_EQ(FindPresetProfile("Road"), &RoadVehicleProfile());
    EXPECT_EQ(FindPresetProfile("FLIGHT"), &FlightProfile());
    EXPECT_EQ(FindPresetProfile("Race"), &RaceProfile());
    EXPECT_EQ(FindPresetProfile("boat"), nullptr);
    // The documented default: park in 1.5 s.
    EXPECT_EQ(CueingProfile().ParkSeconds, 1.5);
    // Gentle moves less and slower than road; race leans further, sooner, and
    // turns the turntable further; flight leans furthest and eases the
    // turntable back slowest.
    EXPECT_LT(GentleProfile().TiltLimit, RoadVehicleProfile().TiltLimit);
    EXPECT_LT(GentleProfile().TiltRate, RoadVehicleProfile().TiltRate);
    EXPECT_LT(GentleProfile().YawLimit, RoadVehicleProfile().YawLimit);
    EXPECT_GT(RaceProfile().TiltGain, RoadVehicleProfile().TiltGain);
    EXPECT_GT(RaceProfile().TiltFrequency, RoadVehicleProfile().TiltFrequency);
    EXPECT_GT(RaceProfile().YawLimit, RoadVehicleProfile().YawLimit);
    EXPECT_GT(FlightProfile().TiltLimit, RaceProfile().TiltLimit);
    EXPECT_LT(FlightProfile().YawWashout, RoadVehicleProfile().YawWashout);
}

TEST(Profiles, ValuesOutsideTheirRangeAreRefusedByName) {
    struct Case {
        double CueingProfile::*Field;
        double Value;
        const char* Expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {&CueingProfile::TiltLimit, 40, "TiltLimit = 40 is outside its range 0 to 15 deg"},
        {&CueingProfile::TiltRate, -1, "TiltRate = -1 is outside its range 0 to 20 deg/s"},
        {&CueingProfile::PitchLimit, 16, "PitchLimit = 16 is outside its range 0 to 15 deg"},
        {&CueingProfile::YawWashout, 0, "YawWashout = 0 is outside its range 0.005 to 5 Hz"},
        {&CueingProfile::HeaveGain, nan, "HeaveGain = nan is outside its range 0 to 10 per m"},
        {&CueingProfile::ParkSeconds, std::numeric_limits<double>::infinity(),
         "ParkSeconds = inf is outside its range 0.2 to 30 s"},
        {&CueingProfile::HeightMin, 0.9, "NeutralHeight = 0.5 is outside HeightMin to HeightMax (0.9 to 1)"},
    };
    for (const Case& c : cases) {
        CueingProfile p;
        p.*c.Field = c.Value;
        EXPECT_EQ(ValidateProfile(p), c.Expected);
    }
    CueingProfile upsideDown;
    upsideDown.HeightMin = 0.8;
    upsideDown.HeightMax = 0.3;
    EXPECT_EQ(ValidateProfile(upsideDown), "HeightMin = 0.8 is above HeightMax = 0.3");
    // Every field refuses a value just outside each end of its range.
    for (const ProfileField& field : ProfileFields()) {
        for (const double outside : {field.Min - 1e-6 - 1e-6 * std::abs(field.Min), field.Max * (1 + 1e-6) + 1e-6}) {
            CueingProfile p;
            p.*field.Member = outside;
            const std::string message = ValidateProfile(p);
            EXPECT_EQ(message.rfind(field.Name, 0), 0u) << field.Name << ": " << message;
        }
    }
}

TEST(Profiles, LimitsThatCannotParkInTimeAreRefused) {
    // 360 deg of turntable at 150 deg/s cannot park in 1.5 s.
    CueingProfile p;
    p.YawLimit = 180;
    const std::string message = ValidateProfile(p);
    EXPECT_NE(message.find("ParkSeconds = 1.5 is too short"), std::string::npos) << message;
    EXPECT_NE(message.find("YawVelocity"), std::string::npos) << message;
    // 360 / 150 + 150 / 600 = 2.65 s of travel from rest, 0.25 s to stop
    // first and 0.2 s for the steps of a 30 Hz stream: 3.1 s.
    p.ParkSeconds = 3.09;
    EXPECT_NE(ValidateProfile(p), "");
    p.ParkSeconds = 3.11;
    EXPECT_EQ(ValidateProfile(p), "");
}

TEST(Profiles, TheCoreRefusesAnInvalidProfileAndKeepsItsOwn) {
    MotionCueing core(GentleProfile());
    CueingProfile bad = FlightProfile();
    bad.TiltGain = 5;
    std::string error;
    EXPECT_FALSE(core.SetProfile(bad, &error));
    EXPECT_EQ(error, "TiltGain = 5 is outside its range 0 to 2");
    EXPECT_EQ(core.Profile().TiltLimit, GentleProfile().TiltLimit);
    EXPECT_TRUE(core.SetProfile(FlightProfile(), &error));
    EXPECT_EQ(core.Profile().TiltLimit, FlightProfile().TiltLimit);
    // A constructor given an invalid profile falls back to the road vehicle.
    MotionCueing fallback(bad);
    EXPECT_EQ(fallback.Profile().TiltGain, RoadVehicleProfile().TiltGain);
}

TEST(ProfileText, ReadsPresetOverridesAndComments) {
    const char* text =
        "# softer flight for a simulator cabin\r\n"
        "\n"
        "TiltGain = 0.7   # less tilt\r\n"
        "  preset=Flight\n"
        "yawrategain=0\n"
        "TiltLimit = +12.5\n";
    CueingProfile p;
    std::string error;
    ASSERT_TRUE(ParseProfileText(text, p, error)) << error;
    CueingProfile expected = FlightProfile();
    expected.TiltGain = 0.7;
    expected.YawRateGain = 0;
    expected.TiltLimit = 12.5;
    EXPECT_EQ(FormatProfileText(p), FormatProfileText(expected));
    EXPECT_EQ(p.PitchWashout, FlightProfile().PitchWashout);

    // Empty text is the road vehicle.
    ASSERT_TRUE(ParseProfileText("", p, error));
    EXPECT_EQ(FormatProfileText(p), FormatProfileText(RoadVehicleProfile()));
}

TEST(ProfileText, ErrorsNameTheLine) {
    struct Case {
        const char* Text;
        const char* Expected;
    };
    const Case cases[] = {
        {"TiltGain = 1\nTiltGain 2\n", "line 2: expected `key = value`, found \"TiltGain 2\""},
        {"# c\nTiltGian = 1\n", "line 2: unknown key \"TiltGian\""},
        {"TiltGain = 1\n\nTiltRate = fast\n", "line 3: TiltRate: \"fast\" is not a number"},
        {"TiltRate = 3 deg\n", "line 1: TiltRate: \"3 deg\" is not a number"},
        {"TiltRate = 2\ntiltrate = 4\n", "line 2: TiltRate given twice (first on line 1)"},
        {"preset = boat\n", "line 1: unknown preset \"boat\" (presets: road, race, flight, gentle)"},
        {"preset = road\npreset = gentle\n", "line 2: preset given twice (first on line 1)"},
        {"TiltGain = 1\nTiltLimit = 40\n", "line 2: TiltLimit = 40 is outside its range 0 to 15 deg"},
        {"YawLimit = 180\nTiltGain = 1\n",
         "line 1: ParkSeconds = 1.5 is too short: parking Yaw across +-YawLimit takes up to 3.1 s at YawVelocity "
         "and YawAcceleration (raise them or ParkSeconds, or narrow the range)"},
        {"TiltGain = nan\n", "line 1: TiltGain = nan is outside its range 0 to 2"},
        {"= 3\n", "line 1: expected `key = value`, found \"= 3\""},
    };
    for (const Case& c : cases) {
        CueingProfile p = GentleProfile();
        std::string error;
        EXPECT_FALSE(ParseProfileText(c.Text, p, error)) << c.Text;
        EXPECT_EQ(error, c.Expected);
        EXPECT_EQ(p.TiltGain, GentleProfile().TiltGain); // untouched
    }
}

// Numbers are read the same in every locale (a game may set one with a decimal comma) and must be whole.
TEST(ProfileText, NumbersAreDecimalWithAPointAndNothingElse) {
    struct DecimalComma : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale before = std::locale::global(std::locale(std::locale::classic(), new DecimalComma));
    struct Case {
        const char* Value;
        double Expected; // NaN: refused as not a number
    };
    const double refused = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {{"1.5", 1.5}, {"+0.25", 0.25}, {".5", 0.5}, {"1.", 1.0},    {"2E-1", 0.2},
                          {"1,5", refused}, {"1e", refused}, {"0x1", refused}, {".", refused}, {"--1", refused},
                          {"1.5.2", refused}, {"1e400", refused}};
    for (const Case& c : cases) {
        CueingProfile p = RoadVehicleProfile();
        std::string error;
        const bool read = ParseProfileText(std::string("TiltGain = ") + c.Value + "\n", p, error);
        if (std::isnan(c.Expected)) {
            EXPECT_FALSE(read) << c.Value;
            EXPECT_NE(error.find("is not a number"), std::string::npos) << c.Value << ": " << error;
        } else {
            EXPECT_TRUE(read) << c.Value << ": " << error;
            EXPECT_EQ(p.TiltGain, c.Expected) << c.Value;
        }
    }
    std::locale::global(before);
}

TEST(ProfileText, FormatReadsBackToTheSameValues) {
    std::mt19937 random(5);
    for (int i = 0; i < 50; ++i) {
        CueingProfile p = GentleProfile();
        // Any valid values, including ones without a short decimal form.
        p.TiltGain = std::uniform_real_distribution<double>(0, 2)(random);
        p.TiltFrequency = std::uniform_real_distribution<double>(0.05, 5)(random);
        p.HeaveGain = std::uniform_real_distribution<double>(0, 10)(random);
        ASSERT_EQ(ValidateProfile(p), "");
        CueingProfile back;
        std::string error;
        ASSERT_TRUE(ParseProfileText(FormatProfileText(p), back, error)) << error;
        for (const ProfileField& field : ProfileFields()) EXPECT_EQ(back.*field.Member, p.*field.Member) << field.Name;
    }
}

namespace {

std::string TempPath(const char* Name) {
    return ::testing::TempDir() + "karvel_cueing_" + std::to_string(std::random_device{}()) + "_" + Name;
}

std::string ReadAll(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(CueRecorder, WritesTheHeaderAndOneRowPerStep) {
    const std::string path = TempPath("recording.csv");
    CueRecorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.Open(path, error)) << error;
    EXPECT_TRUE(recorder.IsOpen());
    VehicleMotion in;
    in.SpecificForce = {1.5, -2.25, 9.925};
    in.AngularVelocity = {10, -20, 30.5};
    const Vec3 acceleration{1.5, -2.25, 0.125};
    SeatPose out;
    out.Pitch = 3.25;
    out.Roll = -1.5;
    out.Yaw = 12;
    out.Height = 0.625;
    recorder.WriteCued(0.016667, in, acceleration, out);
    recorder.WritePosture(3600.5, out);
    recorder.Close();
    EXPECT_FALSE(recorder.IsOpen());
    EXPECT_FALSE(recorder.HadWriteError());
    EXPECT_EQ(ReadAll(path),
              "time,fx,fy,fz,roll_rate,pitch_rate,yaw_rate,ax,ay,az,pitch,roll,yaw,height\n"
              "0.016667,1.5,-2.25,9.925,10,-20,30.5,1.5,-2.25,0.125,3.25,-1.5,12,0.625\n"
              "3600.5,,,,,,,,,,3.25,-1.5,12,0.625\n");
    std::remove(path.c_str());
}

TEST(CueRecorder, ReportsAPathItCannotWrite) {
    CueRecorder recorder;
    std::string error;
    const std::string path = TempPath("no-such-directory") + "/recording.csv";
    EXPECT_FALSE(recorder.Open(path, error));
    EXPECT_EQ(error.rfind("cannot write the recording " + path + ": ", 0), 0u) << error;
    EXPECT_FALSE(recorder.IsOpen());
    recorder.WritePosture(0, SeatPose{}); // harmless while closed
}

TEST(CueRecorder, SaysWhenRowsWereLost) {
    // A device that accepts the open and refuses every write: a full disk.
    std::ifstream full("/dev/full");
    if (!full) GTEST_SKIP() << "no /dev/full here";
    CueRecorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.Open("/dev/full", error)) << error;
    for (int i = 0; i < 10000; ++i) recorder.WritePosture(i / 60.0, SeatPose{});
    recorder.Close();
    EXPECT_TRUE(recorder.HadWriteError());
}
