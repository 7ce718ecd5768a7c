// A seat model's home as a cueing pose: where a stream starts and where a park ends, so that the model's own
// home command that follows never moves the seat.
#pragma once

#include "CueingTypes.h"
#include "SeatModels/SeatModel.h"

namespace KarvelCueing {

inline SeatPose HomePose(const KarvelSeat::SeatModel& Model) {
    return SeatPose{Model.Home.Pitch, Model.Home.Roll, Model.Home.Yaw, Model.Home.Height};
}

} // namespace KarvelCueing
