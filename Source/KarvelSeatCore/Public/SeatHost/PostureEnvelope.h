// The envelope of postures a host sends without cueing them (karvel's run, replay and demo), and of a park from a
// posture whose host named no envelope (the guard's): the road profile's speeds and accelerations over the whole
// range the library takes (pitch and roll +-15 deg, yaw +-180 deg, height 0..1), with a park time that reaches home
// from anywhere in it.
#pragma once

#include "SeatCoreApi.h"

#include "MotionCueing/CueingProfile.h"

namespace KarvelSeat {

KARVELSEATCORE_API KarvelCueing::CueingProfile PostureEnvelope();

} // namespace KarvelSeat
