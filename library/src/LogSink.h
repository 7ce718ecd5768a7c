// Where every library log line goes: the host's callback, or the platform's
// debugger output when none is registered. One line per call, formatted on the
// caller's stack, never longer than kMaxLineLength characters.
//
// Identical ERROR lines are held back and counted (RepeatedLineFilter), so an
// error met on every frame gives one line and then a count at most once a
// second. DEBUG and INFO lines take no lock; ERROR lines take a short one
// around the filter, never around the callback.
//
// Replacing the callback: setCallback returns only once no thread is still
// inside the callback it replaced, so the host may unload the old callback's
// code as soon as the call returns. A callback that replaces itself is the
// one exception (it cannot wait for itself); a host must not hold, while it
// calls setCallback, a lock that its callback takes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <mutex>

#include "Karvel.h"
#include "RepeatedLineFilter.h"

#if defined(__MINGW32__)
#define KARVEL_PRINTF(formatIndex, firstArgument) __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#else
#define KARVEL_PRINTF(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#endif

namespace karvel {

enum LogLevel : int { kLogDebug = KARVEL_LOG_DEBUG, kLogInfo = KARVEL_LOG_INFO, kLogError = KARVEL_LOG_ERROR };

class LogSink {
public:
    static constexpr int kMaxLineLength = 1023;

    // Each line reads the field once, so it goes to exactly one destination.
    void setCallback(LogCallback target);
    // For the library's unload, when the loader's lock is held: lines go to
    // the debugger output from now on, without waiting for anyone.
    void dropCallback() { callback_.store(nullptr); }
    LogCallback callback() const { return callback_.load(); }

    void log(int level, const char* format, ...) KARVEL_PRINTF(3, 4);
    void vlog(int level, const char* format, va_list arguments);
    // Passes on the counts of ERROR lines still held back.
    void flushRepeats();

private:
    void deliver(int level, const char* line);
    void deliverAll(int level, const RepeatedLineFilter::Output& lines);

    std::atomic<LogCallback> callback_{nullptr};

    // Threads inside deliver, counted per generation of the callback: a
    // replacement waits for the older generation only, so a flood of lines
    // through the new callback cannot keep it waiting.
    std::atomic<unsigned> generation_{0};
    std::atomic<int> delivering_[2] = {{0}, {0}};
    std::atomic<bool> replacing_{false};
    std::mutex replaceSerial_;
    std::mutex replaceMutex_;
    std::condition_variable replaced_;

    std::mutex repeatMutex_;
    RepeatedLineFilter repeats_;
};

} // namespace karvel

namespace karvel {

// Logs through the process-wide seat controller's sink; what every component calls.
void logLine(int level, const char* format, ...) KARVEL_PRINTF(2, 3);

} // namespace karvel
