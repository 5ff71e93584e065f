// Remembers which node wrote each file in one plug-in lifetime, so that a
// file written twice, or two files whose names differ only in letter case
// (one file on Windows), are reported with both writers; and lists the files.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace kvochecks {

struct EarlierWrite {
    std::string writer;  // "" when the path is new
    std::string path;    // the earlier path: the same, or differing only in case
};

struct WrittenFile {
    std::string path;
    std::string scene;  // the scene file whose export wrote it last
};

class WrittenFiles {
public:
    // Records the write and returns the earlier write of the same name in
    // any letter case, if there was one.
    EarlierWrite Record(const std::string& path, const std::string& writer,
                        const std::string& scene);
    // Every file written, in the order of its first write.
    const std::vector<WrittenFile>& Files() const { return files_; }
    // Every file recorded, in path order.
    std::vector<std::string> Paths() const;

private:
    struct Entry {
        EarlierWrite last;
        size_t index = 0;  // into files_ of the exact path, when it is there
    };
    std::map<std::string, Entry> byFoldedPath_;
    std::map<std::string, size_t> indexOfPath_;
    std::vector<WrittenFile> files_;
};

}  // namespace kvochecks
