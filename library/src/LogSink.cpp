#include "LogSink.h"

#include "Deadline.h"
#include "LineFormat.h"
#include "platform/SocketServices.h"

namespace karvel {
namespace {

// Set while this thread runs inside a callback: a callback that replaces
// itself must not wait for its own return.
thread_local int insideCallback = 0;

} // namespace

void LogSink::setCallback(LogCallback target) {
    std::lock_guard<std::mutex> serial(replaceSerial_);
    callback_.store(target);
    if (insideCallback != 0) return;
    // Threads counted in the old generation may have read the old callback;
    // those counted from here on read `target` or a later one.
    const unsigned old = generation_.fetch_add(1) & 1u;
    std::unique_lock<std::mutex> lock(replaceMutex_);
    replacing_.store(true);
    replaced_.wait(lock, [this, old] { return delivering_[old].load() == 0; });
    replacing_.store(false);
}

void LogSink::deliver(int level, const char* line) {
    const unsigned mine = generation_.load() & 1u;
    delivering_[mine].fetch_add(1);
    if (const LogCallback target = callback_.load()) {
        ++insideCallback;
        target(level, line);
        --insideCallback;
    } else {
        net::writeDebugOutput(line);
    }
    if (delivering_[mine].fetch_sub(1) == 1 && replacing_.load()) {
        std::lock_guard<std::mutex> lock(replaceMutex_);
        replaced_.notify_all();
    }
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
