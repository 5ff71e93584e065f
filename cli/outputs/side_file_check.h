// Checks the side files a plug-in lifetime wrote, after it has closed them:
// the plug-in does not report its own write failures, so a full disk, a
// file-size limit or a folder in the way would otherwise go unnoticed.
#pragma once

#include <string>
#include <vector>

namespace kvooutputs {

struct SideFileCheck {
    std::string dir;                      // where the lifetime wrote
    std::vector<std::string> asked;       // side file names an Export asked for
    std::vector<std::string> kvoWritten;  // the .kvo files written in the lifetime
};

// One message per side file that is missing, not a regular file, cut at the
// file-size limit, or cut short (an incomplete last line; in geometry.ini no
// closing brace or no entry for a written file; in the log no line for one).
// Each message starts with the file's name; empty when all are whole.
std::vector<std::string> CheckSideFiles(const SideFileCheck& check);

}  // namespace kvooutputs
