#include "SeatGuard/WatchedSeat.h"

#include <charconv>
#include <cmath>
#include <locale>
#include <sstream>
#include <vector>

#include "MotionCueing/ProfileText.h"

namespace KarvelSeat {

namespace WatchedSeatLines {

constexpr std::string_view Version = "karvel-guard 1";
constexpr std::string_view NoAddress = "-";

// Shortest text that reads back to the same value, with a '.' whatever the locale.
template <typename T>
void AppendNumber(std::string& Out, T Value) {
    char Text[32];
    const std::to_chars_result End = std::to_chars(Text, Text + sizeof(Text), Value);
    Out.append(Text, End.ptr);
}

// Blanks and control characters separate words; a word holds neither.
bool IsSeparator(char C) { return static_cast<unsigned char>(C) <= ' '; }

void AppendWord(std::string& Out, std::string_view Word) {
    Out += ' ';
    if (Word.empty()) {
        Out += NoAddress;
        return;
    }
    // A word never holds a separator, so that the line splits back as it was written.
    for (const char C : Word) Out += IsSeparator(C) ? '_' : C;
}

std::vector<std::string_view> Words(std::string_view Line) {
    std::vector<std::string_view> Result;
    std::size_t At = 0;
    while (true) {
        while (At < Line.size() && IsSeparator(Line[At])) ++At;
        if (At == Line.size()) return Result;
        std::size_t End = At;
        while (End < Line.size() && !IsSeparator(Line[End])) ++End;
        Result.push_back(Line.substr(At, End - At));
        At = End;
    }
}

bool ReadInt(std::string_view Word, int& Out) {
    const std::from_chars_result End = std::from_chars(Word.data(), Word.data() + Word.size(), Out);
    return End.ec == std::errc() && End.ptr == Word.data() + Word.size();
}

// A finite decimal number. (Floating-point std::from_chars would do, but the standard library of the engine's
// Linux and Mac builds lacks it.)
bool ReadFloat(std::string_view Word, float& Out) {
    if (Word.empty() || Word.find_first_not_of("0123456789+-.eE") != std::string_view::npos) return false;
    std::istringstream Stream{std::string(Word)};
    Stream.imbue(std::locale::classic());
    double Value = 0;
    Stream >> Value;
    if (Stream.fail() || !Stream.eof() || !std::isfinite(static_cast<float>(Value))) return false;
    Out = static_cast<float>(Value);
    return true;
}

std::string Address(std::string_view Word) { return Word == NoAddress ? std::string() : std::string(Word); }

bool ReadSeat(const std::vector<std::string_view>& W, GuardedSeat& Out) {
    int Effects = 0;
    if (W.size() != 9 || !ReadInt(W[1], Out.Model) || !ReadInt(W[3], Out.UdpPort) || !ReadInt(W[4], Effects) ||
        !ReadInt(W[6], Out.RelayPort) || !ReadInt(W[8], Out.SpeedPort) || (Effects != 0 && Effects != 1))
        return false;
    Out.UdpIp = Address(W[2]);
    Out.bEffects = Effects == 1;
    Out.RelayIp = Address(W[5]);
    Out.SpeedIp = Address(W[7]);
    return true;
}

bool ReadEnvelope(const std::vector<std::string_view>& W, KarvelCueing::CueingProfile& Out, std::string& Error) {
    // As profile text, one field a line, so that the profile's own reader checks names, numbers and limits.
    std::string Text;
    for (std::size_t I = 1; I < W.size(); ++I) {
        Text.append(W[I]);
        Text += '\n';
    }
    return KarvelCueing::ParseProfileText(Text, Out, Error);
}

bool ReadPosture(const std::vector<std::string_view>& W, Posture& Out) {
    return W.size() == 5 && ReadFloat(W[1], Out.Pitch) && ReadFloat(W[2], Out.Roll) && ReadFloat(W[3], Out.Yaw) &&
           ReadFloat(W[4], Out.Height);
}

bool ReadEffects(const std::vector<std::string_view>& W, EffectLevels& Out) {
    int Heater = 0;
    if (W.size() != 5 || !ReadInt(W[1], Out.Wind) || !ReadInt(W[2], Out.WaterMist) || !ReadInt(W[3], Out.Scent) ||
        !ReadInt(W[4], Heater))
        return false;
    Out.Heater = Heater != 0;
    return true;
}

} // namespace WatchedSeatLines

std::string HelloLine() { return std::string(WatchedSeatLines::Version) + '\n'; }

std::string HostLine(int Pid, std::string_view Name) {
    std::string Line = "host ";
    WatchedSeatLines::AppendNumber(Line, Pid);
    WatchedSeatLines::AppendWord(Line, Name);
    return Line + '\n';
}

std::string SeatLine(const GuardedSeat& Seat) {
    using namespace WatchedSeatLines;
    std::string Line = "seat ";
    AppendNumber(Line, Seat.Model);
    AppendWord(Line, Seat.UdpIp);
    Line += ' ';
    AppendNumber(Line, Seat.UdpPort);
    Line += Seat.bEffects ? " 1" : " 0";
    AppendWord(Line, Seat.RelayIp);
    Line += ' ';
    AppendNumber(Line, Seat.RelayPort);
    AppendWord(Line, Seat.SpeedIp);
    Line += ' ';
    AppendNumber(Line, Seat.SpeedPort);
    return Line + '\n';
}

std::string EnvelopeLine(const KarvelCueing::CueingProfile& Profile) {
    std::string Line = "envelope";
    for (const KarvelCueing::ProfileField& Field : KarvelCueing::ProfileFields()) {
        Line += ' ';
        Line += Field.Name;
        Line += '=';
        WatchedSeatLines::AppendNumber(Line, Profile.*Field.Member);
    }
    return Line + '\n';
}

std::string PostureLine(const Posture& Sent) {
    std::string Line = "posture";
    for (const float Value : {Sent.Pitch, Sent.Roll, Sent.Yaw, Sent.Height}) {
        Line += ' ';
        WatchedSeatLines::AppendNumber(Line, Value);
    }
    return Line + '\n';
}

std::string EffectsLine(const EffectLevels& InForce) {
    std::string Line = "effects";
    for (const int Level : {InForce.Wind, InForce.WaterMist, InForce.Scent, InForce.Heater ? 1 : 0}) {
        Line += ' ';
        WatchedSeatLines::AppendNumber(Line, Level);
    }
    return Line + '\n';
}

std::string ReleaseLine() { return "release\n"; }

std::string PhaseLine(std::string_view Text) {
    std::string Line = "phase ";
    for (const char C : Text) Line += WatchedSeatLines::IsSeparator(C) ? ' ' : C;
    return Line + '\n';
}

bool ApplyGuardLine(WatchedSeat& State, std::string_view Line, std::string& Error) {
    using namespace WatchedSeatLines;
    const std::vector<std::string_view> W = Words(Line);
    if (W.empty()) return true;
    const std::string_view Word = W[0];
    const std::string Shown(Line.substr(0, Line.find('\n')));
    const auto Malformed = [&] {
        Error = "malformed " + std::string(Word) + " line: \"" + Shown + "\"";
        return false;
    };
    if (Word == "karvel-guard") {
        if (W.size() == 2 && W[1] == Version.substr(Version.find(' ') + 1)) return true;
        Error = "this guard reads \"" + std::string(Version) + "\", not \"" + Shown + "\"";
        return false;
    }
    if (Word == "host") {
        int Pid = 0;
        if (W.size() != 3 || !ReadInt(W[1], Pid)) return Malformed();
        State.HostPid = Pid;
        State.HostName = std::string(W[2]);
        return true;
    }
    if (Word == "seat") {
        GuardedSeat Seat;
        if (!ReadSeat(W, Seat)) return Malformed();
        State.Seat = Seat;
        State.bSeatKnown = true;
        State.bReleased = false;
        return true;
    }
    if (Word == "envelope") {
        KarvelCueing::CueingProfile Envelope;
        std::string Why;
        if (!ReadEnvelope(W, Envelope, Why)) {
            Error = "envelope refused: " + Why;
            return false;
        }
        State.Envelope = Envelope;
        return true;
    }
    if (Word == "posture") {
        Posture Sent;
        if (!ReadPosture(W, Sent)) return Malformed();
        State.LastPosture = Sent;
        State.bPostureKnown = true;
        return true;
    }
    if (Word == "effects") {
        EffectLevels InForce;
        if (!ReadEffects(W, InForce)) return Malformed();
        State.Effects = InForce;
        return true;
    }
    if (Word == "release") {
        if (W.size() != 1) return Malformed();
        State.bReleased = true;
        return true;
    }
    if (Word == "phase") {
        if (W.size() < 2) return Malformed();
        // The rest of the line, from its second word to its last, every separator in it a blank.
        const char* Start = W[1].data();
        const char* End = W.back().data() + W.back().size();
        State.Phase.assign(Start, End);
        for (char& C : State.Phase)
            if (IsSeparator(C)) C = ' ';
        return true;
    }
    Error = "unknown line: \"" + Shown + "\"";
    return false;
}

std::string FormatWatchedSeat(const WatchedSeat& State) {
    std::string Text = HelloLine();
    if (!State.HostName.empty() || State.HostPid != 0) Text += HostLine(State.HostPid, State.HostName);
    if (State.bSeatKnown) Text += SeatLine(State.Seat);
    Text += EnvelopeLine(State.Envelope);
    if (State.bPostureKnown) Text += PostureLine(State.LastPosture);
    Text += EffectsLine(State.Effects);
    if (State.bReleased) Text += ReleaseLine();
    if (!State.Phase.empty()) Text += PhaseLine(State.Phase);
    return Text;
}

} // namespace KarvelSeat
