// A table of library functions that records every call as text ("Posture(1,2,3,0.5)") for the host rules'
// tests, in the forms the engine tests' fake library uses.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "SeatHost/SeatLibrary.h"

namespace KarvelSeatTest {

struct Recorder {
    std::vector<std::string> Calls;
    bool Result = true; // what SetConfiguration and the switches answer

    std::vector<std::string> Take() {
        std::vector<std::string> Taken;
        Taken.swap(Calls);
        return Taken;
    }
};

inline Recorder& Recorded() {
    static Recorder Instance;
    return Instance;
}

template <typename... Args>
void Record(const char* Format, Args... Values) {
    char Line[256];
    std::snprintf(Line, sizeof(Line), Format, Values...);
    Recorded().Calls.push_back(Line);
}

inline KarvelSeat::LibraryFunctions RecordingLibrary() {
    KarvelSeat::LibraryFunctions F;
    F.SetConfiguration = [](int Model, const char* Udp, int UdpPort, int Effects, const char* Relay, int RelayPort,
                            const char* Speed, int SpeedPort) {
        Record("Configure(%d,%s,%d,%d,%s,%d,%s,%d)", Model, Udp, UdpPort, Effects, Relay, RelayPort, Speed, SpeedPort);
        return Recorded().Result;
    };
    F.SetUdpEndpoint = [](const char* Ip, int Port) {
        Record("SetUdpEndpoint(%s,%d)", Ip, Port);
        return Recorded().Result;
    };
    F.SetEffectsEndpoints = [](const char* Relay, int RelayPort, const char* Speed, int SpeedPort) {
        Record("SetEffectsEndpoints(%s,%d,%s,%d)", Relay, RelayPort, Speed, SpeedPort);
        return Recorded().Result;
    };
    F.Release = [] { Record("Release"); };
    F.ResetPosition = [] { Record("ResetPosition"); };
    F.TurnOffAllEffects = [] { Record("TurnOffAllEffects"); };
    F.SendSeatPosture = [](float Pitch, float Roll, float Yaw, float Height) {
        Record("Posture(%.9g,%.9g,%.9g,%.9g)", Pitch, Roll, Yaw, Height);
    };
    F.SetWindSpeed = [](int Level) { Record("Wind(%d)", Level); };
    F.SetWaterMist = [](int Level) { Record("Mist(%d)", Level); };
    F.SetScent = [](int Level) { Record("Scent(%d)", Level); };
    F.SetHeater = [](int On) { Record("Heater(%d)", On); };
    F.GetVersion = [] { return "recording"; };
    F.SetLogCallback = [](KarvelSeat::LibraryLogCallback) {};
    return F;
}

} // namespace KarvelSeatTest
