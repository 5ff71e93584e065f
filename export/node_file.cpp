#include "export/node_file.h"

#include "platform/max/path_separator.h"

namespace exporter {

std::string NodeFileName(const std::string& nodeName) {
    return nodeName + ".kvo";
}

std::string OutputPath(const std::string& outputDir, const std::string& fileName) {
    std::string path = outputDir;
    path += kPathSeparator;
    path += fileName;
    return path;
}

bool IsPlainFileName(const std::string& nodeName) {
    if (nodeName == "." || nodeName == "..") return false;
    return nodeName.find_first_of("/\\") == std::string::npos;
}

}  // namespace exporter
