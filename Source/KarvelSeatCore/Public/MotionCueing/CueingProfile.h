// A cueing profile: how strongly and how quickly the seat answers the
// vehicle's motion, and the limits it never leaves. Plain data; the field
// names are also the keys of the profile text (ProfileText.h).
#pragma once

#include "SeatCoreApi.h"

#include <string>
#include <string_view>
#include <vector>

namespace KarvelCueing {

struct CueingProfile {
    // Tilt coordination: sustained acceleration X/Y becomes pitch/roll of
    // gain * asin(a / g), within TiltLimit, turned no faster than TiltRate.
    double TiltGain = 0.8;       // 1
    double TiltFrequency = 0.5;  // Hz, break of the low-pass that picks the sustained part
    double TiltLimit = 10;       // deg
    double TiltRate = 3;         // deg/s, below what a rider notices as rotation

    // Onset cues: each angular rate is high-passed (second order, critically
    // damped, break *Washout) and integrated into a brief rotation.
    double RollRateGain = 0.8;   // 1
    double PitchRateGain = 0.8;  // 1
    double YawRateGain = 0.6;    // 1
    double RollWashout = 0.3;    // Hz
    double PitchWashout = 0.3;   // Hz
    double YawWashout = 0.2;     // Hz

    // Heave: vertical acceleration, high-passed (break HeaveWashout) and
    // integrated twice with a return to neutral (break HeaveReturn).
    double HeaveGain = 2;        // height units per metre of cued travel
    double HeaveWashout = 0.5;   // Hz
    double HeaveReturn = 0.3;    // Hz
    double NeutralHeight = 0.5;  // 0..1, the height the cues move around

    // Safety envelope: every posture that leaves the core stays within
    // +-*Limit (HeightMin..HeightMax) and moves no faster than *Velocity with
    // no more than *Acceleration.
    double PitchLimit = 15;            // deg
    double PitchVelocity = 30;         // deg/s
    double PitchAcceleration = 250;    // deg/s^2
    double RollLimit = 15;             // deg
    double RollVelocity = 30;          // deg/s
    double RollAcceleration = 250;     // deg/s^2
    double YawLimit = 30;              // deg
    double YawVelocity = 90;           // deg/s
    double YawAcceleration = 300;      // deg/s^2
    double HeightMin = 0;              // 0..1
    double HeightMax = 1;              // 0..1
    double HeightVelocity = 1.5;       // 1/s
    double HeightAcceleration = 10;    // 1/s^2

    // Time within which a park brings the seat home from any posture within
    // the limits, moving or not, stepped at 30 Hz or faster.
    double ParkSeconds = 1.5;          // s
};

// One numeric field of the profile: its key, where it lives, its allowed
// range (inclusive) and its unit.
struct ProfileField {
    const char* Name;
    double CueingProfile::*Member;
    double Min;
    double Max;
    const char* Unit;
};
KARVELSEATCORE_API const std::vector<ProfileField>& ProfileFields();
KARVELSEATCORE_API const ProfileField* FindProfileField(std::string_view Name); // exact name, any case; nullptr if unknown

// Empty when the profile is usable; otherwise one clear message naming the
// field, its value and the allowed range (or why the limits cannot park the
// seat within ParkSeconds).
KARVELSEATCORE_API std::string ValidateProfile(const CueingProfile& Profile);

// Presets. "road" (the default) for cars and karts: firm tilt for braking and
// cornering, short rotations. "flight": larger, slower-washing rotations and
// more tilt. "gentle": small, slow movements for first rides and sensitive
// riders.
KARVELSEATCORE_API const CueingProfile& RoadVehicleProfile();
KARVELSEATCORE_API const CueingProfile& FlightProfile();
KARVELSEATCORE_API const CueingProfile& GentleProfile();
KARVELSEATCORE_API const CueingProfile* FindPresetProfile(std::string_view Name); // any case; nullptr if unknown
KARVELSEATCORE_API std::vector<std::string> PresetProfileNames();

} // namespace KarvelCueing
