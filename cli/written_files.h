// Remembers which node wrote each file in one invocation, so that a file
// written twice is reported with both writers, and lists the files written.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kvocli {

struct WrittenFile {
    std::string path;
    std::string scene;  // the scene file whose export wrote it last
};

class WrittenFiles {
public:
    // Returns the earlier writer's description, or "" for a first write.
    std::string Record(const std::string& path, const std::string& writer,
                       const std::string& scene);
    // Every file written, in the order of its first write.
    const std::vector<WrittenFile>& Files() const { return files_; }

private:
    struct Entry {
        std::string writer;
        size_t index = 0;  // into files_
    };
    std::map<std::string, Entry> writers_;
    std::vector<WrittenFile> files_;
};

}  // namespace kvocli
