// Quoting of 8-bit texts for the terminal and for JSON, and number formatting.
#pragma once

#include <string>

// The text in double quotes; control and non-ASCII bytes as \xNN.
std::string QuotedText(const std::string& text);
// The text as a JSON string; bytes above 0x7F are taken as Latin-1.
std::string JsonString(const std::string& text);
// Shortest form that reads back as the same float; JSON has no NaN or
// infinity, so `json` turns those into null.
std::string FloatText(float value, bool json = false);
