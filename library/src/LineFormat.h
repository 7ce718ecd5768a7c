// Formats one log line as vsnprintf would, quickly for the conversions the
// library's lines use: %d, %u, %llu, %s, %%, %.Nf and %0NX. Every posture
// call formats seven lines of fixed-point numbers, and the C library's float
// conversion was most of that call's cost. A format with any other
// conversion is handed to vsnprintf whole. Numbers always take '.' as the
// decimal point, whatever the host's locale. Text from %s arguments (host
// text among it) is escaped (LineEscape), so that a line never holds a line
// end or a control character; the format's own text is the library's. No I/O.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace karvel {

// Writes at most size - 1 characters and a NUL (size > 0), truncating like vsnprintf.
void formatLine(char* out, std::size_t size, const char* format, va_list arguments);

} // namespace karvel
