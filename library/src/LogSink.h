// Where every library log line goes: the host's callback, or the platform's
// debugger output when none is registered. One line per call, formatted on the
// caller's stack (LineFormat, which escapes host text so that a line never
// holds a line end or a control character), never longer than kMaxLineLength
// characters.
//
// Identical ERROR lines are held back and counted (RepeatedLineFilter), so an
// error met on every frame gives one line and then a count at most once a
// second. DEBUG and INFO lines take no lock; ERROR lines take a short one
// around the filter, never around the callback.
//
// The callback's life:
// - Replacing it from outside a callback returns only once no thread is still
//   inside, or about to enter, a callback it replaced, so the host may unload
//   the old callback's code as soon as the call returns; a host must not hold,
//   while it replaces the callback, a lock that its callback takes.
// - Replacing it from inside a callback (on the thread inside) only stores the
//   new one: waiting there could wait for itself, or for a thread that waits
//   for it. Other threads may still be inside the old one when it returns.
// - A line that a callback causes on its own thread (by calling into the
//   library) enters the callback again, but only kMaxCallbackDepth deep in all;
//   deeper lines go to the debugger output.
// - close() ends the callback's use for good (the library's unload, the
//   process's exit): lines go to the debugger output from then on, and later
//   replacements are ignored. The process-wide sink registers a handler that
//   closes it when the process begins to exit (ExitAnchors).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <mutex>

#include "CallbackUsers.h"
#include "ExitAnchors.h"
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
    static constexpr int kMaxCallbackDepth = 2;
    // How long a close waits for threads still inside the callback.
    static constexpr std::chrono::milliseconds kCloseWait{1000};

    // `closeAtExit`: for the process-wide sink, a function that closes it, to
    // be run when the process begins to exit; null for any other sink.
    explicit LogSink(net::ExitHandler closeAtExit = nullptr) : anchors_(closeAtExit) {}

    // Each line reads the field once, so it goes to exactly one destination.
    void setCallback(LogCallback target);
    // Waits up to `waitForThreadsInside` for the threads inside the callback
    // (not at all when it is zero: at the unload, under the loader's lock).
    void close(std::chrono::milliseconds waitForThreadsInside);
    // The callback in force; null when there is none or the sink was closed.
    LogCallback callback() const;
    // Whether the calling thread is inside a log callback.
    static bool insideCallback();

    void log(int level, const char* format, ...) KARVEL_PRINTF(3, 4);
    void vlog(int level, const char* format, va_list arguments);
    // Passes on the counts of ERROR lines still held back.
    void flushRepeats();

private:
    void deliver(int level, const char* line);
    void deliverAll(int level, const RepeatedLineFilter::Output& lines);
    // Stores `target` unless the sink was closed; false when it was.
    bool publish(LogCallback target);

    std::atomic<LogCallback> callback_{nullptr};
    CallbackUsers users_;
    std::mutex replaceSerial_; // replacements that wait, one at a time
    ExitAnchors anchors_;

    std::mutex repeatMutex_;
    RepeatedLineFilter repeats_;
};

} // namespace karvel

namespace karvel {

// Logs through the process-wide seat controller's sink; what every component calls.
void logLine(int level, const char* format, ...) KARVEL_PRINTF(2, 3);

} // namespace karvel
