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

} // namespace

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
