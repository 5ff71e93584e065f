// Numbers of OBJ and .mtl files, parsed exactly: a float is the correctly
// rounded value of its text, the value strtof gives.
#pragma once

#include <fast_float/fast_float.h>

#include <cstdint>
#include <system_error>

namespace kvoimport {

// A number at `first` as a float; the end of its text, or nullptr when none
// starts there. Only plain decimal numbers are taken: an optional '-', then
// digits (or '.' and digits), an optional exponent; the text must start as
// the importer's own number test expects, with a digit or '-'.
inline const char* ScanObjFloat(const char* first, const char* last, float& out) {
    if (first == last) return nullptr;
    const char* digits = *first == '-' ? first + 1 : first;
    if (digits == last) return nullptr;
    const char c = *digits;
    if (!((c >= '0' && c <= '9') || (c == '.' && digits == first + 1))) return nullptr;
    const fast_float::from_chars_result r =
        fast_float::from_chars(first, last, out, fast_float::chars_format::general);
    return r.ec == std::errc() ? r.ptr : nullptr;
}

// A whole token as a float.
inline bool ParseObjFloat(const char* first, const char* last, float& out) {
    return ScanObjFloat(first, last, out) == last;
}

// A face index at `first`: an optional '-' and a decimal number without
// leading zeros that fits in an int (the importer counts its characters by
// its value). The end of its text, or nullptr.
inline const char* ScanObjIndex(const char* first, const char* last, int32_t& out) {
    bool negative = false;
    if (first != last && *first == '-') {
        negative = true;
        ++first;
    }
    if (first == last || *first < '1' || *first > '9') return nullptr;
    int64_t value = 0;
    const char* p = first;
    for (; p != last && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT32_MAX) return nullptr;
    }
    out = static_cast<int32_t>(negative ? -value : value);
    return p;
}

// A whole token as a face index.
inline bool ParseObjIndex(const char* first, const char* last, int32_t& out) {
    return ScanObjIndex(first, last, out) == last;
}

}  // namespace kvoimport
