// Remembers which node wrote each file in one invocation, so that a file
// written twice is reported with both writers.
#pragma once

#include <map>
#include <string>

namespace kvocli {

class WrittenFiles {
public:
    // Returns the earlier writer's description, or "" for a first write.
    std::string Record(const std::string& path, const std::string& writer);

private:
    std::map<std::string, std::string> writers_;
};

}  // namespace kvocli
