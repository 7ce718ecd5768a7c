#include "MotionCueing/ProfileText.h"

#include <cctype>
#include <cstdio>
#include <limits>
#include <locale>
#include <map>
#include <sstream>
#include <vector>

namespace KarvelCueing {

namespace ProfileTextParts {

struct Entry {
    int Line;
    std::string_view Key;
    std::string_view Value;
};

std::string_view Trim(std::string_view Text) {
    const char* blanks = " \t\r\f\v";
    const size_t first = Text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    const size_t last = Text.find_last_not_of(blanks);
    return Text.substr(first, last - first + 1);
}

std::string At(int Line, const std::string& Message) {
    return "line " + std::to_string(Line) + ": " + Message;
}

// Splits the text into key/value entries; false with Error on a malformed line.
bool Split(std::string_view Text, std::vector<Entry>& Entries, std::string& Error) {
    int line = 0;
    while (!Text.empty()) {
        ++line;
        const size_t end = Text.find('\n');
        std::string_view content = Text.substr(0, end);
        Text = end == std::string_view::npos ? std::string_view() : Text.substr(end + 1);
        content = Trim(content.substr(0, content.find('#')));
        if (content.empty()) continue;
        const size_t equals = content.find('=');
        if (equals == std::string_view::npos) {
            Error = At(line, "expected `key = value`, found \"" + std::string(content) + "\"");
            return false;
        }
        const std::string_view key = Trim(content.substr(0, equals));
        const std::string_view value = Trim(content.substr(equals + 1));
        if (key.empty() || value.empty()) {
            Error = At(line, "expected `key = value`, found \"" + std::string(content) + "\"");
            return false;
        }
        Entries.push_back({line, key, value});
    }
    return true;
}

bool EqualsAnyCase(std::string_view Text, std::string_view Lower) {
    if (Text.size() != Lower.size()) return false;
    for (size_t i = 0; i < Text.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(Text[i])) != Lower[i]) return false;
    return true;
}

bool IsPresetKey(std::string_view Key) { return EqualsAnyCase(Key, "preset"); }

// Digits with an optional decimal point (at least one digit), then an optional exponent.
bool IsDecimal(std::string_view Text) {
    size_t i = 0, digits = 0;
    const auto skipDigits = [&] {
        size_t n = 0;
        while (i < Text.size() && std::isdigit(static_cast<unsigned char>(Text[i]))) ++i, ++n;
        return n;
    };
    digits += skipDigits();
    if (i < Text.size() && Text[i] == '.') {
        ++i;
        digits += skipDigits();
    }
    if (digits == 0) return false;
    if (i < Text.size() && (Text[i] == 'e' || Text[i] == 'E')) {
        ++i;
        if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) ++i;
        if (skipDigits() == 0) return false;
    }
    return i == Text.size();
}

// A number and nothing else, with a point for the decimals whatever the process's locale; "nan" and "inf" too,
// so that the range check can name them. (Floating-point std::from_chars would do, but the standard library of
// the engine's Linux and Mac builds lacks it.)
bool ParseNumber(std::string_view Text, double& Value) {
    std::string_view magnitude = Text;
    const bool negative = !magnitude.empty() && magnitude.front() == '-';
    if (!magnitude.empty() && (magnitude.front() == '+' || negative)) magnitude.remove_prefix(1);
    if (EqualsAnyCase(magnitude, "nan")) {
        Value = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (EqualsAnyCase(magnitude, "inf") || EqualsAnyCase(magnitude, "infinity")) {
        Value = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    if (!IsDecimal(magnitude)) return false;
    std::istringstream stream{std::string(Text)};
    stream.imbue(std::locale::classic());
    stream >> Value;
    return !stream.fail(); // out of the double range fails
}

} // namespace ProfileTextParts

bool ParseProfileText(std::string_view Text, CueingProfile& Out, std::string& Error) {
    using namespace ProfileTextParts;
    std::vector<Entry> entries;
    if (!Split(Text, entries, Error)) return false;

    CueingProfile profile = RoadVehicleProfile();
    int presetLine = 0;
    for (const Entry& entry : entries) {
        if (!IsPresetKey(entry.Key)) continue;
        if (presetLine != 0) {
            Error = At(entry.Line, "preset given twice (first on line " + std::to_string(presetLine) + ")");
            return false;
        }
        const CueingProfile* preset = FindPresetProfile(entry.Value);
        if (preset == nullptr) {
            std::string names;
            for (const std::string& name : PresetProfileNames()) names += (names.empty() ? "" : ", ") + name;
            Error = At(entry.Line, "unknown preset \"" + std::string(entry.Value) + "\" (presets: " + names + ")");
            return false;
        }
        presetLine = entry.Line;
        profile = *preset;
    }

    // The line each field was set on, to name it when the result is refused.
    std::map<std::string, int> setOn;
    for (const Entry& entry : entries) {
        if (entry.Line == presetLine) continue;
        const ProfileField* field = FindProfileField(entry.Key);
        if (field == nullptr) {
            Error = At(entry.Line, "unknown key \"" + std::string(entry.Key) + "\"");
            return false;
        }
        const auto seen = setOn.find(field->Name);
        if (seen != setOn.end()) {
            Error = At(entry.Line, std::string(field->Name) + " given twice (first on line " +
                                       std::to_string(seen->second) + ")");
            return false;
        }
        double value = 0;
        if (!ParseNumber(entry.Value, value)) {
            Error = At(entry.Line, std::string(field->Name) + ": \"" + std::string(entry.Value) + "\" is not a number");
            return false;
        }
        profile.*field->Member = value;
        setOn[field->Name] = entry.Line;
    }

    const std::string problem = ValidateProfile(profile);
    if (!problem.empty()) {
        // Name the last line that set a field the message is about.
        int line = 0;
        for (const auto& [name, where] : setOn)
            if (problem.find(name) != std::string::npos && where > line) line = where;
        Error = line > 0 ? At(line, problem) : problem;
        return false;
    }
    Out = profile;
    return true;
}

std::string FormatProfileText(const CueingProfile& Profile) {
    std::string text;
    for (const ProfileField& field : ProfileFields()) {
        char line[96];
        std::snprintf(line, sizeof line, "%s = %.17g\n", field.Name, Profile.*field.Member);
        text += line;
    }
    return text;
}

} // namespace KarvelCueing
