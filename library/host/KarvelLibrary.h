// Loads the Karvel shared library by path and binds its exports by name, as
// the engine plugin does. Used by the example host, the tools and the tests.
#pragma once

#include <string>

#include "Karvel.h"

namespace karvel::host {

// A loaded shared library file; freed on destruction.
class DynamicLibrary {
public:
    explicit DynamicLibrary(const std::string& path);
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
    std::string error_;
};

// The library's exports, bound all or nothing.
class KarvelLibrary {
public:
    explicit KarvelLibrary(const std::string& path);

    bool bound() const { return bound_; }
    // Why loading or binding failed.
    const std::string& error() const { return error_; }

    decltype(&::Ridova_SetConfiguration) SetConfiguration = nullptr;
    decltype(&::Ridova_SetUdpEndpoint) SetUdpEndpoint = nullptr;
    decltype(&::Ridova_Release) Release = nullptr;
    decltype(&::Ridova_SendSeatPosture) SendSeatPosture = nullptr;
    decltype(&::Ridova_SendPostureCommand) SendPostureCommand = nullptr;
    decltype(&::Ridova_ResetPosition) ResetPosition = nullptr;
    decltype(&::Ridova_GetVersion) GetVersion = nullptr;
    decltype(&::Ridova_SetLogCallback) SetLogCallback = nullptr;
    decltype(&::Ridova_SetEffectsEndpoints) SetEffectsEndpoints = nullptr;
    decltype(&::Ridova_SetWindSpeed) SetWindSpeed = nullptr;
    decltype(&::Ridova_SetWaterMist) SetWaterMist = nullptr;
    decltype(&::Ridova_SetScent) SetScent = nullptr;
    decltype(&::Ridova_SetHeater) SetHeater = nullptr;
    decltype(&::Ridova_TurnOffAllEffects) TurnOffAllEffects = nullptr;

private:
    template <typename Function>
    void bind(Function& slot, const char* name);

    DynamicLibrary library_;
    bool bound_ = false;
    std::string error_;
};

} // namespace karvel::host
