#include "LineEscape.h"

#include <algorithm>
#include <cstring>

namespace karvel {
namespace {

bool printableAscii(unsigned char c) { return c >= 0x20 && c < 0x7F; }

// The length of the well-formed UTF-8 character at `text` (2 to 4 bytes, as
// RFC 3629 allows: no overlong forms, no surrogates, nothing past U+10FFFF)
// and its code point; 0 when the bytes there are not one.
std::size_t utf8Character(const unsigned char* text, std::size_t available, unsigned& codePoint) {
    const unsigned char lead = text[0];
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (length > available) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = text[i];
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    return length;
}

bool shownAsEscapes(unsigned codePoint) {
    return (codePoint >= 0x80 && codePoint <= 0x9F) || codePoint == 0x2028 || codePoint == 0x2029;
}

// Writes plain text as far as it fits and other pieces (an escape, a UTF-8
// character) whole; once something did not fit, nothing more is written.
class EscapedWriter {
public:
    EscapedWriter(char* out, std::size_t room) : out_(out), room_(room) {}

    void writePlain(const unsigned char* text, std::size_t length) {
        if (cut_) return;
        const std::size_t taken = std::min(length, room_ - used_);
        std::memcpy(out_ + used_, text, taken);
        used_ += taken;
        cut_ = taken < length;
    }
    void write(const unsigned char* text, std::size_t length) {
        if (cut_ || length > room_ - used_) {
            cut_ = true;
            return;
        }
        std::memcpy(out_ + used_, text, length);
        used_ += length;
    }
    void escape(unsigned char c) {
        const char* named = c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : nullptr;
        if (named != nullptr) {
            write(reinterpret_cast<const unsigned char*>(named), 2);
            return;
        }
        static const char kDigits[] = "0123456789ABCDEF";
        const unsigned char text[4] = {'\\', 'x', static_cast<unsigned char>(kDigits[c >> 4]),
                                       static_cast<unsigned char>(kDigits[c & 0x0F])};
        write(text, sizeof text);
    }
    std::size_t used() const { return used_; }
    bool cut() const { return cut_; }

private:
    char* const out_;
    const std::size_t room_;
    std::size_t used_ = 0;
    bool cut_ = false;
};

} // namespace

std::size_t writeEscaped(char* out, std::size_t room, const char* text, std::size_t length, bool& cut) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    EscapedWriter writer(out, room);
    for (std::size_t i = 0; i < length && !writer.cut();) {
        std::size_t plain = i;
        while (plain < length && printableAscii(bytes[plain])) ++plain;
        if (plain > i) {
            writer.writePlain(bytes + i, plain - i);
            i = plain;
            continue;
        }
        unsigned codePoint = 0;
        const std::size_t size = bytes[i] >= 0x80 ? utf8Character(bytes + i, length - i, codePoint) : 0;
        if (size == 0) {
            writer.escape(bytes[i]);
            ++i;
        } else if (shownAsEscapes(codePoint)) {
            for (std::size_t k = 0; k < size; ++k) writer.escape(bytes[i + k]);
            i += size;
        } else {
            writer.write(bytes + i, size);
            i += size;
        }
    }
    cut = writer.cut();
    return writer.used();
}

void escapeLine(char* line, std::size_t size) {
    std::size_t start = 0;
    while (printableAscii(static_cast<unsigned char>(line[start]))) ++start;
    if (line[start] == '\0') return; // the usual line: nothing to do
    char rest[1024];
    const std::size_t restLength = std::strlen(line + start);
    std::memcpy(rest, line + start, restLength);
    bool cut = false;
    const std::size_t written = writeEscaped(line + start, size - 1 - start, rest, restLength, cut);
    line[start + written] = '\0';
}

} // namespace karvel
