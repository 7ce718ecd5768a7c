// What a guard knows of the seat it watches, and the lines that carry it: from a host to its guard (karvel-guard)
// over the guard's standard input, and in the guard's state file, which holds the same lines.
//
//   karvel-guard 1                                           the format and its version; first on the channel
//   host 4242 karvel                                         the host's process id and name
//   seat 1 127.0.0.1 7408 1 127.0.0.1 8234 127.0.0.1 8235    what the library was configured with: model code, motion
//                                                            target, effects 0/1, relay board, fan speed controller
//                                                            ("-" for an address the library did not get)
//   envelope PitchLimit=15 PitchVelocity=30 ...              the cueing profile whose limits a park keeps to
//   posture 6.7 0 40 0.5                                     the last posture sent: pitch, roll, yaw, height
//   effects 3 2 0 1                                          wind, water mist, scent, heater in force
//   release                                                  the host released the seat: nothing to park
//   phase parked 2024-05-01 12:00:00 ...                     (state file) what the guard last did, and when
//
// One line each, ASCII, ending in '\n'; numbers are written with a '.' whatever the process's locale. A posture line
// is about 30 bytes, so a host may send one per frame.
#pragma once

#include "SeatCoreApi.h"

#include <string>
#include <string_view>

#include "MotionCueing/CueingProfile.h"
#include "SeatHost/EffectLevels.h"
#include "SeatHost/PostureEnvelope.h"
#include "SeatModels/SeatModel.h"

namespace KarvelSeat {

// A seat configuration as the library took it (effects off: both addresses empty).
struct GuardedSeat {
    int Model = 0;
    std::string UdpIp;
    int UdpPort = 7408;
    bool bEffects = false;
    std::string RelayIp;
    int RelayPort = 8234;
    std::string SpeedIp;
    int SpeedPort = 8234;
};

struct WatchedSeat {
    int HostPid = 0;
    std::string HostName;
    bool bSeatKnown = false;
    GuardedSeat Seat;
    KarvelCueing::CueingProfile Envelope = PostureEnvelope(); // until the host names one
    bool bPostureKnown = false;
    Posture LastPosture;
    EffectLevels Effects;
    bool bReleased = false;
    std::string Phase; // the state file's phase line, without "phase "
};

// Each line as written, '\n' included.
KARVELSEATCORE_API std::string HelloLine();
KARVELSEATCORE_API std::string HostLine(int Pid, std::string_view Name);
KARVELSEATCORE_API std::string SeatLine(const GuardedSeat& Seat);
KARVELSEATCORE_API std::string EnvelopeLine(const KarvelCueing::CueingProfile& Profile);
KARVELSEATCORE_API std::string PostureLine(const Posture& Sent);
KARVELSEATCORE_API std::string EffectsLine(const EffectLevels& InForce);
KARVELSEATCORE_API std::string ReleaseLine();
KARVELSEATCORE_API std::string PhaseLine(std::string_view Text);

// Applies one line (with or without its '\n') to State. False, with State unchanged and Error saying why, for a
// line that is not understood: an unknown word, a missing or malformed value, an envelope the cueing core refuses,
// another version of the format. Blank lines are accepted and change nothing.
KARVELSEATCORE_API bool ApplyGuardLine(WatchedSeat& State, std::string_view Line, std::string& Error);

// Every line that describes State, version first: what a state file holds, and what a new guard is told.
KARVELSEATCORE_API std::string FormatWatchedSeat(const WatchedSeat& State);

} // namespace KarvelSeat
