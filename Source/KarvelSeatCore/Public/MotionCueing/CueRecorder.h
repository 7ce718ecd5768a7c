// Records each step's input and output for tuning, as CSV with the header
//   time,fx,fy,fz,roll_rate,pitch_rate,yaw_rate,ax,ay,az,pitch,roll,yaw,height
// in seconds; the vehicle's specific force (m/s^2, what the core is given),
// its rates (deg/s) and its acceleration without gravity (m/s^2, as older
// tools read it); then the posture (deg, deg, deg, 0..1). Rows of postures
// the game chose itself leave the nine input fields empty.
// The first seven columns are a telemetry file that can be cued again
// (`karvel cue`, `karvel tune`); the time and the last four are a posture
// recording that can be replayed.
#pragma once

#include "SeatCoreApi.h"

#include <cstddef>
#include <fstream>
#include <string>

#include "CueingTypes.h"

namespace KarvelCueing {

class KARVELSEATCORE_API CueRecorder {
public:
    static constexpr const char* Header =
        "time,fx,fy,fz,roll_rate,pitch_rate,yaw_rate,ax,ay,az,pitch,roll,yaw,height";

    // Creates (or truncates) the file and writes the header; a file already
    // open is closed first. False with a message naming the path on failure.
    bool Open(const std::string& Path, std::string& Error);
    // In: what the core was given; Acceleration: the same motion without gravity.
    void WriteCued(double Time, const VehicleMotion& In, const Vec3& Acceleration, const SeatPose& Out);
    void WritePosture(double Time, const SeatPose& Out);
    void Close();
    bool IsOpen() const { return File.is_open(); }
    // True once a write failed (a full disk, say); the rows after it are lost.
    bool HadWriteError() const { return WriteError; }

private:
    void WriteRow(const char* Row, int Length, std::size_t Capacity);
    std::ofstream File;
    bool WriteError = false;
};

} // namespace KarvelCueing
