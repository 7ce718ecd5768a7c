#include "TelemetryFile.h"

#include <algorithm>
#include <optional>

#include "CsvReader.h"
#include "MotionCueing.h"
#include "TimeSeries.h"

namespace karvel::cli {

namespace {

using Columns = std::array<std::optional<std::size_t>, 3>;

Columns findColumns(const CsvReader& reader, const std::vector<std::string>& header,
                    const std::array<const char*, 3>& names) {
    return {findColumn(reader, header, names[0]), findColumn(reader, header, names[1]),
            findColumn(reader, header, names[2])};
}

bool complete(const Columns& columns) {
    return columns[0] && columns[1] && columns[2];
}

bool any(const Columns& columns) {
    return columns[0] || columns[1] || columns[2];
}

// The three columns of a group the file must have all of.
std::array<std::size_t, 3> requireAll(const CsvReader& reader, const std::vector<std::string>& header,
                                      const std::array<const char*, 3>& names) {
    return {requireColumn(reader, header, names[0]), requireColumn(reader, header, names[1]),
            requireColumn(reader, header, names[2])};
}

struct Layout {
    std::size_t time = 0;
    std::optional<std::array<std::size_t, 3>> force, acceleration;
    std::array<std::size_t, 3> rates{};
    std::optional<std::size_t> roll, pitch; // the vehicle's attitude
    std::vector<std::size_t> motion;        // every column the motion is read from
};

Layout layoutOf(const CsvReader& reader, const std::vector<std::string>& header) {
    static const std::array<const char*, 3> forceNames = {"fx", "fy", "fz"};
    static const std::array<const char*, 3> accelerationNames = {"ax", "ay", "az"};
    static const std::array<const char*, 3> rateNames = {"roll_rate", "pitch_rate", "yaw_rate"};
    Layout layout;
    layout.time = requireColumn(reader, header, "time");
    const Columns force = findColumns(reader, header, forceNames);
    const Columns acceleration = findColumns(reader, header, accelerationNames);
    if (any(force)) layout.force = requireAll(reader, header, forceNames);
    if (!layout.force && !any(acceleration))
        reader.fail("the header has neither fx,fy,fz (specific force) nor ax,ay,az (acceleration without gravity)");
    if (!layout.force || complete(acceleration)) layout.acceleration = requireAll(reader, header, accelerationNames);
    layout.rates = requireAll(reader, header, rateNames);
    // A recording's roll and pitch are the seat's: it has a height column too.
    if (!findColumn(reader, header, "height")) {
        layout.roll = findColumn(reader, header, "roll");
        layout.pitch = findColumn(reader, header, "pitch");
        if (layout.roll.has_value() != layout.pitch.has_value())
            reader.fail(std::string("the attitude needs both roll and pitch; the header has only ") +
                        (layout.roll ? "roll" : "pitch"));
    }
    for (const auto& group : {layout.force, layout.acceleration})
        if (group) layout.motion.insert(layout.motion.end(), group->begin(), group->end());
    layout.motion.insert(layout.motion.end(), layout.rates.begin(), layout.rates.end());
    if (layout.roll && !layout.force) layout.motion.insert(layout.motion.end(), {*layout.roll, *layout.pitch});
    return layout;
}

std::array<double, 3> numbers(const CsvReader& reader, const std::vector<std::string>& header,
                              const std::vector<std::string>& row, const std::array<std::size_t, 3>& columns) {
    return {reader.number(header[columns[0]], row[columns[0]]), reader.number(header[columns[1]], row[columns[1]]),
            reader.number(header[columns[2]], row[columns[2]])};
}

} // namespace

TelemetryFile loadTelemetryFile(const std::string& path, const CsvReader::ReadProgress& progress) {
    CsvReader reader(path, "telemetry file", progress);
    const std::vector<std::string> header = reader.header("time,fx,fy,fz,roll_rate,pitch_rate,yaw_rate");
    const Layout layout = layoutOf(reader, header);

    TelemetryFile file;
    file.hasAcceleration = layout.acceleration.has_value();
    for (std::vector<std::string> row; reader.nextRow(row);) {
        if (std::all_of(layout.motion.begin(), layout.motion.end(), [&](std::size_t c) { return row[c].empty(); }))
            continue; // a posture the game sent itself
        TelemetrySample sample;
        sample.time = reader.number("time", row[layout.time]);
        sample.rates = numbers(reader, header, row, layout.rates);
        if (layout.acceleration) sample.acceleration = numbers(reader, header, row, *layout.acceleration);
        if (layout.force) {
            sample.force = numbers(reader, header, row, *layout.force);
        } else {
            const double roll = layout.roll ? reader.number("roll", row[*layout.roll]) : 0.0;
            const double pitch = layout.pitch ? reader.number("pitch", row[*layout.pitch]) : 0.0;
            const KarvelCueing::Vec3 gravity = KarvelCueing::GravityFelt(roll, pitch);
            sample.force = {sample.acceleration[0] + gravity.X, sample.acceleration[1] + gravity.Y,
                            sample.acceleration[2] + gravity.Z};
        }
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
    const auto blend = [&](std::array<double, 3>& value, const std::array<double, 3>& to) {
        for (std::size_t i = 0; i < value.size(); ++i) value[i] += (to[i] - value[i]) * at.share;
    };
    blend(result.force, next.force);
    blend(result.rates, next.rates);
    blend(result.acceleration, next.acceleration);
    return result;
}

} // namespace karvel::cli

namespace karvel::cli {

KarvelCueEvaluation::Ride rideOf(const TelemetryFile& file, double rateHz, const std::string& name) {
    KarvelCueEvaluation::Ride ride;
    ride.Name = name;
    ride.Dt = 1.0 / rateHz;
    const double start = file.samples.front().time;
    // Steps at 0, dt, ... up to and including the last row, as `cue` streams them.
    const auto steps = static_cast<std::size_t>(std::floor(file.duration() * rateHz + 1e-9)) + 1;
    ride.Samples.reserve(steps);
    for (std::size_t i = 0; i < steps; ++i) {
        const TelemetrySample at = telemetryAt(file, start + static_cast<double>(i) * ride.Dt);
        ride.Samples.push_back({at.force, at.rates});
    }
    return ride;
}

} // namespace karvel::cli
