#include "LogSink.h"

#include "Deadline.h"
#include "LineFormat.h"
#include "platform/SocketServices.h"

namespace karvel {
namespace {

// How many callbacks the calling thread is inside, nested.
thread_local int callbackDepth = 0;

// Stands in the callback field once the sink is closed; never called.
void closedSink(int, const char*) {}

} // namespace

bool LogSink::insideCallback() { return callbackDepth > 0; }

LogCallback LogSink::callback() const {
    const LogCallback current = callback_.load();
    return current == &closedSink ? nullptr : current;
}

bool LogSink::publish(LogCallback target) {
    LogCallback current = callback_.load();
    do {
        if (current == &closedSink) return false;
    } while (!callback_.compare_exchange_weak(current, target));
    if (target != nullptr) anchors_.installed(target);
    return true;
}

void LogSink::setCallback(LogCallback target) {
    if (callbackDepth > 0) {
        publish(target);
        return;
    }
    std::lock_guard<std::mutex> serial(replaceSerial_);
    if (publish(target)) users_.waitForOlder();
}

void LogSink::close(std::chrono::milliseconds waitForThreadsInside) {
    anchors_.close();
    if (callback_.exchange(&closedSink) == &closedSink) return;
    // A thread that outlives the wait is one the host blocked inside its own callback.
    if (waitForThreadsInside.count() > 0) users_.waitForAllBut(callbackDepth, waitForThreadsInside);
}

void LogSink::deliver(int level, const char* line) {
    if (callbackDepth < kMaxCallbackDepth) {
        const unsigned generation = users_.enter();
        const LogCallback target = callback_.load();
        if (target != nullptr && target != &closedSink) {
            ++callbackDepth;
            target(level, line);
            --callbackDepth;
            users_.leave(generation);
            anchors_.returned(target);
            return;
        }
        users_.leave(generation);
    }
    net::writeDebugOutput(line);
}

void LogSink::deliverAll(int level, const RepeatedLineFilter::Output& lines) {
    for (std::size_t i = 0; i < lines.count; ++i) deliver(level, lines.lines[i]);
}

void LogSink::log(int level, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    vlog(level, format, arguments);
    va_end(arguments);
}

void LogSink::vlog(int level, const char* format, va_list arguments) {
    char line[kMaxLineLength + 1];
    formatLine(line, sizeof line, format, arguments);
    if (level != kLogError) {
        deliver(level, line);
        return;
    }
    RepeatedLineFilter::Output passed;
    {
        std::lock_guard<std::mutex> lock(repeatMutex_);
        repeats_.admit(line, steadyNowNs(), passed);
    }
    deliverAll(level, passed);
}

void LogSink::flushRepeats() {
    RepeatedLineFilter::Output held;
    {
        std::lock_guard<std::mutex> lock(repeatMutex_);
        repeats_.flush(held);
    }
    deliverAll(kLogError, held);
}

} // namespace karvel
