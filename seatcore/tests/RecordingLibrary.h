// A table of library functions that records every call as text ("Posture(1,2,3,0.5)") for the host rules'
// tests, in the forms the engine tests' fake library uses.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SeatHost/SeatLibrary.h"

namespace KarvelSeatTest {

// The calls, with the thread each came from; a motion runtime makes them on a thread of its own.
struct Recorder {
    std::atomic<bool> Result{true}; // what SetConfiguration and the switches answer

    void Add(const std::string& Call) {
        {
            std::lock_guard<std::mutex> Lock(Mutex);
            Calls.push_back(Call);
            Threads.push_back(std::this_thread::get_id());
        }
        Changed.notify_all();
    }

    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> Lock(Mutex);
        std::vector<std::string> Taken;
        Taken.swap(Calls);
        return Taken;
    }

    // The threads of the calls since the last Reset.
    std::vector<std::thread::id> CallingThreads() const {
        std::lock_guard<std::mutex> Lock(Mutex);
        return Threads;
    }

    // Waits, at most Timeout, until Holds(calls not yet taken) is true; whether it became true.
    template <typename FHolds>
    bool WaitUntil(FHolds&& Holds, std::chrono::milliseconds Timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> Lock(Mutex);
        return Changed.wait_for(Lock, Timeout, [&] { return Holds(static_cast<const std::vector<std::string>&>(Calls)); });
    }

    void Reset() {
        std::lock_guard<std::mutex> Lock(Mutex);
        Calls.clear();
        Threads.clear();
        Result = true;
    }

private:
    mutable std::mutex Mutex;
    std::condition_variable Changed;
    std::vector<std::string> Calls;
    std::vector<std::thread::id> Threads;
};

inline Recorder& Recorded() {
    static Recorder Instance;
    return Instance;
}

template <typename... Args>
void Record(const char* Format, Args... Values) {
    char Line[256];
    std::snprintf(Line, sizeof(Line), Format, Values...);
    Recorded().Add(Line);
}

inline KarvelSeat::LibraryFunctions RecordingLibrary() {
    KarvelSeat::LibraryFunctions F;
    F.SetConfiguration = [](int Model, const char* Udp, int UdpPort, int Effects, const char* Relay, int RelayPort,
                            const char* Speed, int SpeedPort) {
        Record("Configure(%d,%s,%d,%d,%s,%d,%s,%d)", Model, Udp, UdpPort, Effects, Relay, RelayPort, Speed, SpeedPort);
        return Recorded().Result.load();
    };
    F.SetUdpEndpoint = [](const char* Ip, int Port) {
        Record("SetUdpEndpoint(%s,%d)", Ip, Port);
        return Recorded().Result.load();
    };
    F.SetEffectsEndpoints = [](const char* Relay, int RelayPort, const char* Speed, int SpeedPort) {
        Record("SetEffectsEndpoints(%s,%d,%s,%d)", Relay, RelayPort, Speed, SpeedPort);
        return Recorded().Result.load();
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
