#include "GuardSpawn.h"

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace karvel::guard {

namespace {

// One handle, closed on every path.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const { return handle_; }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void reset() {
        if (handle_ != nullptr) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_;
};

class SpawnedGuard final : public KarvelSeat::GuardProcess {
public:
    SpawnedGuard(HANDLE process, DWORD id, HANDLE input) : process_(process), id_(id), input_(input) {}

    unsigned Id() const override { return id_; }

    bool Write(const char* data, std::size_t size) override {
        while (size > 0) {
            DWORD done = 0;
            const DWORD chunk = size > 65536 ? 65536 : static_cast<DWORD>(size);
            if (!WriteFile(input_.get(), data, chunk, &done, nullptr) || done == 0) return false; // the guard is gone
            data += done;
            size -= done;
        }
        return true;
    }

    void CloseInput() override { input_.reset(); }
    void WaitForExit() override { WaitForSingleObject(process_.get(), INFINITE); }
    void Kill() override { TerminateProcess(process_.get(), 1); }

private:
    OwnedHandle process_;
    const DWORD id_;
    OwnedHandle input_;
};

std::wstring wide(const std::string& text) { return std::filesystem::u8path(text).wstring(); }

// One word of a command line as the C runtime splits it again (CommandLineToArgvW's rules).
void appendQuoted(std::wstring& line, const std::wstring& word) {
    if (!line.empty()) line += L' ';
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped; elsewhere they stand as they are.
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

// An inheritable copy of one of the host's standard handles, or none.
HANDLE inheritableCopy(DWORD which) {
    HANDLE own = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (own == nullptr || own == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

std::string lastError(const char* what) { return std::string(what) + " (error " + std::to_string(GetLastError()) + ")"; }

} // namespace

std::unique_ptr<KarvelSeat::GuardProcess> startGuard(const GuardCommand& command, std::string& error) {
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) {
        error = lastError("cannot make a pipe");
        return nullptr;
    }
    OwnedHandle childInput(readEnd), input(writeEnd);
    SetHandleInformation(childInput.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    OwnedHandle output(inheritableCopy(STD_OUTPUT_HANDLE)), errors(inheritableCopy(STD_ERROR_HANDLE));

    // Only these handles are inherited, whatever else of the host is inheritable.
    HANDLE inherited[3];
    DWORD count = 0;
    for (HANDLE handle : {childInput.get(), output.get(), errors.get()})
        if (handle != nullptr) inherited[count++] = handle;
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size) ||
        !UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, count * sizeof(HANDLE),
                                   nullptr, nullptr)) {
        error = lastError("cannot prepare the guard's handles");
        return nullptr;
    }
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = childInput.get();
    startup.StartupInfo.hStdOutput = output.get();
    startup.StartupInfo.hStdError = errors.get();
    startup.lpAttributeList = attributes;

    std::wstring line;
    appendQuoted(line, wide(command.program));
    for (const std::string& word : command.words) appendQuoted(line, wide(word));
    const std::wstring program = wide(command.program);
    // A bare name is looked for as the system looks for programs (its search path among them): no application
    // name then, only the command line's first word.
    const wchar_t* application = program.find_first_of(L"\\/") == std::wstring::npos ? nullptr : program.c_str();
    // No console of its own (the host's console closing does not end it), and out of the host's job where the job
    // lets it go, so that ending the host's job does not end the guard with it.
    const DWORD flags = EXTENDED_STARTUPINFO_PRESENT | DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP;
    PROCESS_INFORMATION started{};
    BOOL created = CreateProcessW(application, line.data(), nullptr, nullptr, TRUE,
                                  flags | CREATE_BREAKAWAY_FROM_JOB, nullptr, nullptr, &startup.StartupInfo, &started);
    if (!created && GetLastError() == ERROR_ACCESS_DENIED)
        created = CreateProcessW(application, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                 &startup.StartupInfo, &started);
    DeleteProcThreadAttributeList(attributes);
    if (!created) {
        error = lastError(("cannot run " + command.program).c_str());
        return nullptr;
    }
    CloseHandle(started.hThread);
    return std::make_unique<SpawnedGuard>(started.hProcess, started.dwProcessId, input.release());
}

const char* guardFileName() { return "karvel-guard.exe"; }

} // namespace karvel::guard
