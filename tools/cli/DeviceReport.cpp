#include "DeviceReport.h"

namespace karvel::cli {

using tools::DeviceNews;

namespace {
// "[Ridova][ERROR] text" as "text".
std::string withoutTags(std::string line) {
    std::string::size_type start = 0;
    while (start < line.size() && line[start] == '[') {
        const std::string::size_type end = line.find(']', start);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (start < line.size() && line[start] == ' ') ++start;
    return line.substr(start);
}
} // namespace

void DeviceWatch::note(const char* line) {
    const tools::EffectsDevicesNews news = tools::effectsDevicesNews(line);
    std::lock_guard<std::mutex> lock(mutex_);
    for (int index = 0; index < tools::kEffectsDevices; ++index) {
        const DeviceNews said = news.device[index];
        if (said == DeviceNews::None) continue;
        DeviceReport& report = reports_[index];
        report.latest = said;
        if (said == DeviceNews::Answers || report.failed) continue;
        report.failed = true;
        report.firstFailure = withoutTags(line);
    }
}

DeviceReports DeviceWatch::reports() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return reports_;
}

std::string effectsEnding(const DeviceReports& reports) {
    std::string off, unconfirmed;
    for (int index = 0; index < tools::kEffectsDevices; ++index) {
        const std::string name = tools::effectsDeviceName(static_cast<tools::EffectsDevice>(index));
        const DeviceReport& report = reports[index];
        if (report.answering()) {
            off += (off.empty() ? "" : " and the ") + name;
            continue;
        }
        unconfirmed += (unconfirmed.empty() ? "the " : ", the ") + name +
                       (report.latest == DeviceNews::Refused ? " refused a request" : " did not answer");
    }
    if (unconfirmed.empty()) return ", effects off";
    return (off.empty() ? ", effects not confirmed off: " : ", effects off at the " + off + "; not confirmed: ") +
           unconfirmed;
}

} // namespace karvel::cli
