#include "EffectsExports.h"

namespace karvel::tools {

namespace {

template <typename Function>
bool bind(const host::DynamicLibrary& library, Function& slot, const char* name) {
    slot = reinterpret_cast<Function>(library.symbol(name));
    return slot != nullptr;
}

} // namespace

EffectsExports::EffectsExports(const std::string& path) : library_(path) {
    if (!library_.loaded()) return;
    available_ = bind(library_, SetEffectsEndpoints, "Ridova_SetEffectsEndpoints") &&
                 bind(library_, SetWindSpeed, "Ridova_SetWindSpeed") &&
                 bind(library_, SetWaterMist, "Ridova_SetWaterMist") && bind(library_, SetScent, "Ridova_SetScent") &&
                 bind(library_, SetHeater, "Ridova_SetHeater") &&
                 bind(library_, TurnOffAllEffects, "Ridova_TurnOffAllEffects");
}

} // namespace karvel::tools
