// Washout, tilt coordination and the safety envelope: one object per seat
// stream, driven once per frame from one thread. Axes, units and signs are in
// CueingTypes.h.
//
// Every posture that leaves the object has gone through the envelope: within
// the profile's position, velocity and acceleration limits, measured as
// (change of posture) / step with the step counted at most MaxStepSeconds,
// and within the seat model's platform: each support axis clear of the ends of
// its stroke, each crank within the drive's speed and acceleration
// (PlatformEnvelope.h). The library never clamps such a posture.
// A step of zero, negative or non-finite length moves nothing. Non-finite
// input is not used: the seat goes on smoothly to the last good target and
// comes to rest there. A bad step or bad input makes TakeNonFiniteReport()
// answer true once per episode (until good input returns).
#pragma once

#include "SeatCoreApi.h"

#include <string>

#include "AxisEnvelope.h"
#include "CueingProfile.h"
#include "CueingTypes.h"
#include "HighPass2.h"
#include "LeakyIntegrator.h"
#include "LowPass2.h"
#include "PlatformEnvelope.h"
#include "RateLimiter.h"

namespace KarvelCueing {

class KARVELSEATCORE_API MotionCueing {
public:
    // An invalid profile gives the road vehicle profile instead.
    explicit MotionCueing(const CueingProfile& InProfile = RoadVehicleProfile());

    // Refuses an invalid profile (Error gets ValidateProfile's message) and
    // keeps the old one. A new profile takes effect at once by braking at its
    // acceleration limits from the present velocity, never by cutting the
    // velocity; the seat moves into new, narrower limits at the new limits'
    // pace. (Only where braking that gently would run a support axis against
    // the end of its stroke does it brake harder, as hard as the stroke needs.)
    bool SetProfile(const CueingProfile& NewProfile, std::string* Error = nullptr);
    const CueingProfile& Profile() const { return Settings; }

    // The seat model: its home (as SetHome) and its platform's crank geometry
    // and limits. An Orvida until set.
    void SetSeatModel(const KarvelSeat::SeatModel& Model);
    // The seat model's home as a posture (0, 0, 0, 0.5 unless set): where a
    // stream starts from and where a park ends. The cues move around
    // (home pitch, home roll, home yaw, the profile's NeutralHeight).
    // A home with a non-finite value is ignored; one beyond the stroke is taken
    // as the library would take it.
    void SetHome(const SeatPose& NewHome);
    const SeatPose& Home() const { return HomePose; }

    // Cues the vehicle's motion. While parked (Park() without Resume()) this
    // keeps parking instead.
    SeatPose Step(double Dt, const VehicleMotion& Motion);
    // A posture the game chose itself, through the same envelope: out-of-range
    // values are taken at the limit and yaw goes the short way from where the
    // turntable is (a heading that crosses +-180 does not swing it round).
    // While parked this keeps parking instead.
    SeatPose StepPosture(double Dt, const SeatPose& Requested);
    // Parks (starting a park if none is under way) and then holds home.
    SeatPose StepPark(double Dt);

    void Park();            // the next steps ramp home within ParkSeconds
    void Resume();          // leave park; cues start afresh from where the seat is
    bool IsParked() const;  // parking was asked for and the seat is home at rest
    bool IsParking() const { return Parking; }
    void Recentre();        // forget the vehicle's motion so far; the seat eases to neutral
    void Reset();           // home at rest, not parking, nothing held: for a fresh stream
    // The seat stands at Pose, at rest, after postures sent some other way (a
    // recording played back): what follows, a park included, moves on from
    // there. Pose may lie outside the profile's limits (taken within the stroke
    // as the library would take it); a park brings it home all the same. A pose
    // with a non-finite value is ignored.
    void StandAt(const SeatPose& Pose);

    const SeatPose& Current() const { return Output; } // last posture that left the envelope
    bool TakeNonFiniteReport();

private:
    void ApplyProfile();
    void ResetFilters();
    void RestAt(const SeatPose& Pose); // every axis at rest there
    bool AcceptStep(double Dt, double& Seconds); // false: nothing may move
    void NoteHeld();
    SeatPose Cue(double Seconds, const VehicleMotion& Motion);
    SeatPose Follow(double Seconds, const SeatPose& Target); // holds instead when Target is not finite
    SeatPose Hold(double Seconds);                           // towards the last good target, reported
    SeatPose Track(double Seconds, const SeatPose& Target);
    SeatPose ParkStep(double Seconds);
    SeatPose Move(double Seconds, const SeatPose& Target, bool Home);
    SeatPose Neutral() const;

    CueingProfile Settings;
    SeatPose HomePose;
    SeatPose Output;
    SeatPose LastTarget;
    bool Parking = false;
    bool Held = false;
    bool HeldReport = false;
    bool Fresh = true; // nothing has moved since Reset(): a new home applies at once

    // Cue channels.
    LowPass2 SurgeLow, SwayLow;
    RateLimiter PitchTilt, RollTilt;
    HighPass2 RollOnset, PitchOnset, HeaveOnset;
    LeakyIntegrator RollAngle, PitchAngle, YawAngle, HeaveSpeed, HeaveTravel;

    // Safety envelope: the turntable on its own, the rest as the platform moves it.
    AxisEnvelope YawAxis;
    PlatformEnvelope Platform;
};

} // namespace KarvelCueing
