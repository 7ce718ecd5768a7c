#include "LineFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "LineEscape.h"

namespace karvel {
namespace {

// Appends to a fixed buffer, dropping what does not fit: once something was
// cut, nothing more is written.
class LineWriter {
public:
    LineWriter(char* out, std::size_t size) : out_(out), room_(size - 1) {}

    void append(const char* text, std::size_t length) {
        if (cut_) return;
        const std::size_t taken = std::min(length, room_ - used_);
        std::memcpy(out_ + used_, text, taken);
        used_ += taken;
        cut_ = taken < length;
    }
    void append(char c) { append(&c, 1); }
    // Host text: escaped, so that it never brings a line end or a control character into the line.
    void appendEscaped(const char* text) {
        if (cut_) return;
        used_ += writeEscaped(out_ + used_, room_ - used_, text, std::strlen(text), cut_);
    }
    void finish() { out_[used_] = '\0'; }

private:
    char* const out_;
    const std::size_t room_;
    std::size_t used_ = 0;
    bool cut_ = false;
};

// One conversion: '%', an optional '0' flag and width, an optional precision,
// an optional "ll", and the conversion character.
struct Conversion {
    bool zeroPad = false;
    int width = 0;
    int precision = -1;
    bool longLong = false;
    char kind = '\0';
};

int readNumber(const char*& cursor) {
    int value = 0;
    while (*cursor >= '0' && *cursor <= '9' && value < 100) value = value * 10 + (*cursor++ - '0');
    return value;
}

// Reads the conversion that starts after a '%'; false for one this file does not do.
bool readConversion(const char*& cursor, Conversion& conversion) {
    if (*cursor == '0') {
        conversion.zeroPad = true;
        ++cursor;
    }
    conversion.width = readNumber(cursor);
    if (*cursor == '.') {
        ++cursor;
        conversion.precision = readNumber(cursor);
    }
    if (cursor[0] == 'l' && cursor[1] == 'l') {
        conversion.longLong = true;
        cursor += 2;
    }
    conversion.kind = *cursor++;
    const bool plain = !conversion.zeroPad && conversion.width == 0 && conversion.precision < 0;
    switch (conversion.kind) {
    case '%':
    case 'd':
    case 's': return plain && !conversion.longLong;
    case 'u': return plain;
    case 'f': return !conversion.zeroPad && conversion.width == 0 && conversion.precision >= 0 &&
                     conversion.precision <= 17 && !conversion.longLong;
    case 'X': return conversion.precision < 0 && (conversion.zeroPad || conversion.width == 0) &&
                     conversion.width <= 16 && !conversion.longLong;
    default: return false;
    }
}

// Two decimals of a value whose significand has at most 24 bits (any float,
// which is what the kinematics log): times 100 it stays exact in a double, so
// the digits are rounded from the exact value, ties to even, as printf rounds.
// False for any other value.
bool appendTwoDecimals(LineWriter& line, double value) {
    const double magnitude = std::fabs(value);
    if (!(magnitude < 1e15) || static_cast<double>(static_cast<float>(magnitude)) != magnitude) return false;
    const double scaled = magnitude * 100.0;
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    auto hundredths = static_cast<unsigned long long>(whole);
    if (fraction > 0.5 || (fraction == 0.5 && (hundredths & 1u) != 0)) ++hundredths;
    char digits[24];
    char* end = digits;
    if (std::signbit(value)) *end++ = '-';
    end = std::to_chars(end, digits + sizeof digits, hundredths / 100).ptr;
    const auto cents = static_cast<unsigned>(hundredths % 100);
    *end++ = '.';
    *end++ = static_cast<char>('0' + cents / 10);
    *end++ = static_cast<char>('0' + cents % 10);
    line.append(digits, static_cast<std::size_t>(end - digits));
    return true;
}

void appendFixed(LineWriter& line, double value, int precision) {
    if (!std::isfinite(value)) {
        // Spelt by the C library: the platforms differ on the sign of a NaN.
        char text[8];
        const int length = std::snprintf(text, sizeof text, "%.*f", precision, value);
        if (length > 0) line.append(text, std::strlen(text));
        return;
    }
    if (precision == 2 && appendTwoDecimals(line, value)) return;
    char digits[352]; // the longest double in fixed notation, with 17 decimals
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, precision);
    line.append(digits, static_cast<std::size_t>(end.ptr - digits));
}

template <typename Integer>
void appendInteger(LineWriter& line, Integer value, int base = 10, bool upper = false, int width = 0) {
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, value, base).ptr;
    if (upper) {
        for (char* c = digits; c != end; ++c)
            if (*c >= 'a' && *c <= 'f') *c = static_cast<char>(*c - 'a' + 'A');
    }
    for (long pad = width - (end - digits); pad > 0; --pad) line.append('0');
    line.append(digits, static_cast<std::size_t>(end - digits));
}

// False, with the line unfinished, at a conversion it does not do.
bool formatKnown(LineWriter& line, const char* format, va_list arguments) {
    for (const char* cursor = format; *cursor != '\0';) {
        const char* percent = std::strchr(cursor, '%');
        if (percent == nullptr) {
            line.append(cursor, std::strlen(cursor));
            break;
        }
        line.append(cursor, static_cast<std::size_t>(percent - cursor));
        cursor = percent;
        ++cursor;
        Conversion conversion;
        if (!readConversion(cursor, conversion)) return false;
        switch (conversion.kind) {
        case '%': line.append('%'); break;
        case 'd': appendInteger(line, va_arg(arguments, int)); break;
        case 'u':
            if (conversion.longLong) appendInteger(line, va_arg(arguments, unsigned long long));
            else appendInteger(line, va_arg(arguments, unsigned));
            break;
        case 'X': appendInteger(line, va_arg(arguments, unsigned), 16, true, conversion.width); break;
        case 'f': appendFixed(line, va_arg(arguments, double), conversion.precision); break;
        case 's': {
            const char* text = va_arg(arguments, const char*);
            if (text == nullptr) text = "(null)";
            line.appendEscaped(text);
            break;
        }
        }
    }
    return true;
}

} // namespace

void formatLine(char* out, std::size_t size, const char* format, va_list arguments) {
    va_list again;
    va_copy(again, arguments);
    LineWriter line(out, size);
    if (formatKnown(line, format, arguments)) {
        line.finish();
    } else if (std::vsnprintf(out, size, format, again) < 0) {
        out[0] = '\0';
    } else {
        escapeLine(out, size); // the whole line: the C library does not tell where its text came from
    }
    va_end(again);
}

} // namespace karvel
