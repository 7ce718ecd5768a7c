#include "TelemetryFile.h"

#include "CsvReader.h"
#include "TimeSeries.h"

namespace karvel::cli {

namespace {
const char* const kMotionColumns[] = {"ax", "ay", "az", "roll_rate", "pitch_rate", "yaw_rate"};
} // namespace

TelemetryFile loadTelemetryFile(const std::string& path, const CsvReader::ReadProgress& progress) {
    CsvReader reader(path, "telemetry file", progress);
    const std::vector<std::string> header = reader.header("time,ax,ay,az,roll_rate,pitch_rate,yaw_rate");
    const std::size_t timeColumn = requireColumn(reader, header, "time");
    std::array<std::size_t, 6> column{};
    for (std::size_t i = 0; i < column.size(); ++i) column[i] = requireColumn(reader, header, kMotionColumns[i]);

    TelemetryFile file;
    for (std::vector<std::string> row; reader.nextRow(row);) {
        TelemetrySample sample;
        sample.time = reader.number("time", row[timeColumn]);
        for (std::size_t i = 0; i < column.size(); ++i) sample.motion[i] = reader.number(kMotionColumns[i], row[column[i]]);
        if (!file.samples.empty() && sample.time < file.samples.back().time) reader.fail("time goes backwards");
        file.samples.push_back(sample);
    }
    if (file.samples.empty()) reader.fail("no data rows");
    return file;
}

TelemetrySample telemetryAt(const TelemetryFile& file, double time) {
    const RowShare at = rowShareAt(file.samples, time);
    TelemetrySample result = file.samples[at.row];
    result.time = time;
    if (at.share == 0) return result;
    const TelemetrySample& next = file.samples[at.row + 1];
    for (std::size_t i = 0; i < result.motion.size(); ++i)
        result.motion[i] += (next.motion[i] - result.motion[i]) * at.share;
    return result;
}

} // namespace karvel::cli
