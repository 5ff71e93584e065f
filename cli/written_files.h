// Remembers which node wrote each file in one invocation, so that a file
// written twice is reported with both writers.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kvocli {

class WrittenFiles {
public:
    // Returns the earlier writer's description, or "" for a first write.
    std::string Record(const std::string& path, const std::string& writer);
    // Every file recorded, in path order.
    std::vector<std::string> Paths() const;

private:
    std::map<std::string, std::string> writers_;
};

}  // namespace kvocli
