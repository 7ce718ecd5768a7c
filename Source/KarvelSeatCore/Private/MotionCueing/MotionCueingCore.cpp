#include "MotionCueing/MotionCueingCore.h"

#include <algorithm>
#include <cmath>

#include "MotionCueing/SeatHome.h"

namespace KarvelCueing {

namespace CueingSteps {

constexpr double DegreesPerRadian = 180.0 / 3.141592653589793;
// Inputs beyond these are taken at them: no vehicle does more, and the
// filters stay finite whatever a game sends.
constexpr double MaxForce = 1000.0; // m/s^2
constexpr double MaxRate = 5000.0;  // deg/s
// Where the tilt's soft limit starts to bend: below this share of TiltLimit
// the tilt is exactly gain * asin(f / g).
constexpr double TiltKnee = 0.5;

bool Finite(const VehicleMotion& M) {
    return std::isfinite(M.SpecificForce.X) && std::isfinite(M.SpecificForce.Y) &&
           std::isfinite(M.SpecificForce.Z) && std::isfinite(M.AngularVelocity.X) &&
           std::isfinite(M.AngularVelocity.Y) && std::isfinite(M.AngularVelocity.Z);
}

bool Finite(const SeatPose& P) {
    return std::isfinite(P.Pitch) && std::isfinite(P.Roll) && std::isfinite(P.Yaw) && std::isfinite(P.Height);
}

// The tilt (deg) at which gravity stands in for a force: gain * asin(f / g),
// bent smoothly towards Limit above TiltKnee of it (never reaching it), so
// that a force strong enough for the limit never stops the seat abruptly.
double TiltFor(double Force, double Gain, double Limit) {
    if (Limit <= 0) return 0;
    const double sine = std::clamp(Force / StandardGravity, -1.0, 1.0);
    const double tilt = Gain * std::asin(sine) * DegreesPerRadian;
    const double knee = TiltKnee * Limit;
    if (std::abs(tilt) <= knee) return tilt;
    const double bent = knee + (Limit - knee) * std::tanh((std::abs(tilt) - knee) / (Limit - knee));
    return tilt < 0 ? -bent : bent;
}

// Angle difference folded into (-180, 180].
double ShortWay(double Degrees) {
    double folded = std::fmod(Degrees, 360.0);
    if (folded > 180.0) folded -= 360.0;
    if (folded <= -180.0) folded += 360.0;
    return folded;
}

} // namespace CueingSteps

MotionCueing::MotionCueing(const CueingProfile& InProfile)
    : Settings(ValidateProfile(InProfile).empty() ? InProfile : RoadVehicleProfile()) {
    ApplyProfile();
    Reset();
}

bool MotionCueing::SetProfile(const CueingProfile& NewProfile, std::string* Error) {
    const std::string problem = ValidateProfile(NewProfile);
    if (!problem.empty()) {
        if (Error) *Error = problem;
        return false;
    }
    Settings = NewProfile;
    ApplyProfile();
    return true;
}

void MotionCueing::ApplyProfile() {
    const CueingProfile& p = Settings;
    SurgeLow.SetFrequency(p.TiltFrequency);
    SwayLow.SetFrequency(p.TiltFrequency);
    // Tilt turns no faster than TiltRate and starts and stops within the
    // envelope's acceleration, so the envelope never has to catch it up.
    PitchTilt.SetLimits(p.TiltRate, p.PitchAcceleration);
    RollTilt.SetLimits(p.TiltRate, p.RollAcceleration);
    RollOnset.SetFrequency(p.RollWashout);
    PitchOnset.SetFrequency(p.PitchWashout);
    YawAngle.SetLeakFrequency(p.YawWashout);
    HeaveOnset.SetFrequency(p.HeaveWashout);
    HeaveSpeed.SetLeakFrequency(p.HeaveReturn);
    YawAxis.SetLimits(-p.YawLimit, p.YawLimit, p.YawVelocity, p.YawAcceleration);
    PostureLimits platform;
    platform.Lo = {-p.PitchLimit, -p.RollLimit, p.HeightMin};
    platform.Hi = {p.PitchLimit, p.RollLimit, p.HeightMax};
    platform.Velocity = {p.PitchVelocity, p.RollVelocity, p.HeightVelocity};
    platform.Acceleration = {p.PitchAcceleration, p.RollAcceleration, p.HeightAcceleration};
    Platform.SetPostureLimits(platform);
}

void MotionCueing::SetSeatModel(const KarvelSeat::SeatModel& Model) {
    Platform.SetSeatModel(Model);
    SetHome(KarvelCueing::HomePose(Model));
}

void MotionCueing::SetHome(const SeatPose& NewHome) {
    if (!CueingSteps::Finite(NewHome)) return;
    const PlatformVector stroke = PlatformEnvelope::WithinStroke({NewHome.Pitch, NewHome.Roll, NewHome.Height});
    HomePose = {stroke[0], stroke[1], NewHome.Yaw, stroke[2]};
    if (Fresh) Reset();
}

void MotionCueing::ResetFilters() {
    SurgeLow.Reset();
    SwayLow.Reset();
    PitchTilt.Reset(0);
    RollTilt.Reset(0);
    RollOnset.Reset();
    PitchOnset.Reset();
    HeaveOnset.Reset();
    RollAngle.Reset();
    PitchAngle.Reset();
    YawAngle.Reset();
    HeaveSpeed.Reset();
    HeaveTravel.Reset();
}

void MotionCueing::RestAt(const SeatPose& Pose) {
    Platform.Reset({Pose.Pitch, Pose.Roll, Pose.Height});
    YawAxis.Reset(Pose.Yaw);
    const PlatformVector& at = Platform.Position();
    Output = {at[0], at[1], Pose.Yaw, at[2]};
    LastTarget = Output;
}

void MotionCueing::Reset() {
    ResetFilters();
    RestAt(HomePose);
    Parking = false;
    Held = false;
    HeldReport = false;
    Fresh = true;
}

void MotionCueing::StandAt(const SeatPose& Pose) {
    if (!CueingSteps::Finite(Pose)) return;
    Reset();
    RestAt(Pose);
    Fresh = false;
}

void MotionCueing::Recentre() {
    ResetFilters();
    LastTarget = Neutral();
}

void MotionCueing::Park() {
    Parking = true;
}

void MotionCueing::Resume() {
    if (!Parking) return;
    Parking = false;
    ResetFilters();
    LastTarget = Output;
}

bool MotionCueing::IsParked() const {
    return Parking && YawAxis.AtRestOn(HomePose.Yaw) &&
           Platform.AtRestOn({HomePose.Pitch, HomePose.Roll, HomePose.Height});
}

bool MotionCueing::TakeNonFiniteReport() {
    const bool report = HeldReport;
    HeldReport = false;
    return report;
}

void MotionCueing::NoteHeld() {
    if (!Held) HeldReport = true;
    Held = true;
}

bool MotionCueing::AcceptStep(double Dt, double& Seconds) {
    if (!std::isfinite(Dt) || Dt < 0) {
        NoteHeld();
        return false;
    }
    if (Dt == 0) return false;
    Seconds = std::min(Dt, MaxStepSeconds);
    Fresh = false;
    return true;
}

SeatPose MotionCueing::Neutral() const {
    return {HomePose.Pitch, HomePose.Roll, HomePose.Yaw, Settings.NeutralHeight};
}

SeatPose MotionCueing::Step(double Dt, const VehicleMotion& Motion) {
    double h = 0;
    if (!AcceptStep(Dt, h)) return Output;
    if (Parking) return ParkStep(h);
    if (!CueingSteps::Finite(Motion)) return Hold(h);
    const SeatPose target = Cue(h, Motion);
    if (!CueingSteps::Finite(target)) ResetFilters(); // cannot happen with limited inputs; start afresh
    return Follow(h, target);
}

SeatPose MotionCueing::StepPosture(double Dt, const SeatPose& Requested) {
    double h = 0;
    if (!AcceptStep(Dt, h)) return Output;
    if (Parking) return ParkStep(h);
    SeatPose target = Requested;
    target.Yaw = Output.Yaw + CueingSteps::ShortWay(Requested.Yaw - Output.Yaw);
    return Follow(h, target);
}

SeatPose MotionCueing::Follow(double Seconds, const SeatPose& Target) {
    if (!CueingSteps::Finite(Target)) return Hold(Seconds);
    Held = false;
    LastTarget = Target;
    return Track(Seconds, Target);
}

SeatPose MotionCueing::Hold(double Seconds) {
    NoteHeld();
    return Track(Seconds, LastTarget);
}

SeatPose MotionCueing::StepPark(double Dt) {
    Parking = true;
    double h = 0;
    if (!AcceptStep(Dt, h)) return Output;
    return ParkStep(h);
}

SeatPose MotionCueing::Cue(double Seconds, const VehicleMotion& Motion) {
    using CueingSteps::MaxForce;
    using CueingSteps::MaxRate;
    const CueingProfile& p = Settings;
    const double h = Seconds;
    const double fx = std::clamp(Motion.SpecificForce.X, -MaxForce, MaxForce);
    const double fy = std::clamp(Motion.SpecificForce.Y, -MaxForce, MaxForce);
    const double fz = std::clamp(Motion.SpecificForce.Z, -MaxForce, MaxForce);
    const double rollRate = std::clamp(Motion.AngularVelocity.X, -MaxRate, MaxRate);
    const double pitchRate = std::clamp(Motion.AngularVelocity.Y, -MaxRate, MaxRate);
    const double yawRate = std::clamp(Motion.AngularVelocity.Z, -MaxRate, MaxRate);

    // Tilt coordination, prompt: the force, smoothed only of its jitter, held
    // by gravity at once (within TiltRate), so a braking or a turn is felt the
    // right way as it starts and goes when it ends. A forward force leans the
    // rider back (+pitch); a push to the right (a right turn) lowers the left
    // side (-roll), so the rider feels thrown outward. A coordinated turn,
    // felt straight down through the seat, tilts nothing.
    const double pitchTilt = PitchTilt.Step(h, CueingSteps::TiltFor(SurgeLow.Step(h, fx), p.TiltGain, p.TiltLimit));
    const double rollTilt = RollTilt.Step(h, -CueingSteps::TiltFor(SwayLow.Step(h, fy), p.TiltGain, p.TiltLimit));

    // Roll and pitch onsets: the high-passed rate integrated is a brief
    // rotation the same way that returns to neutral while the rate holds.
    const double rollOnset = p.RollRateGain * RollAngle.Step(h, RollOnset.Step(h, rollRate));
    const double pitchOnset = p.PitchRateGain * PitchAngle.Step(h, PitchOnset.Step(h, pitchRate));
    // Yaw: the rate itself integrated, leaking back to centre: the turntable
    // turns with the vehicle from the first instant and eases back in a long
    // turn, as the rider's sense of it fades. The angle held never goes past
    // the turntable's range, so when a long turn ends it eases back at once.
    const SeatPose neutral = Neutral();
    YawAngle.Step(h, yawRate);
    if (p.YawRateGain > 0)
        YawAngle.Limit((-p.YawLimit - neutral.Yaw) / p.YawRateGain, (p.YawLimit - neutral.Yaw) / p.YawRateGain);
    const double yawOnset = p.YawRateGain * YawAngle.Value();
    // Heave: the vertical force beyond gravity, high-passed and integrated
    // twice, the speed leaking away so that the travel returns to neutral too.
    const double heave =
        p.HeaveGain * HeaveTravel.Step(h, HeaveSpeed.Step(h, HeaveOnset.Step(h, fz - StandardGravity)));

    return {neutral.Pitch + pitchTilt + pitchOnset, neutral.Roll + rollTilt + rollOnset, neutral.Yaw + yawOnset,
            neutral.Height + heave};
}

SeatPose MotionCueing::Track(double Seconds, const SeatPose& Target) {
    return Move(Seconds, Target, false);
}

SeatPose MotionCueing::ParkStep(double Seconds) {
    // Home may lie outside the cueing limits (a seat whose home is the bottom
    // of the stroke, below the platform's margin and maybe HeightMin): park
    // goes there all the same.
    return Move(Seconds, HomePose, true);
}

SeatPose MotionCueing::Move(double Seconds, const SeatPose& Target, bool Home) {
    const PlatformVector target{Target.Pitch, Target.Roll, Target.Height};
    const PlatformVector& platform = Home ? Platform.StepHome(Seconds, target) : Platform.Step(Seconds, target);
    Output.Pitch = platform[0];
    Output.Roll = platform[1];
    Output.Height = platform[2];
    Output.Yaw = Home ? YawAxis.StepUnlimited(Seconds, Target.Yaw) : YawAxis.Step(Seconds, Target.Yaw);
    return Output;
}

} // namespace KarvelCueing
