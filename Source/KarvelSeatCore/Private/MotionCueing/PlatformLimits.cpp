#include "MotionCueing/PlatformLimits.h"

#include <algorithm>
#include <string>

#include "MotionCueing/CueingProfile.h"
#include "MotionCueing/PlatformGeometry.h"

namespace KarvelCueing {

PlatformLimits PlatformLimitsFor(const KarvelSeat::SeatModel& Model) {
    // The X and Y axes move by height plus a thirtieth of each degree of pitch
    // and of roll (Z by less): per stroke, the fastest any preset drives them.
    double speed = 0, acceleration = 0;
    for (const std::string& name : PresetProfileNames()) {
        const CueingProfile& p = *FindPresetProfile(name);
        speed = std::max(speed, p.HeightVelocity + (p.PitchVelocity + p.RollVelocity) / DegreesPerStroke);
        acceleration =
            std::max(acceleration, p.HeightAcceleration + (p.PitchAcceleration + p.RollAcceleration) / DegreesPerStroke);
    }
    const double midStroke = CrankCurve(Model).Slope(0.5);
    return {EndMarginOfStroke, midStroke * speed, midStroke * acceleration};
}

} // namespace KarvelCueing
