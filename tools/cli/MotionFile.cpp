#include "MotionFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "SeatSession.h"

namespace karvel::cli {

namespace {

const char* const kPostureColumns[] = {"time", "pitch", "roll", "yaw", "height"};
const std::map<std::string, int> kEffectColumns = {{"wind", 3}, {"mist", 3}, {"scent", 2}, {"heater", 1}};

std::vector<std::string> cells(const std::string& line) {
    std::vector<std::string> result;
    std::stringstream stream(line);
    for (std::string cell; std::getline(stream, cell, ',');) {
        const auto first = cell.find_first_not_of(" \t\r");
        const auto last = cell.find_last_not_of(" \t\r");
        result.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
    }
    if (!line.empty() && line.back() == ',') result.emplace_back();
    return result;
}

bool skipped(const std::string& line) {
    const auto first = line.find_first_not_of(" \t\r");
    return first == std::string::npos || line[first] == '#';
}

} // namespace

MotionFile loadMotionFile(const std::string& path) {
    std::ifstream input(path);
    if (!input) throw UsageError("cannot open the motion file " + path);
    std::string line;
    int number = 0;
    const auto fail = [&](const std::string& what) {
        throw UsageError(path + ":" + std::to_string(number) + ": " + what);
    };

    std::vector<std::string> header;
    while (header.empty() && std::getline(input, line)) {
        ++number;
        if (!skipped(line)) header = cells(line);
    }
    if (header.empty()) fail("no header line (time,pitch,roll,yaw,height)");
    // Where each value goes: 0..4 the posture columns, 5.. the effect tracks.
    MotionFile file;
    std::vector<int> slot(header.size(), -1);
    for (std::size_t i = 0; i < header.size(); ++i) {
        const auto posture = std::find(std::begin(kPostureColumns), std::end(kPostureColumns), header[i]);
        if (posture != std::end(kPostureColumns)) {
            slot[i] = static_cast<int>(posture - std::begin(kPostureColumns));
        } else if (kEffectColumns.count(header[i]) != 0) {
            slot[i] = 5 + static_cast<int>(file.effects.size());
            file.effects.push_back({header[i], {}});
        } else {
            fail("unknown column '" + header[i] + "'");
        }
        if (std::count(header.begin(), header.end(), header[i]) > 1) fail("column '" + header[i] + "' twice");
    }
    for (const char* required : kPostureColumns)
        if (std::find(header.begin(), header.end(), required) == header.end())
            fail(std::string("the header lacks the column '") + required + "'");

    while (std::getline(input, line)) {
        ++number;
        if (skipped(line)) continue;
        const std::vector<std::string> values = cells(line);
        if (values.size() != header.size())
            fail("expected " + std::to_string(header.size()) + " values, found " + std::to_string(values.size()));
        double posture[5] = {};
        for (std::size_t i = 0; i < values.size(); ++i) {
            char* end = nullptr;
            const double value = std::strtod(values[i].c_str(), &end);
            if (values[i].empty() || *end != '\0' || !std::isfinite(value))
                fail(header[i] + " '" + values[i] + "' is not a number");
            if (slot[i] < 5) {
                posture[slot[i]] = value;
                continue;
            }
            EffectTrack& track = file.effects[static_cast<std::size_t>(slot[i] - 5)];
            if (value != std::floor(value) || value < 0 || value > kEffectColumns.at(track.name))
                fail(track.name + " '" + values[i] + "' is not a level of 0.." +
                     std::to_string(kEffectColumns.at(track.name)));
            track.levels.push_back(static_cast<int>(value));
        }
        if (!file.samples.empty() && posture[0] < file.samples.back().time) fail("time goes backwards");
        file.samples.push_back({posture[0], static_cast<float>(posture[1]), static_cast<float>(posture[2]),
                                static_cast<float>(posture[3]), static_cast<float>(posture[4])});
    }
    if (file.samples.empty()) fail("no data rows");
    return file;
}

std::size_t rowAt(const MotionFile& file, double time) {
    const auto after = std::upper_bound(file.samples.begin(), file.samples.end(), time,
                                        [](double t, const MotionSample& sample) { return t < sample.time; });
    return after == file.samples.begin() ? 0 : static_cast<std::size_t>(after - file.samples.begin() - 1);
}

MotionSample postureAt(const MotionFile& file, double time) {
    const std::size_t row = rowAt(file, time);
    const MotionSample& a = file.samples[row];
    if (row + 1 >= file.samples.size() || file.samples[row + 1].time <= a.time) return a;
    const MotionSample& b = file.samples[row + 1];
    const float share = static_cast<float>(std::clamp((time - a.time) / (b.time - a.time), 0.0, 1.0));
    const auto mix = [share](float from, float to) { return from + (to - from) * share; };
    return {time, mix(a.pitch, b.pitch), mix(a.roll, b.roll), mix(a.yaw, b.yaw), mix(a.height, b.height)};
}

} // namespace karvel::cli
