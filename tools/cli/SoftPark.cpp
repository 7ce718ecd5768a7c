#include "SoftPark.h"

#include <cmath>
#include <cstdio>

namespace karvel::cli {

void sendPose(SeatSession& seat, const KarvelCueing::SeatPose& pose) {
    seat.posture(static_cast<float>(pose.Pitch), static_cast<float>(pose.Roll), static_cast<float>(pose.Yaw),
                 static_cast<float>(pose.Height));
}

std::optional<std::uint64_t> parkSoftly(SeatSession& seat, KarvelCueing::MotionCueing& cueing, PacedStream& stream) {
    const double dt = 1.0 / stream.rate();
    const auto limit = static_cast<std::uint64_t>(std::ceil((2 * cueing.Profile().ParkSeconds + 1) * stream.rate()));
    cueing.Park();
    for (std::uint64_t steps = 1; steps <= limit; ++steps) {
        stream.extra([&] { sendPose(seat, cueing.StepPark(dt)); });
        if (cueing.IsParked()) return steps;
    }
    return std::nullopt;
}

void printPark(const char* name, const char* detail, const std::optional<std::uint64_t>& parked, double rateHz) {
    if (parked)
        std::printf("%s: %sparked in %.2f s (%llu frames)\n", name, detail, static_cast<double>(*parked) / rateHz,
                    static_cast<unsigned long long>(*parked));
    else
        std::printf("%s: %sthe seat was not home in time, homing it at once\n", name, detail);
}

} // namespace karvel::cli
