#include "CommandScript.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <vector>

#include "Console.h"
#include "Interrupt.h"

namespace karvel::cli {

namespace {

using Words = std::vector<std::string>;

constexpr const char* kPrompt = "karvel> ";

float number(const std::string& word) {
    char* end = nullptr;
    const float value = std::strtof(word.c_str(), &end);
    if (word.empty() || *end != '\0' || !std::isfinite(value)) throw UsageError("'" + word + "' is not a number");
    return value;
}

int level(const std::string& word, int highest) {
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || value < 0 || value > highest)
        throw UsageError("level '" + word + "' is not one of 0.." + std::to_string(highest));
    return static_cast<int>(value);
}

bool onOff(const std::string& word) {
    if (word == "on" || word == "1") return true;
    if (word == "off" || word == "0") return false;
    throw UsageError("'" + word + "' is neither on nor off");
}

tools::Endpoint endpoint(const std::string& word) {
    const std::optional<tools::Endpoint> parsed = tools::parseEndpoint(word);
    if (!parsed) throw UsageError("bad address '" + word + "': expected IPv4:port, port 1..65535");
    return *parsed;
}

struct Command {
    const char* name;
    const char* arguments; // as help shows them
    const char* meaning;
    std::size_t minWords, maxWords; // arguments after the command word
    std::function<void(const RunTarget&, const Words&)> run;
};

// A new motion controller: the seat left behind is parked first, and the
// stream goes on from home towards the same target.
void switchMotion(const RunTarget& t, const tools::Endpoint& to) {
    const KarvelCueing::SeatPose target = t.motion.target();
    if (t.motion.park().end == ParkOutcome::End::CutShort) return;
    // The library drops what is still queued at a switch: a frame's time lets
    // the park's last frames leave.
    if (!sleepUntil(t.motion.pacer().dueOf(t.motion.nextFrame()))) return;
    t.seat.udpEndpoint(to);
    t.motion.follow(target);
}

void printHelp();

// In the order help lists them.
const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"posture", "PITCH ROLL YAW HEIGHT", "move to a posture: pitch and roll +-15 deg, yaw +-180 deg, height 0..1",
         4, 4, [](const RunTarget& t, const Words& w) {
             t.motion.follow({number(w[1]), number(w[2]), number(w[3]), number(w[4])});
         }},
        {"rotate", "PITCH YAW ROLL [HEIGHT]", "move to the posture of an engine rotator", 3, 4,
         [](const RunTarget& t, const Words& w) {
             const KarvelSeat::Posture p =
                 KarvelSeat::RotatorPosture(number(w[1]), number(w[2]), number(w[3]), w.size() > 4 ? number(w[4]) : 0.5f);
             t.motion.follow({p.Pitch, p.Roll, p.Yaw, p.Height});
         }},
        {"home", "", "move home", 0, 0, [](const RunTarget& t, const Words&) { t.motion.follow(t.seat.homePose()); }},
        {"wait", "SECONDS", "let the seat move for a while (it moves at the envelope's pace)", 1, 1,
         [](const RunTarget&, const Words& w) {
             const float seconds = number(w[1]);
             if (seconds < 0) throw UsageError("wait needs a time of 0 seconds or more");
             sleepUntil(std::chrono::steady_clock::now() +
                        std::chrono::microseconds(static_cast<long long>(seconds * 1e6f)));
         }},
        {"wind", "0..3", "fan off, low, medium, high", 1, 1,
         [](const RunTarget& t, const Words& w) { t.seat.wind(level(w[1], 3)); }},
        {"mist", "0..3", "water off, mist, small water, big water", 1, 1,
         [](const RunTarget& t, const Words& w) { t.seat.mist(level(w[1], 3)); }},
        {"scent", "0..2", "scent off, channel 1, channel 2", 1, 1,
         [](const RunTarget& t, const Words& w) { t.seat.scent(level(w[1], 2)); }},
        {"heater", "on|off", "heater on or off", 1, 1,
         [](const RunTarget& t, const Words& w) { t.seat.heater(onOff(w[1])); }},
        {"off", "", "every effect off", 0, 0, [](const RunTarget& t, const Words&) { t.seat.effectsOff(); }},
        {"udp-endpoint", "IP:PORT", "park the seat and go on with another motion controller", 1, 1,
         [](const RunTarget& t, const Words& w) { switchMotion(t, endpoint(w[1])); }},
        {"effects-endpoints", "RELAY_IP:PORT SPEED_IP:PORT", "switch the effects to other devices", 2, 2,
         [](const RunTarget& t, const Words& w) { t.seat.effectsEndpoints(endpoint(w[1]), endpoint(w[2])); }},
        {"help", "", "this list", 0, 0, [](const RunTarget&, const Words&) { printHelp(); }},
    };
    return table;
}

void printHelp() {
    std::vector<std::pair<std::string, std::string>> lines;
    for (const Command& command : commands())
        lines.emplace_back(std::string(command.name) + (*command.arguments != '\0' ? " " : "") + command.arguments,
                           command.meaning);
    lines.emplace_back("quit", "park the seat, turn the effects off and end (so does the end of the input)");
    std::size_t width = 0;
    for (const auto& line : lines) width = std::max(width, line.first.size());
    console::printResult("commands (one a line; # starts a comment):");
    for (const auto& line : lines)
        console::printResult("  " + line.first + std::string(width + 2 - line.first.size(), ' ') + line.second);
}

} // namespace

bool runCommand(const RunTarget& target, const std::string& line) {
    std::istringstream stream(line);
    Words words;
    for (std::string word; stream >> word;) words.push_back(word);
    if (words.empty() || words[0][0] == '#') return true;
    if (words[0] == "quit" || words[0] == "exit") return false;
    const auto found = std::find_if(commands().begin(), commands().end(),
                                    [&](const Command& command) { return words[0] == command.name; });
    if (found == commands().end()) throw UsageError("unknown command '" + words[0] + "' (help lists the commands)");
    const Command& command = *found;
    const std::size_t arguments = words.size() - 1;
    if (arguments < command.minWords || arguments > command.maxWords)
        throw UsageError(words[0] + " takes " + std::to_string(command.minWords) +
                         (command.maxWords != command.minWords ? " to " + std::to_string(command.maxWords) : "") +
                         " argument(s), got " + std::to_string(arguments));
    command.run(target, words);
    return true;
}

int runScript(const RunTarget& target, std::istream& input, const std::string& source, bool interactive) {
    target.motion.follow(target.seat.homePose());
    if (interactive) console::printLine("karvel: the seat is ready; type help for the commands, quit to end");
    // The prompt holds the last row as a progress bar does: the library's
    // lines go above it.
    const auto nextLine = [&](std::string& line) {
        if (interactive) console::showBar(kPrompt);
        const bool got = static_cast<bool>(std::getline(input, line));
        if (interactive && got) console::barEndedByUser(); // by the user's Enter
        if (interactive && !got) console::endBar();
        return got;
    };
    int status = 0;
    std::string line;
    for (int number = 1; !interrupted() && nextLine(line); ++number) {
        try {
            if (!runCommand(target, line)) break;
        } catch (const UsageError& error) {
            console::printLine(console::format("karvel: %s:%d: %s", source.c_str(), number, error.what()));
            status = 2;
            if (!interactive) break;
        }
    }
    return status;
}

} // namespace karvel::cli
