// The output folder's lock: a second holder is refused at once with the
// message, the holder itself may lock again, and releasing removes the file.
#include "cli/outputs/folder_lock.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/cli_test_support.h"

namespace {

namespace fs = std::filesystem;
using kvooutputs::FolderLocks;

TEST(FolderLock, OneHolderAtATime) {
    clitest::ScratchDir dir;
    const std::string out = dir.Sub("out");
    const std::string lockFile = out + "/" + kvooutputs::kLockFileName;
    FolderLocks first, second;
    std::string error;
    ASSERT_TRUE(first.Lock(out, error)) << error;
    EXPECT_TRUE(fs::exists(lockFile));
    EXPECT_TRUE(first.Lock(out + "/.", error)) << error;  // the same folder, held already
    EXPECT_FALSE(second.Lock(out, error));
    EXPECT_EQ(error, out + ": another kvoexp is exporting into this folder (it holds " + lockFile +
                         "); run again when it has finished");
    first.ReleaseAll();
    EXPECT_FALSE(fs::exists(lockFile));
    EXPECT_TRUE(second.Lock(out, error)) << error;
    second.ReleaseAll();
    EXPECT_FALSE(fs::exists(lockFile));
}

TEST(FolderLock, AFolderThatCannotHoldTheLockIsAnError) {
    clitest::ScratchDir dir;
    FolderLocks locks;
    std::string error;
    EXPECT_FALSE(locks.Lock(dir.Path("missing"), error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    // A link planted as the lock file is not followed.
    const std::string out = dir.Sub("out");
    fs::create_symlink(dir.Path("elsewhere"), out + "/" + kvooutputs::kLockFileName);
    EXPECT_FALSE(locks.Lock(out, error));
    EXPECT_NE(error.find("cannot make the folder's lock file"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir.Path("elsewhere")));
}

// The folder renamed, or renamed and replaced by a link to another folder
// that holds a lock file of its own, while locked: releasing removes the lock
// file from the folder as locked and leaves the other folder's alone.
TEST(FolderLock, ReleaseRemovesTheFileFromTheFolderAsLocked) {
    for (const bool link : {false, true}) {
        SCOPED_TRACE(link ? "replaced by a link" : "renamed");
        clitest::ScratchDir dir;
        const std::string out = dir.Sub("out"), moved = dir.Path("moved");
        const std::string other = dir.Sub("other");
        clitest::WriteFile(other + "/" + kvooutputs::kLockFileName, "");
        FolderLocks locks;
        std::string error;
        ASSERT_TRUE(locks.Lock(out, error)) << error;
        fs::rename(out, moved);
        if (link) fs::create_directory_symlink(other, out);
        locks.Release(out);
        EXPECT_FALSE(fs::exists(moved + "/" + kvooutputs::kLockFileName));
        EXPECT_TRUE(fs::exists(other + "/" + kvooutputs::kLockFileName));
    }
}

}  // namespace
