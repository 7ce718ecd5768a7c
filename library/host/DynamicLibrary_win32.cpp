#include <windows.h>

#include <string>

#include "KarvelLibrary.h"

namespace karvel::host {
namespace {

std::wstring widen(const std::string& text) {
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<std::size_t>(length) : 0, L'\0');
    if (length > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    return wide;
}

std::string narrow(const std::wstring& wide) {
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), length, nullptr, nullptr);
    if (!text.empty()) text.pop_back(); // the terminating NUL
    return text;
}

} // namespace

const char* libraryFileName() { return "Karvel.dll"; }

std::string executableDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return "";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // cut short: a longer path
    }
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? "" : narrow(path.substr(0, separator));
}

DynamicLibrary::DynamicLibrary(const std::string& path) {
    handle_ = ::LoadLibraryW(widen(path).c_str());
    if (handle_ == nullptr) error_ = "LoadLibraryW failed for " + path + " (error " + std::to_string(::GetLastError()) + ")";
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_ != nullptr) ::FreeLibrary(static_cast<HMODULE>(handle_));
}

void* DynamicLibrary::symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

} // namespace karvel::host
