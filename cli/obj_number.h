// Numbers of OBJ and .mtl files, parsed exactly: a float is the correctly
// rounded value of its text, the value strtof gives.
#pragma once

#include <fast_float/fast_float.h>

#include <cstdint>
#include <system_error>

namespace kvoscene {

// A whole token as a float. Only plain decimal numbers are taken: an optional
// '-', then digits (or '.' and digits), an optional exponent; the text must
// start as the importer's own number test expects, with a digit or '-'.
inline bool ParseObjFloat(const char* first, const char* last, float& out) {
    if (first == last) return false;
    const char* digits = *first == '-' ? first + 1 : first;
    if (digits == last) return false;
    const char c = *digits;
    if (!((c >= '0' && c <= '9') || (c == '.' && digits == first + 1))) return false;
    const fast_float::from_chars_result r =
        fast_float::from_chars(first, last, out, fast_float::chars_format::general);
    return r.ec == std::errc() && r.ptr == last;
}

// A face index: an optional '-' and a decimal number without leading zeros
// that fits in an int (the importer counts its characters by its value).
inline bool ParseObjIndex(const char* first, const char* last, int32_t& out) {
    bool negative = false;
    if (first != last && *first == '-') {
        negative = true;
        ++first;
    }
    if (first == last || last - first > 10 || *first < '1' || *first > '9') return false;
    int64_t value = 0;
    for (const char* p = first; p != last; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
    }
    if (value > INT32_MAX) return false;
    out = static_cast<int32_t>(negative ? -value : value);
    return true;
}

}  // namespace kvoscene
