// What the library said about each effects device while karvel ran (read from
// its log lines): whether the device answered to the end, and the first line
// that told of a failure. The end of a ride and `karvel check` report from it.
#pragma once

#include <array>
#include <mutex>
#include <string>

#include "LibraryLines.h"

namespace karvel::cli {

struct DeviceReport {
    tools::DeviceNews latest = tools::DeviceNews::None; // None: the library said nothing of it
    bool failed = false;                                // not answering, or refusing, at some time
    std::string firstFailure;                           // that line, without its level tag
    bool answering() const { return latest == tools::DeviceNews::Answers; }
};
using DeviceReports = std::array<DeviceReport, tools::kEffectsDevices>;

// Thread-safe: the library writes from its workers.
class DeviceWatch {
public:
    void note(const char* line);
    DeviceReports reports() const;

private:
    mutable std::mutex mutex_;
    DeviceReports reports_;
};

// The end line's words on the effects after they were turned off: ", effects
// off" when both devices answered to the end, else which did not.
std::string effectsEnding(const DeviceReports& reports);

} // namespace karvel::cli
