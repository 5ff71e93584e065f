#include "cli/checks/printable_text.h"

#include <cstdint>
#include <cstdio>

namespace kvochecks {

size_t DecodeUtf8(const std::string& text, size_t at, uint32_t& code) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    if (first < 0x80) {
        code = first;
        return 1;
    }
    size_t length = 0;
    uint32_t min = 0;
    if ((first & 0xe0) == 0xc0) {
        length = 2, code = first & 0x1f, min = 0x80;
    } else if ((first & 0xf0) == 0xe0) {
        length = 3, code = first & 0x0f, min = 0x800;
    } else if ((first & 0xf8) == 0xf0) {
        length = 4, code = first & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xc0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3f);
    }
    if (code < min || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
    return length;
}

bool IsPrintableCode(uint32_t code) {
    return code >= 0x20 && code != 0x7f && !(code >= 0x80 && code < 0xa0);
}

std::string PrintableText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint32_t code = 0;
        const size_t n = DecodeUtf8(text, i, code);
        if (n > 0 && IsPrintableCode(code)) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[i]));
        out += escape;
        ++i;
    }
    return out;
}

std::string Quoted(const std::string& text) {
    return "'" + PrintableText(text) + "'";
}

bool HasControlCharacter(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) return true;
    }
    return false;
}

}  // namespace kvochecks
