#include "KinematicsLog.h"

#include "LogSink.h"

namespace karvel {

void logKinematics(const KinematicsTrace& trace, std::int32_t seatType) {
    if (trace.fromPosture) {
        logLine(kLogDebug, "[Ridova][DEBUG] SeatAlgorithm::calculateAxes input: pitch=%.2f, roll=%.2f, height=%.2f",
                trace.pitch, trace.roll, trace.height);
        logLine(kLogDebug, "[Ridova][DEBUG] SeatAlgorithm::calculateAxes output: %.2f, %.2f, %.2f", trace.axes.x,
                trace.axes.y, trace.axes.z);
    }
    for (const PulseStep& step : trace.pulses) {
        logLine(kLogDebug,
                "[Ridova][DEBUG] SeatAlgorithm::calculatePulse [type=%d] normPos=%.2f -> length=%.2f -> pulse=%d",
                seatType, step.normPos, step.position, step.pulse);
    }
    logLine(kLogDebug, "[Ridova][DEBUG] SeatAlgorithm::calculateRotationPulse [type=%d] uTurns=%.2f -> pulse=%d",
            seatType, trace.uTurns, trace.rotationPulse);
}

} // namespace karvel
