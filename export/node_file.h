// File names and paths of exported nodes.
#pragma once

#include <string>

namespace exporter {

// The node's file name: the name unchanged followed by ".kvo".
std::string NodeFileName(const std::string& nodeName);

// The output directory, the platform's path separator and a file name.
std::string OutputPath(const std::string& outputDir, const std::string& fileName);

// Why a node name cannot be a file name inside the output directory, or ""
// when it can: it must hold no "/" or "\\" and be neither "." nor ".."; on
// Windows it must also hold no character that Windows forbids in file names
// and name no device. The save of a node with such a name fails.
std::string FileNameProblem(const std::string& nodeName);

// Why Windows alone refuses the name as a file name (a forbidden character
// or a device name), or "": on other systems such a file is written but
// does not survive a copy to Windows.
std::string WindowsFileNameProblem(const std::string& nodeName);

// FileNameProblem(nodeName) is "".
bool IsPlainFileName(const std::string& nodeName);

}  // namespace exporter
