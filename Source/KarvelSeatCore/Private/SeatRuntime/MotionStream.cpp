#include "SeatRuntime/MotionStream.h"

#include <algorithm>
#include <cmath>

#include "MotionCueing/SeatHome.h"

namespace KarvelSeat {

namespace {

KarvelCueing::SeatPose PoseOf(const Posture& P) { return {P.Pitch, P.Roll, P.Yaw, P.Height}; }

Posture PostureOf(const KarvelCueing::SeatPose& P) {
    return Posture{static_cast<float>(P.Pitch), static_cast<float>(P.Roll), static_cast<float>(P.Yaw),
                   static_cast<float>(P.Height)};
}

bool SamePosture(const Posture& A, const Posture& B) {
    return A.Pitch == B.Pitch && A.Roll == B.Roll && A.Yaw == B.Yaw && A.Height == B.Height;
}

bool SamePose(const KarvelCueing::SeatPose& A, const KarvelCueing::SeatPose& B) {
    constexpr double Still = 1e-9;
    return std::abs(A.Pitch - B.Pitch) < Still && std::abs(A.Roll - B.Roll) < Still &&
           std::abs(A.Yaw - B.Yaw) < Still && std::abs(A.Height - B.Height) < Still;
}

} // namespace

MotionStream::MotionStream() { SetFrameRate(RuntimeSettings().FrameRate); }

void MotionStream::SetFrameRate(double FrameRate) {
    Period = 1.0 / FrameRate;
    SubSteps = std::max(1, static_cast<int>(std::ceil(CoreStepsPerSecond / FrameRate - 1e-9)));
}

void MotionStream::SetHome(const SeatModel& Model) {
    Home = Model.Home;
    // The model's home, where a park ends, and its platform's geometry for the envelope.
    Core.SetSeatModel(Model);
    Core.Reset();
    Task = ETask::Idle;
    bHasSample = false;
    bTripped = false;
    bReturnAtClear = false;
}

void MotionStream::SetProfile(const KarvelCueing::CueingProfile& Profile) { Core.SetProfile(Profile); }

void MotionStream::Begin(const Posture& StandsAt) {
    Core.StandAt(PoseOf(StandsAt));
    Task = ETask::Follow;
    bHasSample = false;
    bReturnAtClear = false;
}

void MotionStream::End() {
    if (Task != ETask::Follow) return;
    Task = ETask::Park;
    bHasSample = false;
}

void MotionStream::Take(const MotionSample& NewSample) {
    Sample = NewSample;
    bHasSample = true;
}

void MotionStream::Recentre() { Core.Recentre(); }

void MotionStream::Trip(const Posture& InForce) {
    bTripped = true;
    if (Task == ETask::Return) {
        Task = ETask::Park;
    } else if (Task == ETask::Idle && !SamePosture(InForce, Home)) {
        Core.StandAt(PoseOf(InForce));
        Task = ETask::Park;
        bReturnAtClear = true;
        ReturnTarget = InForce;
    }
}

void MotionStream::Clear() {
    bTripped = false;
    if (!bReturnAtClear) return;
    bReturnAtClear = false;
    LeavePark();
    Task = ETask::Return;
    LastReturnStep.reset();
}

void MotionStream::TakeDirectControl() {
    bReturnAtClear = false;
    if (Task == ETask::Park || Task == ETask::Return) Task = ETask::Idle;
}

void MotionStream::ParkForStop() {
    bReturnAtClear = false;
    bHasSample = false;
    if (Task != ETask::Idle) Task = ETask::Park;
}

std::optional<Posture> MotionStream::Frame() {
    if (Recorder) RecordSeconds += Period;
    switch (Task) {
    case ETask::Idle:
        return std::nullopt;
    case ETask::Park: {
        const std::optional<Posture> Step = ParkFrame();
        if (!Step) Task = ETask::Idle;
        return Step;
    }
    case ETask::Return:
        return ReturnFrame();
    case ETask::Follow:
        break;
    }
    if (bTripped || !bHasSample || Sample.Kind == MotionSample::EKind::Park) {
        // Before the first sample nothing moves; a stream told to park rests at home once there.
        if (!bHasSample && !bTripped) return std::nullopt;
        return ParkFrame();
    }
    LeavePark();
    if (Sample.Kind == MotionSample::EKind::Motion) {
        const KarvelCueing::SeatPose Out = StepMotion(Sample.Motion);
        RecordFrame(Out, &Sample);
        return PostureOf(Out);
    }
    const KarvelCueing::SeatPose Out = StepTowards(Sample.Posture);
    RecordFrame(Out, nullptr);
    return PostureOf(Out);
}

KarvelCueing::SeatPose MotionStream::StepMotion(const KarvelCueing::VehicleMotion& Motion) {
    const double Step = Period / SubSteps;
    KarvelCueing::SeatPose Out = Core.Current();
    for (int Index = 0; Index < SubSteps; ++Index) Out = Core.Step(Step, Motion);
    return Out;
}

KarvelCueing::SeatPose MotionStream::StepTowards(const KarvelCueing::SeatPose& Target) {
    const double Step = Period / SubSteps;
    KarvelCueing::SeatPose Out = Core.Current();
    for (int Index = 0; Index < SubSteps; ++Index) Out = Core.StepPosture(Step, Target);
    return Out;
}

std::optional<Posture> MotionStream::ParkFrame() {
    // At rest at home the seat is left alone; the frame that gets there sends home exactly, the very posture
    // the model's home command stands for, so that the home command that may follow never moves it.
    if (Core.IsParked()) return std::nullopt;
    const double Step = Period / SubSteps;
    KarvelCueing::SeatPose Out = Core.Current();
    for (int Index = 0; Index < SubSteps; ++Index) Out = Core.StepPark(Step);
    const Posture Sent = Core.IsParked() ? Home : PostureOf(Out);
    RecordFrame(PoseOf(Sent), nullptr);
    return Sent;
}

std::optional<Posture> MotionStream::ReturnFrame() {
    const KarvelCueing::SeatPose Out = StepTowards(PoseOf(ReturnTarget));
    // Arrived, or held at a limit of the profile short of the posture: nothing moves any more.
    if (LastReturnStep && SamePose(*LastReturnStep, Out)) {
        Task = ETask::Idle;
        return std::nullopt;
    }
    LastReturnStep = Out;
    return PostureOf(Out);
}

void MotionStream::LeavePark() {
    if (Core.IsParking()) Core.Resume();
}

std::unique_ptr<KarvelCueing::CueRecorder> MotionStream::Record(std::unique_ptr<KarvelCueing::CueRecorder> NewRecorder) {
    std::unique_ptr<KarvelCueing::CueRecorder> Stopped = std::move(Recorder);
    Recorder = std::move(NewRecorder);
    RecordSeconds = 0;
    return Stopped;
}

void MotionStream::RecordFrame(const KarvelCueing::SeatPose& Out, const MotionSample* Cued) {
    if (!Recorder) return;
    if (Cued) {
        Recorder->WriteCued(RecordSeconds, Cued->Motion, Cued->Acceleration, Out);
    } else {
        Recorder->WritePosture(RecordSeconds, Out);
    }
}

} // namespace KarvelSeat
