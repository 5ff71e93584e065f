// A fresh directory per test under the system's temporary directory, named
// after the test and the process, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

class ScratchDir {
public:
    // `prefix` names the suite in the directory's name.
    explicit ScratchDir(const std::string& prefix = "kvoexp");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Root() const { return root_; }
    // A path inside the directory; the directory itself when `relative` is empty.
    std::string Path(const std::string& relative = "") const;
    // A subdirectory, created.
    std::string Sub(const std::string& relative) const;

private:
    std::filesystem::path root_;
};

}  // namespace testsupport
