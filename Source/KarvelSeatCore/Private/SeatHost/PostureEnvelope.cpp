#include "SeatHost/PostureEnvelope.h"

#include "SeatHost/PostureRules.h"

namespace KarvelSeat {

KarvelCueing::CueingProfile PostureEnvelope() {
    KarvelCueing::CueingProfile Envelope = KarvelCueing::RoadVehicleProfile();
    Envelope.PitchLimit = MaxTiltDegrees;
    Envelope.RollLimit = MaxTiltDegrees;
    Envelope.YawLimit = MaxYawDegrees;
    Envelope.HeightMin = 0;
    Envelope.HeightMax = 1;
    // Yaw across 360 deg at 90 deg/s, braking and starting at 300 deg/s^2, takes 4.8 s.
    Envelope.ParkSeconds = 5;
    return Envelope;
}

} // namespace KarvelSeat
