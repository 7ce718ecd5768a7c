// Where every library log line goes: the host's callback, or the platform's
// debugger output when none is registered. One line per call, formatted on the
// caller's stack, never longer than kMaxLineLength characters.
#pragma once

#include <atomic>
#include <cstdarg>

#include "Karvel.h"

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

    // The host may change the callback while library threads log: each line
    // reads the field once, so it goes to exactly one destination.
    void setCallback(LogCallback target) { callback_.store(target, std::memory_order_release); }
    LogCallback callback() const { return callback_.load(std::memory_order_acquire); }

    void log(int level, const char* format, ...) const KARVEL_PRINTF(3, 4);
    void vlog(int level, const char* format, va_list arguments) const;

private:
    std::atomic<LogCallback> callback_{nullptr};
};

} // namespace karvel

namespace karvel {

// Logs through the process-wide seat controller's sink; what every component calls.
void logLine(int level, const char* format, ...) KARVEL_PRINTF(2, 3);

} // namespace karvel
