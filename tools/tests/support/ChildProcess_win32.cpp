#include "ChildProcess.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>

namespace karvel::tools::test {

namespace {

HANDLE handleOf(std::uintptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// One argument as the C runtime's parser reads it back.
std::string quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string text = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        text.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(backslashes * 2, '\\');
    return text + "\"";
}

// No handle is what a closed stream is here; the tests' own descriptors are POSIX's.
HANDLE where(const Redirect& redirect, HANDLE outputFile) {
    if (redirect.to == Redirect::To::Descriptor) throw std::invalid_argument("a descriptor redirect is POSIX only");
    return redirect.to == Redirect::To::OutputFile ? outputFile : nullptr;
}

HANDLE inheritable(const char* path, DWORD access, DWORD creation) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    return ::CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &attributes, creation,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& arguments, const std::string& input, Redirect out,
                           Redirect err) {
    char folder[MAX_PATH + 1] = {}, path[MAX_PATH + 1] = {};
    ::GetTempPathA(sizeof folder, folder);
    if (::GetTempFileNameA(folder, "kvl", 0, path) == 0) throw std::runtime_error("cannot create the output file");
    outputPath_ = path;
    const HANDLE file = inheritable(path, GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE in = inheritable(input == "/dev/null" ? "NUL" : input.c_str(), GENERIC_READ, OPEN_EXISTING);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = where(out, file);
    startup.hStdError = where(err, file);
    std::string commandLine;
    for (const std::string& argument : arguments) commandLine += (commandLine.empty() ? "" : " ") + quoted(argument);
    PROCESS_INFORMATION started{};
    // Console events travel within a console, so the program shares ours: a
    // console of the test's own, since the one a test inherits (none under
    // CTest, or wine's stand-in) may not carry them. A group of its own, so
    // that the event reaches this program only.
    static const bool ownConsole = [] {
        ::FreeConsole();
        return ::AllocConsole() != 0;
    }();
    static_cast<void>(ownConsole);
    const BOOL ok = ::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                                     nullptr, nullptr, &startup, &started);
    ::CloseHandle(file);
    ::CloseHandle(in);
    if (!ok) throw std::runtime_error("cannot start " + arguments[0]);
    ::CloseHandle(started.hThread);
    handle_ = reinterpret_cast<std::uintptr_t>(started.hProcess);
    id_ = started.dwProcessId;
}

ChildProcess::~ChildProcess() {
    signal(0);
    if (!wait(std::chrono::milliseconds(3000))) {
        ::TerminateProcess(handleOf(handle_), 1);
        ::WaitForSingleObject(handleOf(handle_), INFINITE);
    }
    ::CloseHandle(handleOf(handle_));
    ::DeleteFileA(outputPath_.c_str());
}

// Windows takes only a Ctrl-Break for one group; wine only a Ctrl-C.
void ChildProcess::signal(int) const {
    if (status_) return;
    const DWORD group = static_cast<DWORD>(id_);
    if (!::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, group)) ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, group);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (status_) return status_;
    if (::WaitForSingleObject(handleOf(handle_), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) return status_;
    DWORD code = 0;
    ::GetExitCodeProcess(handleOf(handle_), &code);
    status_ = static_cast<int>(code);
    return status_;
}

} // namespace karvel::tools::test
