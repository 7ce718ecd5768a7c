#include "StateJson.h"

#include <cstdio>

namespace karvel::sim {

namespace {

nlohmann::json deviceJson(const DeviceState& device) {
    return {{"connections", device.connections}, {"clients", device.clients}, {"requests", device.requests},
            {"malformed", device.malformed},     {"ignored", device.ignored}, {"lastFault", device.lastFault},
            {"coils", device.coils},             {"registers", device.registers}};
}

nlohmann::json ratesJson(const AxisRates& rates) {
    return {{"pitch", rates.pitch}, {"roll", rates.roll}, {"yaw", rates.yaw}, {"height", rates.height}};
}

nlohmann::json motionJson(const MotionState& motion) {
    const DecodedPosture& posture = motion.posture;
    nlohmann::json json = {
        {"frames", motion.frames},
        {"malformed", motion.malformed()},
        {"wrongLength", motion.wrongLength},
        {"badStart", motion.badStart},
        {"badEnd", motion.badEnd},
        {"lastFault", motion.lastFault},
        {"framesPerSecond", motion.framesPerSecond},
        {"received", motion.received},
        {"playTime", motion.last.playTime},
        {"targets", {{"x", motion.last.targets.x}, {"y", motion.last.targets.y}, {"z", motion.last.targets.z},
                     {"u", motion.last.targets.u}, {"v", motion.last.v}, {"w", motion.last.w}}},
        {"axes", {posture.axis[0], posture.axis[1], posture.axis[2]}},
        {"posture", {{"pitch", posture.pitch}, {"roll", posture.roll}, {"yaw", posture.yaw}, {"height", posture.height}}},
        {"ambiguity", posture.ambiguity},
        {"rates", ratesJson(motion.rates.current)},
        {"envelope",
         {{"limits", ratesJson(motion.rates.limits)},
          {"peak", ratesJson(motion.rates.peak)},
          {"flagged", motion.rates.flagged},
          {"lastFlag", motion.rates.lastFlag}}}};
    return json;
}

} // namespace

nlohmann::json toJson(const SimSnapshot& snapshot) {
    const EffectsState& effects = snapshot.effects;
    return {{"version", snapshot.version},
            {"model", snapshot.model},
            {"stroke", snapshot.stroke},
            {"address", snapshot.address},
            {"session",
             {{"number", snapshot.session.number},
              {"seconds", snapshot.session.seconds},
              {"cause", snapshot.session.cause}}},
            {"ports",
             {{"motion", snapshot.ports.motion}, {"relay", snapshot.ports.relay}, {"speed", snapshot.ports.speed},
              {"http", snapshot.ports.http}}},
            {"motion", motionJson(snapshot.motion)},
            {"relay", deviceJson(snapshot.relay)},
            {"speed", deviceJson(snapshot.speed)},
            {"effects",
             {{"fanSpeed", effects.fanSpeed},
              {"wind", effects.windLevel},
              {"windName", windName(effects.windLevel)},
              {"mist", effects.mistLevel},
              {"mistName", mistName(effects.mistLevel)},
              {"scent", effects.scentLevel},
              {"scentName", scentName(effects.scentLevel)},
              {"heater", effects.heater}}}};
}

std::string summaryText(const SimSnapshot& snapshot) {
    const MotionState& motion = snapshot.motion;
    const EffectsState& effects = snapshot.effects;
    char text[640];
    std::snprintf(text, sizeof text,
                  "virtual seat (%s): %llu frames received, %llu malformed\n"
                  "  last posture: pitch %.2f, roll %.2f, yaw %.2f, height %.3f%s\n"
                  "  relay board: %llu requests, %llu malformed; fan speed controller: %llu requests, %llu malformed\n"
                  "  effects: fan %d (%s), water mist %s, scent %s, heater %s\n",
                  snapshot.model.c_str(), static_cast<unsigned long long>(motion.frames),
                  static_cast<unsigned long long>(motion.malformed()), motion.posture.pitch, motion.posture.roll,
                  motion.posture.yaw, motion.posture.height, motion.received ? "" : " (no frame yet)",
                  static_cast<unsigned long long>(snapshot.relay.requests),
                  static_cast<unsigned long long>(snapshot.relay.malformed),
                  static_cast<unsigned long long>(snapshot.speed.requests),
                  static_cast<unsigned long long>(snapshot.speed.malformed), effects.fanSpeed,
                  windName(effects.windLevel), mistName(effects.mistLevel), scentName(effects.scentLevel),
                  effects.heater ? "on" : "off");
    const RateReport& rates = motion.rates;
    char line[320];
    std::snprintf(line, sizeof line,
                  "  rates: peak pitch %.1f, roll %.1f, yaw %.1f deg/s, height %.2f/s; %llu frames beyond the limits "
                  "(%.0f, %.0f, %.0f deg/s, %.2f/s)\n",
                  rates.peak.pitch, rates.peak.roll, rates.peak.yaw, rates.peak.height,
                  static_cast<unsigned long long>(rates.flagged), rates.limits.pitch, rates.limits.roll,
                  rates.limits.yaw, rates.limits.height);
    std::string result = std::string(text) + line;
    std::snprintf(line, sizeof line, "  session %llu (%s), %.1f s\n",
                  static_cast<unsigned long long>(snapshot.session.number), snapshot.session.cause.c_str(),
                  snapshot.session.seconds);
    result += line;
    if (!rates.lastFlag.empty()) result += "  last beyond the limits: " + rates.lastFlag + "\n";
    return result;
}

} // namespace karvel::sim
