// What the virtual seat shows: one consistent copy of its state, taken under
// the owners' locks and handed to the web view, the tests and the summary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MotionFrame.h"
#include "RateWatch.h"
#include "SeatInverse.h"

namespace karvel::sim {

struct MotionState {
    std::uint64_t frames = 0;
    std::uint64_t wrongLength = 0, badStart = 0, badEnd = 0;
    double framesPerSecond = 0;
    bool received = false; // a good frame has arrived
    MotionFrame last;
    DecodedPosture posture;
    std::string lastFault; // of the latest malformed datagram
    RateReport rates;      // how fast the posture moves, and frames beyond the limits

    std::uint64_t malformed() const { return wrongLength + badStart + badEnd; }
};

struct DeviceState {
    std::uint64_t connections = 0; // accepted so far
    int clients = 0;               // connected now
    std::uint64_t requests = 0;    // well-formed requests answered
    std::uint64_t malformed = 0;   // frames dropped as broken
    std::uint64_t ignored = 0;     // well-formed, for another slave
    std::string lastFault;         // why the latest malformed frame was dropped
    std::vector<bool> coils;
    std::vector<std::uint16_t> registers;
};

// The effects as the device outputs stand; -1 where the outputs form no level.
struct EffectsState {
    int fanSpeed = 0;
    int windLevel = 0;
    int mistLevel = 0;
    int scentLevel = 0;
    bool heater = false;
};

struct Ports {
    int motion = 0, relay = 0, speed = 0, http = 0;
};

// The session the counters belong to (see SessionClock).
struct SessionState {
    std::uint64_t number = 1;
    double seconds = 0; // since it started
    std::string cause;  // why it started
};

struct SimSnapshot {
    std::uint64_t version = 0; // grows with every change
    std::string model;
    int stroke = 0; // pulses from the bottom to the top of a support axis's stroke, the model's
    std::string address; // the one all devices listen on
    Ports ports;
    SessionState session;
    MotionState motion;
    DeviceState relay, speed;
    EffectsState effects;
};

// Reads the effect levels off the relay coils and the fan speed register.
EffectsState effectsFrom(const DeviceState& relay, const DeviceState& speed);

const char* windName(int level);
const char* mistName(int level);
const char* scentName(int level);

} // namespace karvel::sim
