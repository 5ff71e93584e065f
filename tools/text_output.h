// Quoting of 8-bit texts for the terminal and for JSON, and number formatting.
#pragma once

#include <string>

// The text in double quotes; control and non-ASCII bytes as \xNN.
std::string QuotedText(const std::string& text);

// The text as a JSON string. Valid UTF-8 is kept byte for byte; each byte that
// is not part of a valid UTF-8 sequence (a stray continuation byte, a cut or
// overlong sequence, a surrogate, a code point past U+10FFFF) becomes the
// escape \ufffd, so no byte is ever taken as Latin-1. Quotes, backslashes,
// C0 and C1 control characters and DEL are \-escaped.
std::string JsonString(const std::string& text);

// Shortest form that reads back as the same float; JSON has no NaN or
// infinity, so `json` turns those into null.
std::string FloatText(float value, bool json = false);
