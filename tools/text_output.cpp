#include "tools/text_output.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// The text in double quotes with quotes and backslashes escaped and every other
// byte outside printable ASCII written through `hexFormat`.
std::string Escaped(const std::string& text, const char* hexFormat) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, hexFormat, c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

std::string QuotedText(const std::string& text) {
    return Escaped(text, "\\x%02x");
}

std::string JsonString(const std::string& text) {
    return Escaped(text, "\\u%04x");
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
