#include "export/node_file.h"

#include <cctype>

#include "platform/max/path_separator.h"

namespace exporter {

namespace {

// Windows reads "CON.kvo" and the like as devices, whatever the extension.
bool IsDeviceName(const std::string& nodeName) {
    std::string base = nodeName.substr(0, nodeName.find('.'));
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

// Characters Windows forbids in file names; a colon would otherwise name an
// alternate data stream of another file.
bool HasForbiddenCharacter(const std::string& nodeName) {
    for (unsigned char c : nodeName) {
        if (c < 32 || std::string("<>:\"|?*").find(static_cast<char>(c)) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string NodeFileName(const std::string& nodeName) {
    return nodeName + ".kvo";
}

std::string OutputPath(const std::string& outputDir, const std::string& fileName) {
    std::string path = outputDir;
    path += kPathSeparator;
    path += fileName;
    return path;
}

std::string FileNameProblem(const std::string& nodeName) {
    if (nodeName == "." || nodeName == "..") return "the name is '" + nodeName + "'";
    if (nodeName.find_first_of("/\\") != std::string::npos) {
        return "the name holds a path separator";
    }
#ifdef _WIN32
    return WindowsFileNameProblem(nodeName);
#else
    return {};
#endif
}

std::string WindowsFileNameProblem(const std::string& nodeName) {
    if (HasForbiddenCharacter(nodeName)) return "the name holds a character Windows forbids";
    if (IsDeviceName(nodeName)) return "the name is a Windows device name";
    return {};
}

bool IsPlainFileName(const std::string& nodeName) {
    return FileNameProblem(nodeName).empty();
}

}  // namespace exporter
