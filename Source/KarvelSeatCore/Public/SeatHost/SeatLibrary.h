// The seat library's C interface as a table of function pointers: what a host fills when it loads the library by
// path (the plugin's binding, karvel's loader) and what the host rules call. The signatures are those of
// library/include/Karvel.h, which hosts do not include (the plugin never sees the library's files); karvel's
// loader checks them against it at compile time.
#pragma once

#include <type_traits>

namespace KarvelSeat {

// Receives every library log line, on any library thread, possibly on several at once.
using LibraryLogCallback = void (*)(int Level, const char* Message);

struct LibraryFunctions {
    bool (*SetConfiguration)(int SeatType, const char* UdpIp, int UdpPort, int EnableEffects, const char* RelayIp,
                             int RelayPort, const char* SpeedIp, int SpeedPort) = nullptr;
    bool (*SetUdpEndpoint)(const char* Ip, int Port) = nullptr;
    bool (*SetEffectsEndpoints)(const char* RelayIp, int RelayPort, const char* SpeedIp, int SpeedPort) = nullptr;
    void (*Release)() = nullptr;
    void (*ResetPosition)() = nullptr;
    void (*TurnOffAllEffects)() = nullptr;
    void (*SendSeatPosture)(float Pitch, float Roll, float Yaw, float Height) = nullptr;
    void (*SetWindSpeed)(int Level) = nullptr;
    void (*SetWaterMist)(int Level) = nullptr;
    void (*SetScent)(int Level) = nullptr;
    void (*SetHeater)(int On) = nullptr;
    const char* (*GetVersion)() = nullptr;
    void (*SetLogCallback)(LibraryLogCallback Callback) = nullptr;
    // Not needed by the host rules: a library without it still binds.
    void (*SendPostureCommand)(float X, float Y, float Z, float Angle) = nullptr;
};

// Calls Visit(Slot, "Ridova_...", bNeeded) for every export: the thirteen that hosts need, in the order the
// plugin binds them, then Ridova_SendPostureCommand, which they do not.
template <typename FVisit>
void ForEachLibraryExport(LibraryFunctions& Functions, FVisit&& Visit) {
    Visit(Functions.SetConfiguration, "Ridova_SetConfiguration", true);
    Visit(Functions.SetUdpEndpoint, "Ridova_SetUdpEndpoint", true);
    Visit(Functions.SetEffectsEndpoints, "Ridova_SetEffectsEndpoints", true);
    Visit(Functions.Release, "Ridova_Release", true);
    Visit(Functions.ResetPosition, "Ridova_ResetPosition", true);
    Visit(Functions.TurnOffAllEffects, "Ridova_TurnOffAllEffects", true);
    Visit(Functions.SendSeatPosture, "Ridova_SendSeatPosture", true);
    Visit(Functions.SetWindSpeed, "Ridova_SetWindSpeed", true);
    Visit(Functions.SetWaterMist, "Ridova_SetWaterMist", true);
    Visit(Functions.SetScent, "Ridova_SetScent", true);
    Visit(Functions.SetHeater, "Ridova_SetHeater", true);
    Visit(Functions.GetVersion, "Ridova_GetVersion", true);
    Visit(Functions.SetLogCallback, "Ridova_SetLogCallback", true);
    Visit(Functions.SendPostureCommand, "Ridova_SendPostureCommand", false);
}

// Fills the table from Lookup(name), which gives an export's address or null. Returns the name of the first
// needed export that is missing, or null when the library is usable. A host never runs with a partial table:
// on a missing name it clears the table and frees the library.
template <typename FLookup>
const char* BindLibraryFunctions(LibraryFunctions& Functions, FLookup&& Lookup) {
    const char* Missing = nullptr;
    ForEachLibraryExport(Functions, [&](auto& Slot, const char* Name, bool bNeeded) {
        Slot = reinterpret_cast<std::remove_reference_t<decltype(Slot)>>(Lookup(Name));
        if (Slot == nullptr && bNeeded && Missing == nullptr) Missing = Name;
    });
    return Missing;
}

} // namespace KarvelSeat
