#include "tools/text_output.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// The text in double quotes with quotes and backslashes escaped and every other
// byte outside printable ASCII written as \xNN.
std::string Escaped(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

bool IsContinuation(unsigned char c) {
    return (c & 0xc0) == 0x80;
}

void AppendUnicodeEscape(std::string& out, unsigned codePoint) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", codePoint);
    out += escape;
}

// Length of the valid UTF-8 sequence at text[at], or 0 when the byte there
// does not start one.
size_t Utf8SequenceLength(const std::string& text, size_t at) {
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xbf;  // range of the second byte (RFC 3629)
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0) low = 0xa0;   // no overlong forms
        if (lead == 0xed) high = 0x9f;  // no surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0) low = 0x90;   // no overlong forms
        if (lead == 0xf4) high = 0x8f;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    if (byte(at + 1) < low || byte(at + 1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (!IsContinuation(byte(at + i))) return 0;
    }
    return length;
}

}  // namespace

std::string QuotedText(const std::string& text) {
    return Escaped(text);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            AppendUnicodeEscape(out, 0xfffd);
            ++at;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            AppendUnicodeEscape(out, c);
        } else if (c == 0xc2 && static_cast<unsigned char>(text[at + 1]) < 0xa0) {
            // C1 controls (U+0080..U+009F) would act on a terminal.
            AppendUnicodeEscape(out, static_cast<unsigned char>(text[at + 1]));
        } else {
            out.append(text, at, length);
        }
        at += length;
    }
    return out + "\"";
}

std::string FloatText(float value, bool json) {
    if (json && !std::isfinite(value)) return "null";
    char text[32];
    for (int precision = 6; precision <= 9; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value || std::isnan(value)) break;
    }
    return text;
}
