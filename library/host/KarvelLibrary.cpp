#include "KarvelLibrary.h"

namespace karvel::host {

template <typename Function>
void KarvelLibrary::bind(Function& slot, const char* name) {
    slot = reinterpret_cast<Function>(library_.symbol(name));
    if (slot == nullptr && error_.empty()) error_ = std::string("missing export ") + name;
}

KarvelLibrary::KarvelLibrary(const std::string& path) : library_(path) {
    if (!library_.loaded()) {
        error_ = library_.error();
        return;
    }
    bind(SetConfiguration, "Ridova_SetConfiguration");
    bind(SetUdpEndpoint, "Ridova_SetUdpEndpoint");
    bind(Release, "Ridova_Release");
    bind(SendSeatPosture, "Ridova_SendSeatPosture");
    bind(SendPostureCommand, "Ridova_SendPostureCommand");
    bind(ResetPosition, "Ridova_ResetPosition");
    bind(GetVersion, "Ridova_GetVersion");
    bind(SetLogCallback, "Ridova_SetLogCallback");
    bind(SetEffectsEndpoints, "Ridova_SetEffectsEndpoints");
    bind(SetWindSpeed, "Ridova_SetWindSpeed");
    bind(SetWaterMist, "Ridova_SetWaterMist");
    bind(SetScent, "Ridova_SetScent");
    bind(SetHeater, "Ridova_SetHeater");
    bind(TurnOffAllEffects, "Ridova_TurnOffAllEffects");
    bound_ = error_.empty();
}

} // namespace karvel::host
