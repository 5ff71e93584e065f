// Which .kvo files an export run wrote, told from the files themselves: the
// writer replaces a file by renaming a new one over it, so a written file
// has a new identity (or is new) after the run.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kvooutputs {

struct FileStamp {
    bool exists = false;
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modifiedNs = 0;
    bool operator==(const FileStamp& o) const;
};

FileStamp StampOf(const std::string& path);

class FileWatch {
public:
    // Records the files' state before the run.
    void Before(const std::vector<std::string>& paths);
    // Whether the file exists now and differs from its recorded state.
    bool Written(const std::string& path) const;

private:
    std::map<std::string, FileStamp> before_;
};

}  // namespace kvooutputs
