#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "Terminal.h"

namespace karvel::cli::terminal {

namespace {

HANDLE handleOf(Stream stream) {
    switch (stream) {
    case Stream::Input: return ::GetStdHandle(STD_INPUT_HANDLE);
    case Stream::Output: return ::GetStdHandle(STD_OUTPUT_HANDLE);
    case Stream::Error: return ::GetStdHandle(STD_ERROR_HANDLE);
    }
    return ::GetStdHandle(STD_ERROR_HANDLE);
}

void enableEscapes(Stream stream) {
    DWORD mode = 0;
    const HANDLE handle = handleOf(stream);
    if (::GetConsoleMode(handle, &mode)) ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

} // namespace

// The bar's escape sequences need the console's terminal processing; the
// host's text (file names, library lines) is UTF-8.
void prepare() {
    enableEscapes(Stream::Output);
    enableEscapes(Stream::Error);
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
}

// A console, not a file, a pipe or the NUL device (which _isatty calls a
// terminal).
std::vector<std::string> commandLine(int argc, char** argv) {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> words(::CommandLineToArgvW(::GetCommandLineW(), &count),
                                                               &::LocalFree);
    if (!words) return {argv, argv + argc};
    std::vector<std::string> line;
    for (int i = 0; i < count; ++i) {
        const wchar_t* word = words.get()[i];
        const int length = ::WideCharToMultiByte(CP_UTF8, 0, word, -1, nullptr, 0, nullptr, nullptr);
        std::string text(length > 0 ? static_cast<std::size_t>(length - 1) : 0, '\0');
        if (length > 1) ::WideCharToMultiByte(CP_UTF8, 0, word, -1, text.data(), length, nullptr, nullptr);
        line.push_back(std::move(text));
    }
    return line;
}

bool isTerminal(Stream stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(handleOf(stream), &mode) != 0;
}

int columns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(handleOf(Stream::Error), &info)) {
        const int width = info.srWindow.Right - info.srWindow.Left + 1;
        if (width > 0) return width;
    }
    return 80;
}

} // namespace karvel::cli::terminal
