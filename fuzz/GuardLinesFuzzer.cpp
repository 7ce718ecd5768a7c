// The lines a guard reads from its host and from its state file (which anyone
// may edit): any bytes, line by line. Reading never crashes; whatever a line
// leaves in the state is written back as lines that read to the same state;
// a posture read is finite and an envelope read is one the cueing core takes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "MotionCueing.h"
#include "SeatGuard/WatchedSeat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    KarvelSeat::WatchedSeat state;
    std::string error;
    for (std::size_t start = 0; start <= all.size();) {
        const std::size_t end = all.find('\n', start);
        const std::string_view line = all.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        KarvelSeat::ApplyGuardLine(state, line, error);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    const KarvelSeat::Posture& p = state.LastPosture;
    if (!std::isfinite(p.Pitch) || !std::isfinite(p.Roll) || !std::isfinite(p.Yaw) || !std::isfinite(p.Height)) std::abort();
    if (!KarvelCueing::ValidateProfile(state.Envelope).empty()) std::abort();

    const std::string written = KarvelSeat::FormatWatchedSeat(state);
    KarvelSeat::WatchedSeat again;
    for (std::size_t start = 0; start < written.size();) {
        const std::size_t end = written.find('\n', start);
        if (!KarvelSeat::ApplyGuardLine(again, std::string_view(written).substr(start, end - start), error)) std::abort();
        start = end + 1;
    }
    if (KarvelSeat::FormatWatchedSeat(again) != written) std::abort();
    return 0;
}
