#include "CueEvaluation.h"

#include <algorithm>

#include "SeatMotion.h"

namespace KarvelCueEvaluation {

const char* PostureAxisName(int Axis) {
    static const char* const names[] = {"pitch", "roll", "yaw", "height"};
    return Axis >= 0 && Axis < PostureAxisCount ? names[Axis] : "?";
}

Cuer CueWith(KarvelCueing::MotionCueing& Core) {
    return [&Core](double Dt, const RideSample& Vehicle) {
        KarvelCueing::VehicleMotion motion;
        const auto& f = Vehicle.SpecificForce;
        const auto& w = Vehicle.AngularVelocity;
        motion.SpecificForce = {f[0], f[1], f[2]};
        motion.AngularVelocity = {w[0], w[1], w[2]};
        return Core.Step(Dt, motion);
    };
}

KarvelCueing::SeatPose HomeOf(const KarvelSeat::SeatModel& Seat) {
    return {Seat.Home.Pitch, Seat.Home.Roll, Seat.Home.Yaw, Seat.Home.Height};
}

SeatGeometry GeometryFor(const KarvelCueing::CueingProfile& Profile, const KarvelSeat::SeatModel& Seat) {
    SeatGeometry geometry;
    geometry.StrokeMetres = Seat.StrokeMetres();
    geometry.Home = HomeOf(Seat);
    geometry.PitchSpan = 2 * Profile.PitchLimit;
    geometry.RollSpan = 2 * Profile.RollLimit;
    geometry.YawSpan = 2 * Profile.YawLimit;
    geometry.HeightSpan = Profile.HeightMax - Profile.HeightMin;
    return geometry;
}

double Evaluation::MeanNrmse() const {
    double sum = 0;
    for (const ChannelMeasures& m : Measures) sum += m.Nrmse;
    return sum / ChannelCount;
}

double Evaluation::FalseCueSeconds() const {
    double sum = 0;
    for (const ChannelMeasures& m : Measures) sum += m.FalseCueSeconds;
    return sum;
}

Evaluation Evaluate(const Ride& Vehicle, const Cuer& Cue, const SeatGeometry& Seat,
                    const std::function<void(double)>& Progress) {
    Evaluation result;
    result.Dt = Vehicle.Dt;
    const std::size_t n = Vehicle.Samples.size();
    for (int c = 0; c < ChannelCount; ++c) {
        result.Vehicle[c].reserve(n);
        result.Seat[c].reserve(n);
    }
    result.Postures.reserve(n);

    Vestibular driver(Vehicle.Dt), rider(Vehicle.Dt);
    SeatMotion seat(Vehicle.Dt, Seat.StrokeMetres);
    seat.Rest(Seat.Home);
    if (n > 0) driver.Settle(Vehicle.Samples[0].SpecificForce, Vehicle.Samples[0].AngularVelocity);
    rider.Settle(seat.SpecificForce(), seat.AngularVelocity());

    const std::size_t progressEvery = std::max<std::size_t>(n / 100, 1);
    for (std::size_t i = 0; i < n; ++i) {
        const RideSample& now = Vehicle.Samples[i];
        const KarvelCueing::SeatPose pose = Cue(Vehicle.Dt, now);
        seat.Step(pose);
        const Channels felt = driver.Step(now.SpecificForce, now.AngularVelocity);
        const Channels cued = rider.Step(seat.SpecificForce(), seat.AngularVelocity());
        for (int c = 0; c < ChannelCount; ++c) {
            result.Vehicle[c].push_back(felt[c]);
            result.Seat[c].push_back(cued[c]);
        }
        result.Postures.push_back(pose);
        if (Progress && i % progressEvery == 0) Progress(static_cast<double>(i) / static_cast<double>(n));
    }

    const Channels& thresholds = PerceptionThresholds();
    for (int c = 0; c < ChannelCount; ++c)
        result.Measures[c] = MeasureChannel(result.Vehicle[c], result.Seat[c], thresholds[c], Vehicle.Dt);

    if (!result.Postures.empty()) {
        KarvelCueing::SeatPose lo = result.Postures.front(), hi = lo;
        for (const KarvelCueing::SeatPose& p : result.Postures) {
            lo = {std::min(lo.Pitch, p.Pitch), std::min(lo.Roll, p.Roll), std::min(lo.Yaw, p.Yaw),
                  std::min(lo.Height, p.Height)};
            hi = {std::max(hi.Pitch, p.Pitch), std::max(hi.Roll, p.Roll), std::max(hi.Yaw, p.Yaw),
                  std::max(hi.Height, p.Height)};
        }
        const auto share = [](double Used, double Span) { return Span > 0 ? Used / Span : 0.0; };
        result.RangeShare = {share(hi.Pitch - lo.Pitch, Seat.PitchSpan), share(hi.Roll - lo.Roll, Seat.RollSpan),
                             share(hi.Yaw - lo.Yaw, Seat.YawSpan), share(hi.Height - lo.Height, Seat.HeightSpan)};
    }
    if (Progress) Progress(1.0);
    return result;
}

} // namespace KarvelCueEvaluation
