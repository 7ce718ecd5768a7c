#include "MotionCueing/CueRecorder.h"

#include <cerrno>
#include <cstring>

namespace KarvelCueing {

bool CueRecorder::Open(const std::string& Path, std::string& Error) {
    Close();
    WriteError = false;
    std::FILE* file = std::fopen(Path.c_str(), "wb");
    if (file == nullptr) {
        Error = "cannot write the recording " + Path + ": " + std::strerror(errno);
        return false;
    }
    File.reset(file);
    char header[128];
    const int length = std::snprintf(header, sizeof header, "%s\n", Header);
    WriteRow(header, length, sizeof header);
    return true;
}

void CueRecorder::WriteCued(double Time, const VehicleMotion& In, const SeatPose& Out) {
    if (!File) return;
    char row[512];
    const int length = std::snprintf(row, sizeof row, "%.10g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g,%.6g\n", Time,
                                     In.Acceleration.X, In.Acceleration.Y, In.Acceleration.Z, In.AngularVelocity.X,
                                     In.AngularVelocity.Y, In.AngularVelocity.Z, Out.Pitch, Out.Roll, Out.Yaw,
                                     Out.Height);
    WriteRow(row, length, sizeof row);
}

void CueRecorder::WritePosture(double Time, const SeatPose& Out) {
    if (!File) return;
    char row[256];
    const int length = std::snprintf(row, sizeof row, "%.10g,,,,,,,%.6g,%.6g,%.6g,%.6g\n", Time, Out.Pitch, Out.Roll,
                                     Out.Yaw, Out.Height);
    WriteRow(row, length, sizeof row);
}

void CueRecorder::WriteRow(const char* Row, int Length, size_t Capacity) {
    // A row that did not fit (a time of absurd size) is not written half.
    if (Length <= 0 || static_cast<size_t>(Length) >= Capacity ||
        std::fwrite(Row, 1, static_cast<size_t>(Length), File.get()) != static_cast<size_t>(Length))
        WriteError = true;
}

void CueRecorder::Close() {
    if (File && std::fflush(File.get()) != 0) WriteError = true;
    File.reset();
}

} // namespace KarvelCueing
