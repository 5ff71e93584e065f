// Names from scene files as they may be shown on a terminal: valid UTF-8 is
// kept, while control characters, DEL and bytes that are not valid UTF-8
// become \xNN, so a name can never move the cursor or change the terminal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvochecks {

// One UTF-8 character at `at`: its length in bytes and its code point in
// `code`; 0 for a broken, cut, overlong or surrogate sequence.
size_t DecodeUtf8(const std::string& text, size_t at, uint32_t& code);
// Whether a code point shows as itself: not a C0 or C1 control, not DEL
// (C1 controls act on terminals as their 8-bit forms do).
bool IsPrintableCode(uint32_t code);

std::string PrintableText(const std::string& text);
// The printable text in single quotes.
std::string Quoted(const std::string& text);
// Whether the text holds a NUL or another C0 control character, or DEL.
bool HasControlCharacter(const std::string& text);

}  // namespace kvochecks
