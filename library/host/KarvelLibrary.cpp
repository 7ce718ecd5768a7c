#include "KarvelLibrary.h"

#include <filesystem>
#include <system_error>
#include <type_traits>

namespace karvel::host {

namespace {

// The table's signatures are the C interface's, checked here where both are in sight.
using Table = KarvelSeat::LibraryFunctions;
static_assert(std::is_same_v<decltype(Table::SetConfiguration), decltype(&::Ridova_SetConfiguration)>);
static_assert(std::is_same_v<decltype(Table::SetUdpEndpoint), decltype(&::Ridova_SetUdpEndpoint)>);
static_assert(std::is_same_v<decltype(Table::SetEffectsEndpoints), decltype(&::Ridova_SetEffectsEndpoints)>);
static_assert(std::is_same_v<decltype(Table::Release), decltype(&::Ridova_Release)>);
static_assert(std::is_same_v<decltype(Table::ResetPosition), decltype(&::Ridova_ResetPosition)>);
static_assert(std::is_same_v<decltype(Table::TurnOffAllEffects), decltype(&::Ridova_TurnOffAllEffects)>);
static_assert(std::is_same_v<decltype(Table::SendSeatPosture), decltype(&::Ridova_SendSeatPosture)>);
static_assert(std::is_same_v<decltype(Table::SetWindSpeed), decltype(&::Ridova_SetWindSpeed)>);
static_assert(std::is_same_v<decltype(Table::SetWaterMist), decltype(&::Ridova_SetWaterMist)>);
static_assert(std::is_same_v<decltype(Table::SetScent), decltype(&::Ridova_SetScent)>);
static_assert(std::is_same_v<decltype(Table::SetHeater), decltype(&::Ridova_SetHeater)>);
static_assert(std::is_same_v<decltype(Table::GetVersion), decltype(&::Ridova_GetVersion)>);
static_assert(std::is_same_v<decltype(Table::SetLogCallback), decltype(&::Ridova_SetLogCallback)>);
static_assert(std::is_same_v<decltype(Table::SendPostureCommand), decltype(&::Ridova_SendPostureCommand)>);

} // namespace

std::string defaultLibraryPath() {
    const std::string folder = executableDirectory();
    if (!folder.empty()) {
        const std::filesystem::path beside = std::filesystem::u8path(folder) / libraryFileName();
        std::error_code error;
        if (std::filesystem::is_regular_file(beside, error)) return beside.u8string();
    }
    return libraryFileName();
}

KarvelLibrary::KarvelLibrary(const std::string& path) : library_(path) {
    if (!library_.loaded()) {
        error_ = library_.error();
        return;
    }
    const char* missing =
        KarvelSeat::BindLibraryFunctions(*this, [this](const char* name) { return library_.symbol(name); });
    if (missing == nullptr && SendPostureCommand == nullptr) missing = "Ridova_SendPostureCommand";
    if (missing != nullptr) {
        error_ = std::string("missing export ") + missing;
        static_cast<KarvelSeat::LibraryFunctions&>(*this) = KarvelSeat::LibraryFunctions();
        return;
    }
    bound_ = true;
}

} // namespace karvel::host
