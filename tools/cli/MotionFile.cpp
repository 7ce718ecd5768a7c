#include "MotionFile.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "CsvReader.h"
#include "TimeSeries.h"

namespace karvel::cli {

namespace {

const char* const kPostureColumns[] = {"time", "pitch", "roll", "yaw", "height"};
const std::map<std::string, int> kEffectColumns = {{"wind", 3}, {"mist", 3}, {"scent", 2}, {"heater", 1}};
// A cueing recording's input columns: the vehicle's motion that gave each
// posture (empty where the game sent the posture itself). Replay skips them.
const char* const kRecordingInputColumns[] = {"fx", "fy", "fz", "ax", "ay", "az", "roll_rate", "pitch_rate", "yaw_rate"};

bool recordingInput(const std::string& name) {
    for (const char* column : kRecordingInputColumns)
        if (name == column) return true;
    return false;
}

} // namespace

MotionFile loadMotionFile(const std::string& path, const CsvReader::ReadProgress& progress) {
    CsvReader reader(path, "motion file", progress);
    const std::vector<std::string> header = reader.header("time,pitch,roll,yaw,height");
    std::size_t posture[5];
    for (std::size_t i = 0; i < 5; ++i) posture[i] = requireColumn(reader, header, kPostureColumns[i]);
    MotionFile file;
    std::vector<std::size_t> effectColumn; // the column of each effect track
    for (std::size_t column = 0; column < header.size(); ++column) {
        const std::string& name = header[column];
        findColumn(reader, header, name); // fails for a column named twice
        if (kEffectColumns.count(name) != 0) {
            effectColumn.push_back(column);
            file.effects.push_back({name, {}});
        } else if (std::find(std::begin(kPostureColumns), std::end(kPostureColumns), name) ==
                       std::end(kPostureColumns) &&
                   !recordingInput(name)) {
            reader.fail("unknown column '" + reader.writtenName(column) +
                        "': a motion file has time, pitch, roll, yaw, height and may have wind, mist, scent, heater");
        }
    }

    for (std::vector<std::string> row; reader.nextRow(row);) {
        double values[5];
        for (std::size_t i = 0; i < 5; ++i) values[i] = reader.number(kPostureColumns[i], row[posture[i]]);
        for (std::size_t i = 0; i < file.effects.size(); ++i) {
            EffectTrack& track = file.effects[i];
            const std::string& cell = row[effectColumn[i]];
            const double level = reader.number(track.name, cell);
            const int highest = kEffectColumns.at(track.name);
            if (level != std::floor(level) || level < 0 || level > highest)
                reader.fail(track.name + " '" + cell + "' is not a level of 0.." + std::to_string(highest));
            track.levels.push_back(static_cast<int>(level));
        }
        if (!file.samples.empty() && values[0] < file.samples.back().time) reader.fail("time goes backwards");
        file.samples.push_back({values[0], static_cast<float>(values[1]), static_cast<float>(values[2]),
                                static_cast<float>(values[3]), static_cast<float>(values[4])});
    }
    if (file.samples.empty()) reader.fail("no data rows");
    return file;
}

std::size_t rowAt(const MotionFile& file, double time) { return rowShareAt(file.samples, time).row; }

MotionSample postureAt(const MotionFile& file, double time) {
    const RowShare at = rowShareAt(file.samples, time);
    const MotionSample& a = file.samples[at.row];
    if (at.share == 0) return a;
    const MotionSample& b = file.samples[at.row + 1];
    const auto share = static_cast<float>(at.share);
    const auto mix = [share](float from, float to) { return from + (to - from) * share; };
    return {time, mix(a.pitch, b.pitch), mix(a.roll, b.roll), mix(a.yaw, b.yaw), mix(a.height, b.height)};
}

} // namespace karvel::cli
