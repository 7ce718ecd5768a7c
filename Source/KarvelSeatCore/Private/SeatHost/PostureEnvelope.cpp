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
    // Enough for yaw across 360 deg, which takes longest (the tests check it against the road profile's speeds).
    Envelope.ParkSeconds = 5;
    return Envelope;
}

} // namespace KarvelSeat
