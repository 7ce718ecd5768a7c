// The seat models: the one table that the library's kinematics, the plugin, the virtual seat and its web page
// take every model's numbers from. Header-only constants on the standard library alone, so that the seat
// library can include it without depending on anything else of the plugin.
//
// Each support axis is a crank: an arm of CrankRadius turns a link of LinkLength, so the axis length runs from
// LinkLength - CrankRadius at the bottom of the stroke to LinkLength + CrankRadius at the top, while the crank
// turns half a turn, PulsesPerHalfTurn pulses. The float widths are those the kinematics compute with.
#pragma once

#include <cctype>
#include <cstdint>
#include <string_view>

namespace KarvelSeat {

// A posture as the library takes it: degrees of pitch, roll and yaw, height 0 (bottom of the stroke) to 1 (top).
struct Posture {
    float Pitch = 0.0f;
    float Roll = 0.0f;
    float Yaw = 0.0f;
    float Height = 0.5f;
};

struct SeatModel {
    std::int32_t Code; // the library's seat model code
    const char* Name;
    float LinkLength;        // the link from crank arm to seat; shares its unit with CrankRadius
    float CrankRadius;       // the crank arm
    float PulsesPerHalfTurn; // pulse target at the top of the stroke (the crank turned by pi)
    float RotationRatio;     // scale of the turntable axis
    Posture Home;            // where the home command puts the seat
    bool HasEffects;         // fan, water mist, scent and heater over Modbus

    // The stroke of each support axis, in the unit of the lengths above and in pulses from bottom to top.
    constexpr float StrokeLength() const { return CrankRadius + CrankRadius; }
    constexpr float StrokePulses() const { return PulsesPerHalfTurn; }
    // The stroke in metres, taking the lengths as millimetres (the motion controller needs only their ratio;
    // 100 mm for an Orvida and 180 mm for a Tamsel are what seats of this build travel). What judging a heave
    // cue on what a rider feels goes by.
    constexpr double StrokeMetres() const { return StrokeLength() / 1000.0; }
};

// Tamsel homes at the bottom of the stroke, Orvida mid-stroke; both with the turntable at zero.
inline constexpr SeatModel TamselSeat{0, "Tamsel", 200.0f, 90.0f, 180000.0f, 168.0f, Posture{0.0f, 0.0f, 0.0f, 0.0f}, false};
inline constexpr SeatModel OrvidaSeat{1, "Orvida", 185.0f, 50.0f, 120000.0f, 168.0f, Posture{0.0f, 0.0f, 0.0f, 0.5f}, true};

inline constexpr const SeatModel* SeatModels[] = {&TamselSeat, &OrvidaSeat};

// The library's rule: code 1 is an Orvida, every other code a Tamsel.
constexpr const SeatModel& SeatModelOf(std::int32_t Code) { return Code == OrvidaSeat.Code ? OrvidaSeat : TamselSeat; }

// By name, in any case ("tamsel", "Orvida"); nullptr for anything else.
inline const SeatModel* FindSeatModel(std::string_view Name) {
    for (const SeatModel* Model : SeatModels) {
        const std::string_view Known = Model->Name;
        bool Same = Known.size() == Name.size();
        for (std::size_t I = 0; Same && I < Known.size(); ++I)
            Same = std::tolower(static_cast<unsigned char>(Known[I])) == std::tolower(static_cast<unsigned char>(Name[I]));
        if (Same) return Model;
    }
    return nullptr;
}

} // namespace KarvelSeat
