#include "TuneReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace karvel::cli {

namespace {

namespace eval = KarvelCueEvaluation;

constexpr int kPlotWidth = 960;
constexpr int kPlotHeight = 170;
constexpr int kMargin = 48;       // left, for the value labels
constexpr int kPlotPoints = 1200; // buckets along a plot; each gives its lowest and highest value

// Seconds of wrong-way cues above which a channel earns a hint: a twentieth of the ride.
constexpr double kFalseShareWorthAHint = 0.05;
constexpr double kLagGoalSeconds = 0.5;

std::string format(const char* pattern, double value) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// Units as a page shows them.
std::string htmlUnit(int channel) { return channel < eval::Roll ? "m/s&sup2;" : "deg/s"; }

std::string percent(double share) { return format("%.0f%%", 100 * share); }

// Indices of the samples to draw: the first, the last, and in each bucket its
// lowest and highest, in time order, so that no peak is lost.
std::vector<std::size_t> pointsToDraw(const std::vector<double>& values) {
    const std::size_t n = values.size();
    std::vector<std::size_t> points;
    if (n == 0) return points;
    const std::size_t bucket = std::max<std::size_t>(1, (n + kPlotPoints - 1) / kPlotPoints);
    for (std::size_t start = 0; start < n; start += bucket) {
        const std::size_t end = std::min(n, start + bucket);
        const auto [lo, hi] = std::minmax_element(values.begin() + static_cast<long>(start),
                                                  values.begin() + static_cast<long>(end));
        const std::size_t a = static_cast<std::size_t>(lo - values.begin());
        const std::size_t b = static_cast<std::size_t>(hi - values.begin());
        points.push_back(std::min(a, b));
        if (a != b) points.push_back(std::max(a, b));
    }
    if (points.back() != n - 1) points.push_back(n - 1);
    return points;
}

struct Frame {
    double seconds, top, bottom; // value range shown
    double x(double t) const { return kMargin + (kPlotWidth - kMargin - 24) * (seconds > 0 ? t / seconds : 0); }
    double y(double v) const { return 8 + (kPlotHeight - 30) * (top - v) / (top - bottom); }
};

std::string polyline(const Frame& f, const std::vector<double>& values, double dt, const char* colour) {
    std::string points;
    for (const std::size_t i : pointsToDraw(values)) {
        char xy[48];
        std::snprintf(xy, sizeof xy, "%.1f,%.1f ", f.x(static_cast<double>(i) * dt), f.y(values[i]));
        points += xy;
    }
    return "<polyline fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"1.3\" points=\"" + points +
           "\"/>";
}

std::string line(const Frame& f, double value, const char* colour, const char* dash) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "<line x1=\"%d\" x2=\"%d\" y1=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-dasharray=\"%s\"/>", kMargin,
                  kPlotWidth - 24, f.y(value), f.y(value), colour, dash);
    return text;
}

std::string label(double x, double y, const std::string& text, const char* anchor = "end") {
    char head[120];
    std::snprintf(head, sizeof head, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\">", x, y, anchor);
    return head + escape(text) + "</text>";
}

std::string timeAxis(const Frame& f) {
    static const double steps[] = {1, 2, 5, 10, 20, 30, 60, 120, 300, 600, 1200, 1800, 3600};
    double step = steps[0];
    for (const double s : steps)
        if (f.seconds / s <= 12) {
            step = s;
            break;
        }
    std::string out;
    for (double t = 0; t <= f.seconds + 1e-9; t += step)
        out += label(f.x(t), kPlotHeight - 6, format("%g s", t), "middle");
    return out;
}

std::string svgOpen() {
    char head[160];
    std::snprintf(head, sizeof head, "<svg viewBox=\"0 0 %d %d\" width=\"%d\" height=\"%d\" role=\"img\">", kPlotWidth,
                  kPlotHeight, kPlotWidth, kPlotHeight);
    return head;
}

// One channel: the vehicle's perceived signal, the seat's, the threshold band
// and the stretches where the seat's cue is the wrong way.
std::string channelPlot(const eval::Evaluation& e, int c) {
    const std::vector<double>& vehicle = e.Vehicle[c];
    const std::vector<double>& seat = e.Seat[c];
    const double threshold = eval::PerceptionThresholds()[c];
    double extent = 2 * threshold;
    for (std::size_t i = 0; i < vehicle.size(); ++i)
        extent = std::max({extent, std::abs(vehicle[i]), std::abs(seat[i])});
    extent *= 1.05;
    const Frame f{e.Dt * static_cast<double>(std::max<std::size_t>(vehicle.size(), 2) - 1), extent, -extent};

    std::string svg = svgOpen();
    // Wrong-way stretches first, under the curves.
    for (std::size_t i = 0; i < vehicle.size();) {
        if (!eval::IsFalseCue(vehicle[i], seat[i], threshold)) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < vehicle.size() && eval::IsFalseCue(vehicle[end], seat[end], threshold)) ++end;
        char rect[200];
        const double x0 = f.x(static_cast<double>(i) * e.Dt), x1 = f.x(static_cast<double>(end) * e.Dt);
        std::snprintf(rect, sizeof rect,
                      "<rect class=\"false\" x=\"%.1f\" y=\"8\" width=\"%.1f\" height=\"%d\"><title>wrong-way cue "
                      "%.2f-%.2f s</title></rect>",
                      x0, std::max(x1 - x0, 1.0), kPlotHeight - 30, static_cast<double>(i) * e.Dt,
                      static_cast<double>(end) * e.Dt);
        svg += rect;
        i = end;
    }
    char band[200];
    std::snprintf(band, sizeof band, "<rect class=\"band\" x=\"%d\" y=\"%.1f\" width=\"%d\" height=\"%.1f\"/>", kMargin,
                  f.y(threshold), kPlotWidth - kMargin - 24, f.y(-threshold) - f.y(threshold));
    svg += band;
    svg += line(f, 0, "#999", "none");
    svg += polyline(f, vehicle, e.Dt, "#2f6fb7");
    svg += polyline(f, seat, e.Dt, "#e07b20");
    svg += label(kMargin - 4, f.y(extent / 1.05) + 4, format("%.3g", extent / 1.05));
    svg += label(kMargin - 4, f.y(-extent / 1.05) + 4, format("%.3g", -extent / 1.05));
    svg += timeAxis(f);
    return svg + "</svg>";
}

// One posture axis with the limits the profile gives it.
std::string posturePlot(const eval::Evaluation& e, int axis, double lo, double hi) {
    std::vector<double> values;
    values.reserve(e.Postures.size());
    for (const KarvelCueing::SeatPose& p : e.Postures)
        values.push_back(axis == eval::PitchAxis ? p.Pitch
                         : axis == eval::RollAxis ? p.Roll
                         : axis == eval::YawAxis  ? p.Yaw
                                                  : p.Height);
    const double pad = 0.08 * (hi - lo > 0 ? hi - lo : 1);
    const Frame f{e.Dt * static_cast<double>(std::max<std::size_t>(values.size(), 2) - 1), hi + pad, lo - pad};
    std::string svg = svgOpen();
    svg += line(f, lo, "#c33", "5,4");
    svg += line(f, hi, "#c33", "5,4");
    svg += polyline(f, values, e.Dt, "#444");
    svg += label(kMargin - 4, f.y(hi) + 4, format("%.3g", hi));
    svg += label(kMargin - 4, f.y(lo) + 4, format("%.3g", lo));
    svg += timeAxis(f);
    return svg + "</svg>";
}

const char* const kPageStyle =
    "body{font-family:system-ui,sans-serif;margin:24px auto;max-width:1000px;color:#222}"
    "table{border-collapse:collapse;margin:8px 0 16px}td,th{padding:4px 10px;border-bottom:1px solid #ddd;"
    "text-align:right}th:first-child,td:first-child{text-align:left}.bad{color:#b22}.good{color:#287a2a}"
    "svg{display:block;margin:4px 0 18px;font-size:11px;fill:#555}.false{fill:#d33;opacity:.25}"
    ".band{fill:#000;opacity:.06}.key span{display:inline-block;width:22px;height:3px;margin:0 6px 3px 14px}"
    "h2{margin-top:28px}code{background:#f3f3f3;padding:1px 4px}";

} // namespace

std::vector<std::string> tuningHints(const eval::Evaluation& e, const KarvelCueing::CueingProfile& p) {
    std::vector<std::string> hints;
    const double seconds = e.Dt * static_cast<double>(e.Vehicle[0].size());
    const auto& m = e.Measures;
    for (const int c : {eval::Surge, eval::Sway})
        if (m[c].HasLag && m[c].LagSeconds > kLagGoalSeconds)
            hints.push_back(std::string("The ") + eval::ChannelName(c) + " cue comes " +
                            format("%.2f", m[c].LagSeconds) + " s late: raise TiltFrequency.");
    for (int c = 0; c < eval::ChannelCount; ++c) {
        if (m[c].FalseCueSeconds <= kFalseShareWorthAHint * seconds) continue;
        static const char* const remedies[] = {
            "lower TiltGain or raise TiltFrequency", "lower TiltGain or raise TiltFrequency",
            "raise HeaveWashout or lower HeaveGain", "lower RollRateGain or TiltGain, or raise RollWashout",
            "lower PitchRateGain or TiltGain, or raise PitchWashout", "lower YawRateGain or raise YawWashout"};
        hints.push_back(std::string("The rider feels the wrong way in ") + eval::ChannelName(c) + " for " +
                        format("%.1f", m[c].FalseCueSeconds) + " s: " + remedies[c] + ".");
    }
    for (const int c : {eval::Roll, eval::Pitch})
        if (m[c].Nrmse > 1)
            hints.push_back(std::string("The seat turns in ") + eval::ChannelName(c) +
                            " more than the vehicle does (nRMSE " + format("%.2f", m[c].Nrmse) +
                            "): lower TiltGain or " + (c == eval::Roll ? "RollRateGain." : "PitchRateGain."));
    if (e.RangeShare[eval::YawAxis] > 0.98)
        hints.push_back("The turntable reaches the ends of its range: widen YawLimit, raise YawWashout or lower "
                        "YawRateGain.");
    else if (e.RangeShare[eval::YawAxis] < 0.3 && m[eval::Yaw].Nrmse > 0.6 && m[eval::Yaw].VehicleRms > 3)
        hints.push_back("The turntable uses " + percent(e.RangeShare[eval::YawAxis]) +
                        " of its range: raise YawRateGain or lower YawWashout.");
    if (e.RangeShare[eval::HeightAxis] > 0.98)
        hints.push_back("The height reaches the ends of its range: lower HeaveGain or raise HeaveWashout.");
    else if (e.RangeShare[eval::HeightAxis] < 0.3 && m[eval::Heave].Nrmse > 0.6 && m[eval::Heave].VehicleRms > 0.3)
        hints.push_back("The seat uses " + percent(e.RangeShare[eval::HeightAxis]) +
                        " of its stroke: raise HeaveGain (or HeightAcceleration, if the stroke allows).");
    if (p.TiltLimit > 0 && (e.RangeShare[eval::PitchAxis] > 0.98 || e.RangeShare[eval::RollAxis] > 0.98))
        hints.push_back("Pitch or roll reaches its limit: lower TiltGain.");
    return hints;
}

std::string renderTuneReport(const TuneSubject& s, const eval::Evaluation& e) {
    const double seconds = e.Dt * static_cast<double>(e.Vehicle[0].size() > 0 ? e.Vehicle[0].size() - 1 : 0);
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>karvel tune: " +
                       escape(s.telemetryName) + "</title><style>" + kPageStyle + "</style></head><body>\n";
    html += "<h1>What a rider feels: " + escape(s.telemetryName) + "</h1>\n<p>Profile <code>" +
            escape(s.profileName) + "</code>, seat " + escape(s.seatName) + " (" +
            format("%.0f", s.strokeMetres * 1000) + " mm stroke), " + format("%.1f", seconds) + " s cued at " +
            format("%.0f", 1 / e.Dt) + " Hz. Mean nRMSE <b>" + format("%.3f", e.MeanNrmse()) +
            "</b>; wrong-way cues " + format("%.1f", e.FalseCueSeconds()) + " s in all channels.</p>\n";
    html += "<p>Each channel is what the inner ear perceives (the otolith and semicircular-canal models of Telban "
            "and Cardullo, 2005): in the vehicle (blue) and in the seat (orange). <b>nRMSE</b> is the RMS of their "
            "difference over the larger of the vehicle's RMS and the perception threshold: 0 is a perfect cue, 1 "
            "is what a seat that stays still scores, above 1 is worse than staying still. <b>Lag</b> is how late "
            "the seat's cue matches the vehicle's best; a <b>wrong-way cue</b> (red) is the seat felt beyond the "
            "threshold (grey band) opposite to the vehicle.</p>\n";

    html += "<h2>Measures</h2>\n<table><tr><th>Channel</th><th>nRMSE</th><th>Correlation</th><th>Lag</th>"
            "<th>Wrong-way cues</th><th>Vehicle RMS</th><th>Seat RMS</th><th>Threshold</th></tr>\n";
    for (int c = 0; c < eval::ChannelCount; ++c) {
        const eval::ChannelMeasures& m = e.Measures[c];
        const std::string unit = htmlUnit(c);
        html += std::string("<tr><td>") + eval::ChannelName(c) + "</td><td class=\"" +
                (m.Nrmse < 0.8 ? "good" : m.Nrmse > 1 ? "bad" : "") + "\">" + format("%.3f", m.Nrmse) + "</td><td>" +
                format("%.2f", m.Correlation) + "</td><td>" + (m.HasLag ? format("%.2f s", m.LagSeconds) : "-") +
                "</td><td" + (m.FalseCueSeconds > kFalseShareWorthAHint * seconds ? " class=\"bad\"" : "") + ">" +
                format("%.1f s", m.FalseCueSeconds) + "</td><td>" + format("%.3g ", m.VehicleRms) + unit +
                "</td><td>" + format("%.3g ", m.SeatRms) + unit + "</td><td>" +
                format("%.3g ", eval::PerceptionThresholds()[c]) + unit + "</td></tr>\n";
    }
    html += "</table>\n";

    const KarvelCueing::CueingProfile& p = s.profile;
    const double limits[eval::PostureAxisCount][2] = {
        {-p.PitchLimit, p.PitchLimit}, {-p.RollLimit, p.RollLimit}, {-p.YawLimit, p.YawLimit},
        {p.HeightMin, p.HeightMax}};
    html += "<h2>Range used</h2>\n<table><tr><th>Axis</th><th>Share of the profile's range</th><th>Range</th></tr>\n";
    for (int a = 0; a < eval::PostureAxisCount; ++a)
        html += std::string("<tr><td>") + eval::PostureAxisName(a) + "</td><td>" + percent(e.RangeShare[a]) +
                "</td><td>" + format("%g", limits[a][0]) + " to " + format("%g", limits[a][1]) +
                (a == eval::HeightAxis ? "" : " deg") + "</td></tr>\n";
    html += "</table>\n<h2>What to change</h2>\n<ul>\n";
    const std::vector<std::string> hints = tuningHints(e, p);
    if (hints.empty()) html += "<li>Nothing stands out: compare the presets to taste.</li>\n";
    for (const std::string& hint : hints) html += "<li>" + escape(hint) + "</li>\n";
    html += "</ul>\n";

    html += "<h2>Perceived, channel by channel</h2>\n<p class=\"key\"><span style=\"background:#2f6fb7\"></span>"
            "vehicle<span style=\"background:#e07b20\"></span>seat<span style=\"background:#f3b4b4;height:10px\">"
            "</span>wrong-way cue</p>\n";
    for (int c = 0; c < eval::ChannelCount; ++c)
        html += std::string("<h3>") + eval::ChannelName(c) + " (" + htmlUnit(c) + "): nRMSE " +
                format("%.3f", e.Measures[c].Nrmse) + "</h3>\n" + channelPlot(e, c) + "\n";
    html += "<h2>The seat's posture</h2>\n<p>Dashed: the profile's limits.</p>\n";
    for (int a = 0; a < eval::PostureAxisCount; ++a)
        html += std::string("<h3>") + eval::PostureAxisName(a) + (a == eval::HeightAxis ? "" : " (deg)") + ": " +
                percent(e.RangeShare[a]) + " of the range</h3>\n" + posturePlot(e, a, limits[a][0], limits[a][1]) +
                "\n";
    return html + "</body></html>\n";
}

} // namespace karvel::cli
