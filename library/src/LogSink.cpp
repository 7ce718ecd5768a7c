#include "LogSink.h"

#include <cstdio>

#include "platform/SocketServices.h"

namespace karvel {

void LogSink::log(int level, const char* format, ...) const {
    va_list arguments;
    va_start(arguments, format);
    vlog(level, format, arguments);
    va_end(arguments);
}

void LogSink::vlog(int level, const char* format, va_list arguments) const {
    char line[kMaxLineLength + 1];
    if (std::vsnprintf(line, sizeof line, format, arguments) < 0) line[0] = '\0';
    if (const LogCallback target = callback()) {
        target(level, line);
    } else {
        net::writeDebugOutput(line);
    }
}

} // namespace karvel
