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
    // Tilt coordination: the fore-aft and sideways specific force, smoothed by
    // a low-pass at TiltFrequency, becomes pitch and roll of
    // TiltGain * asin(f / g), bending smoothly towards TiltLimit above half of
    // it, turned no faster than TiltRate. Prompt: a braking is felt as it
    // starts and goes as it ends.
    double TiltGain = 0.07;      // 1
    double TiltFrequency = 2;    // Hz, break of the low-pass that smooths the force's jitter
    double TiltLimit = 4;        // deg
    double TiltRate = 8;         // deg/s

    // Onset cues: the roll and pitch rates are high-passed (second order,
    // critically damped, break *Washout) and integrated into a brief rotation;
    // the yaw rate is integrated and leaks back to centre (first order, break
    // YawWashout), so the turntable turns with the vehicle at once.
    double RollRateGain = 0.5;   // 1
    double PitchRateGain = 0.5;  // 1
    double YawRateGain = 1;      // 1
    double RollWashout = 1;      // Hz
    double PitchWashout = 1;     // Hz
    double YawWashout = 0.03;    // Hz

    // Heave: the vertical specific force beyond gravity, high-passed (break
    // HeaveWashout) and integrated twice with a return to neutral (break
    // HeaveReturn). On an Orvida (a 100 mm stroke) a gain of 10 moves the seat
    // as far as the vehicle.
    double HeaveGain = 5;        // height units per metre of cued travel
    double HeaveWashout = 0.3;   // Hz
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
    double YawLimit = 60;              // deg
    double YawVelocity = 150;          // deg/s
    double YawAcceleration = 600;      // deg/s^2
    double HeightMin = 0;              // 0..1
    double HeightMax = 1;              // 0..1
    double HeightVelocity = 2;         // 1/s
    double HeightAcceleration = 30;    // 1/s^2

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

// Presets (what each feels like is in the README). "road" (the default) for
// cars and bikes: a prompt lean into braking and turns, the turntable
// following every turn. "race" for racing games: quicker and stronger, the
// turntable over a wider range. "flight": more tilt for long pulls and
// throttle, the turntable easing back slowly. "gentle": small, slow movements
// for first rides and sensitive riders.
KARVELSEATCORE_API const CueingProfile& RoadVehicleProfile();
KARVELSEATCORE_API const CueingProfile& RaceProfile();
KARVELSEATCORE_API const CueingProfile& FlightProfile();
KARVELSEATCORE_API const CueingProfile& GentleProfile();
KARVELSEATCORE_API const CueingProfile* FindPresetProfile(std::string_view Name); // any case; nullptr if unknown
KARVELSEATCORE_API std::vector<std::string> PresetProfileNames();

} // namespace KarvelCueing
