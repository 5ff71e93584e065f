#include "cli/printable_text.h"

#include <cstdint>
#include <cstdio>

namespace kvocli {

namespace {

// Length of the valid UTF-8 sequence starting at `i`, or 0.
size_t Utf8Length(const std::string& s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t lead = byte(i);
    size_t n = 0;
    uint32_t cp = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        n = 2, cp = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        n = 3, cp = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        n = 4, cp = lead & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3f);
    }
    const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    const bool surrogate = cp >= 0xd800 && cp <= 0xdfff;
    // C1 controls (U+0080..U+009F) act on terminals as their 8-bit forms do.
    const bool c1 = cp >= 0x80 && cp <= 0x9f;
    if (overlong || surrogate || cp > 0x10ffff || c1) return 0;
    return n;
}

}  // namespace

std::string PrintableText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const uint8_t c = static_cast<uint8_t>(text[i]);
        if (c >= 0x20 && c < 0x7f) {
            out += text[i++];
            continue;
        }
        const size_t n = c >= 0x80 ? Utf8Length(text, i) : 0;
        if (n > 0) {
            out.append(text, i, n);
            i += n;
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02x", c);
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

}  // namespace kvocli
