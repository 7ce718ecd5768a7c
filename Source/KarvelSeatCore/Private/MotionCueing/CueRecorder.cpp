#include "MotionCueing/CueRecorder.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace KarvelCueing {

bool CueRecorder::Open(const std::string& Path, std::string& Error) {
    Close();
    WriteError = false;
    errno = 0;
    File.open(Path, std::ios::binary | std::ios::trunc);
    if (!File.is_open()) {
        const std::string reason = errno != 0 ? std::generic_category().message(errno) : "cannot open";
        Error = "cannot write the recording " + Path + ": " + reason;
        return false;
    }
    char header[128];
    const int length = std::snprintf(header, sizeof header, "%s\n", Header);
    WriteRow(header, length, sizeof header);
    return true;
}

void CueRecorder::WriteCued(double Time, const VehicleMotion& In, const Vec3& Acceleration, const SeatPose& Out) {
    if (!File.is_open()) return;
    char row[640];
    const int length = std::snprintf(
        row, sizeof row, "%.10g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g\n", Time,
        In.SpecificForce.X, In.SpecificForce.Y, In.SpecificForce.Z, In.AngularVelocity.X, In.AngularVelocity.Y,
        In.AngularVelocity.Z, Acceleration.X, Acceleration.Y, Acceleration.Z, Out.Pitch, Out.Roll, Out.Yaw, Out.Height);
    WriteRow(row, length, sizeof row);
}

void CueRecorder::WritePosture(double Time, const SeatPose& Out) {
    if (!File.is_open()) return;
    char row[256];
    const int length = std::snprintf(row, sizeof row, "%.10g,,,,,,,,,,%.6g,%.6g,%.6g,%.6g\n", Time, Out.Pitch,
                                     Out.Roll, Out.Yaw, Out.Height);
    WriteRow(row, length, sizeof row);
}

void CueRecorder::WriteRow(const char* Row, int Length, size_t Capacity) {
    // A row that did not fit (a time of absurd size) is not written half.
    if (Length <= 0 || static_cast<size_t>(Length) >= Capacity ||
        !File.write(Row, static_cast<std::streamsize>(Length)))
        WriteError = true;
}

void CueRecorder::Close() {
    if (!File.is_open()) return;
    if (!File.flush()) WriteError = true;
    File.close();
    File.clear();
}

} // namespace KarvelCueing
