// What an export left in a directory, read back through the Windows API.
#pragma once

#include <set>
#include <string>

namespace winhost {

// The names of the plain files in `dir` (no subdirectories).
std::set<std::string> FilesIn(const std::string& dir);
// The whole file, or an empty text when it cannot be read.
std::string ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);
// The text with each line feed preceded by a carriage return, as the
// generated text files store their lines.
std::string WithCrLf(const std::string& text);

}  // namespace winhost
