// Remembers which node wrote each file in one plug-in lifetime, so that a
// file written twice, or two files whose names differ only in letter case
// (one file on Windows), are reported with both writers.
#pragma once

#include <map>
#include <string>

namespace kvocli {

struct EarlierWrite {
    std::string writer;  // "" when the path is new
    std::string path;    // the earlier path: the same, or differing only in case
};

class WrittenFiles {
public:
    // Records the write and returns the earlier write of the same name in
    // any letter case, if there was one.
    EarlierWrite Record(const std::string& path, const std::string& writer);

private:
    std::map<std::string, EarlierWrite> byFoldedPath_;
};

}  // namespace kvocli
