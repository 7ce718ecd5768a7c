#include "Console.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "LogFile.h"
#include "Terminal.h"

namespace karvel::cli::console {

namespace {

std::mutex consoleMutex; // standard error and the bar
std::string bar;         // guarded by consoleMutex
// Written under consoleMutex; read without it by results, which need the
// lock only to clear a bar shown: standard output never waits for a
// standard error that a slow reader holds up.
std::atomic<bool> barShown{false};
std::mutex outputMutex; // standard output
std::atomic<LogFile*> logFile{nullptr};

// Return to the row's start and erase it.
constexpr const char* kClearRow = "\r\033[K";

void write(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

} // namespace

void printResult(const std::string& line) {
    if (!barShown) {
        std::lock_guard<std::mutex> lock(outputMutex);
        write(stdout, line + "\n");
    } else {
        std::lock_guard<std::mutex> lock(consoleMutex);
        std::lock_guard<std::mutex> output(outputMutex);
        write(stderr, kClearRow);
        write(stdout, line + "\n");
        write(stderr, bar);
    }
    logOnly(line);
}

void printLine(const std::string& line) {
    {
        std::lock_guard<std::mutex> lock(consoleMutex);
        write(stderr, barShown ? kClearRow + line + "\n" + bar : line + "\n");
    }
    logOnly(line);
}

void logOnly(const std::string& line) {
    if (LogFile* file = logFile.load()) file->write(line);
}

void showBar(const std::string& text) {
    // The last column stays free: a terminal that wraps on it would break the row.
    const auto width = static_cast<std::size_t>(terminal::columns() - 1);
    std::lock_guard<std::mutex> lock(consoleMutex);
    bar = text.substr(0, width);
    barShown = true;
    write(stderr, kClearRow + bar);
}

void endBar() {
    std::lock_guard<std::mutex> lock(consoleMutex);
    if (!barShown) return;
    barShown = false;
    write(stderr, "\n");
}

void barEndedByUser() {
    std::lock_guard<std::mutex> lock(consoleMutex);
    barShown = false;
}

void copyTo(LogFile* file) { logFile.store(file); }

std::string format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

} // namespace karvel::cli::console
