#include "MotionCueing/CueingProfile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace KarvelCueing {

namespace ProfileChecks {

// Added to the computed park time: stepped at 30 Hz or faster, the envelope
// arrives up to six steps later than continuous motion would, since it brakes
// for steps of any length to come.
constexpr double ParkStepAllowance = 0.2;

std::string Number(double Value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", Value);
    return text;
}

bool SameName(std::string_view A, std::string_view B) {
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
               return std::tolower(static_cast<unsigned char>(X)) == std::tolower(static_cast<unsigned char>(Y));
           });
}

// Longest time to bring an axis to rest at any point of a range Span wide,
// starting anywhere in it and moving at up to VMax in any direction: brake to
// rest (at most VMax / AMax, staying within the range since the envelope
// never outruns its brakes), then travel at most Span from rest.
double ParkTime(double Span, double VMax, double AMax) {
    const double travel = Span >= VMax * VMax / AMax ? Span / VMax + VMax / AMax : 2.0 * std::sqrt(Span / AMax);
    return VMax / AMax + travel + ParkStepAllowance;
}

} // namespace ProfileChecks

const std::vector<ProfileField>& ProfileFields() {
    using P = CueingProfile;
    static const std::vector<ProfileField> fields = {
        {"TiltGain", &P::TiltGain, 0, 2, ""},
        {"TiltFrequency", &P::TiltFrequency, 0.05, 5, "Hz"},
        {"TiltLimit", &P::TiltLimit, 0, 15, "deg"},
        {"TiltRate", &P::TiltRate, 0, 20, "deg/s"},
        {"RollRateGain", &P::RollRateGain, 0, 3, ""},
        {"PitchRateGain", &P::PitchRateGain, 0, 3, ""},
        {"YawRateGain", &P::YawRateGain, 0, 3, ""},
        {"RollWashout", &P::RollWashout, 0.02, 5, "Hz"},
        {"PitchWashout", &P::PitchWashout, 0.02, 5, "Hz"},
        {"YawWashout", &P::YawWashout, 0.005, 5, "Hz"},
        {"HeaveGain", &P::HeaveGain, 0, 10, "per m"},
        {"HeaveWashout", &P::HeaveWashout, 0.02, 5, "Hz"},
        {"HeaveReturn", &P::HeaveReturn, 0.02, 5, "Hz"},
        {"NeutralHeight", &P::NeutralHeight, 0, 1, ""},
        {"PitchLimit", &P::PitchLimit, 0, 15, "deg"},
        {"PitchVelocity", &P::PitchVelocity, 0.1, 300, "deg/s"},
        {"PitchAcceleration", &P::PitchAcceleration, 1, 5000, "deg/s^2"},
        {"RollLimit", &P::RollLimit, 0, 15, "deg"},
        {"RollVelocity", &P::RollVelocity, 0.1, 300, "deg/s"},
        {"RollAcceleration", &P::RollAcceleration, 1, 5000, "deg/s^2"},
        {"YawLimit", &P::YawLimit, 0, 180, "deg"},
        {"YawVelocity", &P::YawVelocity, 0.1, 720, "deg/s"},
        {"YawAcceleration", &P::YawAcceleration, 1, 10000, "deg/s^2"},
        {"HeightMin", &P::HeightMin, 0, 1, ""},
        {"HeightMax", &P::HeightMax, 0, 1, ""},
        {"HeightVelocity", &P::HeightVelocity, 0.01, 20, "1/s"},
        {"HeightAcceleration", &P::HeightAcceleration, 0.1, 200, "1/s^2"},
        {"ParkSeconds", &P::ParkSeconds, 0.2, 30, "s"},
    };
    return fields;
}

const ProfileField* FindProfileField(std::string_view Name) {
    for (const ProfileField& field : ProfileFields())
        if (ProfileChecks::SameName(field.Name, Name)) return &field;
    return nullptr;
}

std::string ValidateProfile(const CueingProfile& Profile) {
    using ProfileChecks::Number;
    for (const ProfileField& field : ProfileFields()) {
        const double value = Profile.*field.Member;
        if (value >= field.Min && value <= field.Max) continue;
        const std::string unit = *field.Unit ? std::string(" ") + field.Unit : std::string();
        return std::string(field.Name) + " = " + Number(value) + " is outside its range " + Number(field.Min) +
               " to " + Number(field.Max) + unit;
    }
    if (Profile.HeightMin > Profile.HeightMax)
        return "HeightMin = " + Number(Profile.HeightMin) + " is above HeightMax = " + Number(Profile.HeightMax);
    if (Profile.NeutralHeight < Profile.HeightMin || Profile.NeutralHeight > Profile.HeightMax)
        return "NeutralHeight = " + Number(Profile.NeutralHeight) + " is outside HeightMin to HeightMax (" +
               Number(Profile.HeightMin) + " to " + Number(Profile.HeightMax) + ")";
    struct Axis {
        const char* Name;
        const char* Range;
        double Span, VMax, AMax;
    };
    const Axis axes[] = {
        {"Pitch", "+-PitchLimit", 2 * Profile.PitchLimit, Profile.PitchVelocity, Profile.PitchAcceleration},
        {"Roll", "+-RollLimit", 2 * Profile.RollLimit, Profile.RollVelocity, Profile.RollAcceleration},
        {"Yaw", "+-YawLimit", 2 * Profile.YawLimit, Profile.YawVelocity, Profile.YawAcceleration},
        {"Height", "HeightMin to HeightMax", Profile.HeightMax - Profile.HeightMin, Profile.HeightVelocity,
         Profile.HeightAcceleration},
    };
    for (const Axis& axis : axes) {
        const double needed = ProfileChecks::ParkTime(axis.Span, axis.VMax, axis.AMax);
        if (needed <= Profile.ParkSeconds) continue;
        const std::string name = axis.Name;
        return "ParkSeconds = " + Number(Profile.ParkSeconds) + " is too short: parking " + name + " across " +
               axis.Range + " takes up to " + Number(std::ceil(needed * 100) / 100) + " s at " + name +
               "Velocity and " + name + "Acceleration (raise them or ParkSeconds, or narrow the range)";
    }
    return {};
}

const CueingProfile& RoadVehicleProfile() {
    static const CueingProfile road;
    return road;
}

const CueingProfile& RaceProfile() {
    static const CueingProfile race = [] {
        CueingProfile p;
        p.TiltGain = 0.1;
        p.TiltFrequency = 3;
        p.TiltRate = 10;
        p.YawWashout = 0.02;
        p.HeaveGain = 8;
        p.HeaveWashout = 0.5;
        p.PitchVelocity = 40;
        p.PitchAcceleration = 300;
        p.RollVelocity = 40;
        p.RollAcceleration = 300;
        p.YawLimit = 90;
        p.YawVelocity = 180;
        p.HeightVelocity = 3;
        p.HeightAcceleration = 60;
        p.ParkSeconds = 2;
        return p;
    }();
    return race;
}

const CueingProfile& FlightProfile() {
    static const CueingProfile flight = [] {
        CueingProfile p;
        p.TiltGain = 0.2;
        p.TiltFrequency = 1;
        p.TiltLimit = 8;
        p.TiltRate = 12;
        p.RollRateGain = 0.3;
        p.PitchRateGain = 0.8;
        p.RollWashout = 2;
        p.PitchWashout = 0.5;
        p.YawWashout = 0.01;
        p.PitchVelocity = 40;
        p.RollVelocity = 40;
        return p;
    }();
    return flight;
}

const CueingProfile& GentleProfile() {
    static const CueingProfile gentle = [] {
        CueingProfile p;
        p.TiltGain = 0.04;
        p.TiltFrequency = 1;
        p.TiltLimit = 3;
        p.TiltRate = 4;
        p.RollRateGain = 0.3;
        p.PitchRateGain = 0.3;
        p.YawRateGain = 0.6;
        p.YawWashout = 0.05;
        p.HeaveGain = 3;
        p.HeaveWashout = 0.4;
        p.HeaveReturn = 0.4;
        p.PitchLimit = 8;
        p.PitchVelocity = 20;
        p.PitchAcceleration = 100;
        p.RollLimit = 8;
        p.RollVelocity = 20;
        p.RollAcceleration = 100;
        p.YawLimit = 30;
        p.YawVelocity = 60;
        p.YawAcceleration = 200;
        p.HeightVelocity = 1;
        p.HeightAcceleration = 15;
        p.ParkSeconds = 2;
        return p;
    }();
    return gentle;
}

const CueingProfile* FindPresetProfile(std::string_view Name) {
    if (ProfileChecks::SameName(Name, "road")) return &RoadVehicleProfile();
    if (ProfileChecks::SameName(Name, "race")) return &RaceProfile();
    if (ProfileChecks::SameName(Name, "flight")) return &FlightProfile();
    if (ProfileChecks::SameName(Name, "gentle")) return &GentleProfile();
    return nullptr;
}

std::vector<std::string> PresetProfileNames() {
    return {"road", "race", "flight", "gentle"};
}

} // namespace KarvelCueing
