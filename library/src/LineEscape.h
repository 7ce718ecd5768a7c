// Makes host text safe inside a log line. Host text (an address, say) may
// hold a line end, a terminal escape or bytes that are not UTF-8, with which
// it could forge a line of its own or drive the terminal. Each such byte
// becomes printable text:
//   line feed, carriage return and tab: \n, \r, \t
//   any other byte of a control character: \xNN (two upper-case hexadecimal
//     digits); control characters are C0 (0x00-0x1F), DEL (0x7F), and C1
//     (U+0080-U+009F) with the line and paragraph separators (U+2028,
//     U+2029), the last two kinds written in UTF-8
//   a byte that is not part of well-formed UTF-8: \xNN
// A backslash stands for itself. No I/O.
#pragma once

#include <cstddef>

namespace karvel {

// Writes `text` (`length` bytes) escaped into `out`, at most `room` bytes,
// whole escapes and characters only; returns the bytes written. `cut` is set
// when not all of it fitted.
std::size_t writeEscaped(char* out, std::size_t room, const char* text, std::size_t length, bool& cut);

// Escapes the NUL-terminated `line` in place within `size` bytes (at most
// 1024), cut before the first escape or character that no longer fits whole.
void escapeLine(char* line, std::size_t size);

} // namespace karvel
