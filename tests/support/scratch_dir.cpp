#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>

namespace testsupport {

ScratchDir::ScratchDir(const std::string& prefix) {
    static std::atomic<unsigned> serial{0};
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // The process id and a serial keep concurrent runs (two build trees) and
    // several directories of one test apart.
    std::string name = prefix + "_" + std::to_string(getpid()) + "_" + std::to_string(serial++);
    if (info != nullptr) name += std::string("_") + info->test_suite_name() + "_" + info->name();
    for (char& c : name) {
        if (c == '/') c = '_';  // parameterised test names
    }
    root_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    // Tests may have taken write permission away to make a save fail.
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
}

std::string ScratchDir::Path(const std::string& relative) const {
    return relative.empty() ? root_.string() : (root_ / relative).string();
}

std::string ScratchDir::Sub(const std::string& relative) const {
    const std::string sub = Path(relative);
    std::filesystem::create_directories(sub);
    return sub;
}

}  // namespace testsupport
