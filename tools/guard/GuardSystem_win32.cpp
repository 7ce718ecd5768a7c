#include "GuardSystem.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>

namespace karvel::guard {

namespace {

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string& text) { return std::filesystem::u8path(text).wstring(); }

} // namespace

void ignoreStopRequests() {
    // Ctrl-C and Ctrl-Break of a console the guard shares.
    SetConsoleCtrlHandler(nullptr, TRUE);
}

std::size_t readInput(char* buffer, std::size_t size) {
    DWORD got = 0;
    const DWORD wanted = size > 65536 ? 65536 : static_cast<DWORD>(size);
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, wanted, &got, nullptr)) return 0; // a broken pipe is the end
    return got;
}

std::string defaultStateDir() {
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local != nullptr && local[0] != L'\0')
        return utf8(std::wstring(local) + L"\\Karvel");
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    return utf8(std::wstring(temp, length)) + "Karvel";
}

bool replaceFile(const std::string& from, const std::string& to) {
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

int processId() { return static_cast<int>(GetCurrentProcessId()); }

} // namespace karvel::guard
