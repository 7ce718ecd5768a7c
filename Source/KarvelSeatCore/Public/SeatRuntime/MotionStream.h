// The seat's motion frame by frame: the cueing core stepped at its own rate (several steps to a frame), what the
// source that holds the stream posts, the soft parks and what the watchdog asks for. It reads no clock and calls
// no library: SeatRuntime runs it on its thread, one Frame() per frame, and sends what Frame() returns. Every
// posture it returns has gone through the core's envelope, stepped by the frame period.
#pragma once

#include "SeatCoreApi.h"

#include <memory>
#include <optional>

#include "MotionCueing/CueRecorder.h"
#include "MotionCueing/MotionCueingCore.h"
#include "SeatModels/SeatModel.h"
#include "SeatRuntime/RuntimeTypes.h"

namespace KarvelSeat {

class KARVELSEATCORE_API MotionStream {
public:
    MotionStream();

    // A rate within RuntimeSettings' range; the core's steps stay near CoreStepsPerSecond.
    void SetFrameRate(double FrameRate);
    double FrameSeconds() const { return Period; }

    // A configuration: where parks end from now on. Nothing moves; no stream runs.
    void SetHome(const SeatModel& Model);
    // A valid profile (ValidateProfile), from the next frame on.
    void SetProfile(const KarvelCueing::CueingProfile& Profile);
    const KarvelCueing::CueingProfile& Profile() const { return Core.Profile(); }

    // A source takes the stream, the seat standing at StandsAt; nothing moves until its first sample.
    void Begin(const Posture& StandsAt);
    // The source lets go: the seat parks, then nothing more is sent.
    void End();
    // The source's newest sample; it holds until the next one.
    void Take(const MotionSample& Sample);
    // The source forgets the vehicle's motion so far: the seat eases back to neutral.
    void Recentre();

    // The watchdog. A stream parks and rests at home until Clear, then follows its samples again, softly. Without
    // a stream, a seat the game left away from home (a posture it sent itself, InForce) parks, and at Clear returns
    // there softly, as far as the profile's limits allow.
    void Trip(const Posture& InForce);
    void Clear();
    // The game commands a posture or the home itself: no park or return of a posture of its own goes on.
    void TakeDirectControl();

    // An unregistration: a stream, or a park or return under way, parks now; Settled() tells when it is done.
    void ParkForStop();
    bool Settled() const { return Task == ETask::Idle; }

    // One frame: the posture to send, or nothing (idle, or resting at home after a park).
    std::optional<Posture> Frame();

    bool IsStreaming() const { return Task == ETask::Follow; }
    // Nothing moves or the stream rests at home.
    bool IsParked() const { return Task == ETask::Idle || Core.IsParked(); }
    // True once per episode of non-finite input (a NaN in the game's maths), for one warning.
    bool TakeNonFiniteReport() { return Core.TakeNonFiniteReport(); }

    // Each frame's input and output go to Recorder from now on; null stops. Returns the recorder that stops.
    std::unique_ptr<KarvelCueing::CueRecorder> Record(std::unique_ptr<KarvelCueing::CueRecorder> Recorder);

private:
    enum class ETask { Idle, Follow, Park, Return };

    KarvelCueing::SeatPose StepMotion(const KarvelCueing::VehicleMotion& Motion);
    KarvelCueing::SeatPose StepTowards(const KarvelCueing::SeatPose& Target);
    std::optional<Posture> ParkFrame();
    std::optional<Posture> ReturnFrame();
    void LeavePark();
    // A cued row when Cued (its input), else a posture row.
    void RecordFrame(const KarvelCueing::SeatPose& Out, const MotionSample* Cued);

    KarvelCueing::MotionCueing Core;
    Posture Home = TamselSeat.Home;
    double Period = 0.01;
    int SubSteps = 10;

    ETask Task = ETask::Idle;
    bool bHasSample = false;
    MotionSample Sample;
    bool bTripped = false;
    bool bReturnAtClear = false;
    Posture ReturnTarget;
    std::optional<KarvelCueing::SeatPose> LastReturnStep;

    std::unique_ptr<KarvelCueing::CueRecorder> Recorder;
    double RecordSeconds = 0;
};

} // namespace KarvelSeat
