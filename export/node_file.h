// File names and paths of exported nodes.
#pragma once

#include <string>

namespace exporter {

// The node's file name: the name unchanged followed by ".kvo".
std::string NodeFileName(const std::string& nodeName);

// The output directory, the platform's path separator and a file name.
std::string OutputPath(const std::string& outputDir, const std::string& fileName);

// True when a node name can only name a file inside the output directory: it
// holds no "/" or "\\" and is neither "." nor ".."; on Windows it also holds
// no character that Windows forbids in file names and names no device.
bool IsPlainFileName(const std::string& nodeName);

}  // namespace exporter
