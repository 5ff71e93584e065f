// Names from scene files as they may be shown on a terminal: valid UTF-8 is
// kept, while control characters, DEL and bytes that are not valid UTF-8
// become \xNN, so a name can never move the cursor or change the terminal.
#pragma once

#include <string>

namespace kvocli {

std::string PrintableText(const std::string& text);
// The printable text in single quotes.
std::string Quoted(const std::string& text);
// Whether the text holds a NUL or another C0 control character, or DEL.
bool HasControlCharacter(const std::string& text);

}  // namespace kvocli
