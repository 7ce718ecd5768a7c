#include "LineEscape.h"

#include <cstring>

namespace karvel {
namespace {

bool printableAscii(unsigned char c) { return c >= 0x20 && c < 0x7F; }

// The length of the well-formed UTF-8 character at `text` (2 to 4 bytes, as
// RFC 3629 allows: no overlong forms, no surrogates, nothing past U+10FFFF)
// and its code point; 0 when the bytes there are not one.
std::size_t utf8Character(const unsigned char* text, unsigned& codePoint) {
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

// Writes whole pieces only; once one does not fit, nothing more is written.
class EscapedWriter {
public:
    EscapedWriter(char* out, std::size_t size) : out_(out), room_(size - 1) {}

    void write(const char* text, std::size_t length) {
        if (full_ || length > room_ - used_) {
            full_ = true;
            return;
        }
        std::memcpy(out_ + used_, text, length);
        used_ += length;
    }
    void escape(unsigned char c) {
        switch (c) {
        case '\n': write("\\n", 2); return;
        case '\r': write("\\r", 2); return;
        case '\t': write("\\t", 2); return;
        default: break;
        }
        static const char kDigits[] = "0123456789ABCDEF";
        const char text[4] = {'\\', 'x', kDigits[c >> 4], kDigits[c & 0x0F]};
        write(text, sizeof text);
    }
    void finish() { out_[used_] = '\0'; }

private:
    char* const out_;
    const std::size_t room_;
    std::size_t used_ = 0;
    bool full_ = false;
};

} // namespace

void escapeLine(char* line, std::size_t size) {
    std::size_t start = 0;
    while (printableAscii(static_cast<unsigned char>(line[start]))) ++start;
    if (line[start] == '\0') return; // the usual line: nothing to do
    unsigned char rest[1024];
    const std::size_t restLength = std::strlen(line + start);
    std::memcpy(rest, line + start, restLength + 1);
    EscapedWriter out(line + start, size - start);
    for (std::size_t i = 0; i < restLength;) {
        const unsigned char c = rest[i];
        if (printableAscii(c)) {
            out.write(reinterpret_cast<const char*>(rest + i), 1);
            ++i;
            continue;
        }
        unsigned codePoint = 0;
        const std::size_t length = c >= 0x80 ? utf8Character(rest + i, codePoint) : 0;
        if (length == 0) {
            out.escape(c);
            ++i;
        } else if (shownAsEscapes(codePoint)) {
            for (std::size_t k = 0; k < length; ++k) out.escape(rest[i + k]);
            i += length;
        } else {
            out.write(reinterpret_cast<const char*>(rest + i), length);
            i += length;
        }
    }
    out.finish();
}

} // namespace karvel
