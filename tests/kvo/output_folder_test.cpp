// Files written through an open output folder go where the folder is, even
// when its path is renamed or replaced by a link into another tree while they
// are written; device nodes and FIFOs in it are still written through.
#include "kvo/output_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "kvo/output_file.h"
#include "tests/kvo/kvo_test_support.h"

namespace {

namespace fs = std::filesystem;
using kvotest::Bytes;
using kvotest::TempDir;

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool WriteWhole(const std::string& target, const std::string& bytes, const OutputFolder* folder,
                const std::function<void()>& midway, std::string& error) {
    OutputFile file;
    if (!OpenOutputFile(target, file, error, folder)) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.stream) != bytes.size()) {
        DiscardOutputFile(file);
        error = "short write";
        return false;
    }
    midway();
    return CommitOutputFile(file, error);
}

TEST(OutputFolder, NamesDirectlyInTheFolderOnly) {
    TempDir dir;
    const std::string root = dir.path.string();
    OutputFolder folder;
    std::string name, error;
    EXPECT_FALSE(folder.NameIn(root + "/a.kvo", name)) << "a closed folder holds nothing";
    ASSERT_TRUE(folder.Open(root, error)) << error;
    const struct {
        std::string target;
        const char* name;  // null: not directly in the folder
    } cases[] = {
        {root + "/a.kvo", "a.kvo"},
        {root + "//a.kvo", nullptr},  // "/a.kvo" would be read as a path
        {root + "/sub/a.kvo", nullptr},
        {root + "x/a.kvo", nullptr},
        {root + "/", nullptr},
        {root + "/.", nullptr},
        {root + "/..", nullptr},
        {root + "/..kvo", "..kvo"},
        {"a.kvo", nullptr},
        {root, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        name.clear();
        EXPECT_EQ(folder.NameIn(c.target, name), c.name != nullptr);
        if (c.name) {
            EXPECT_EQ(name, c.name);
        }
    }
    // A path given with a trailing separator: the plug-in joins another one.
    OutputFolder slashed;
    ASSERT_TRUE(slashed.Open(root + "/", error)) << error;
    for (const std::string& target : {root + "//a.kvo", root + "/a.kvo"}) {
        EXPECT_TRUE(slashed.NameIn(target, name)) << target;
        EXPECT_EQ(name, "a.kvo");
    }
    EXPECT_FALSE(folder.Open(root + "/missing", error));
    EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;
    EXPECT_FALSE(folder.IsOpen());
}

// The folder is renamed, or renamed and a link to another tree put in its
// place, before a file is opened or between its open and its commit: the file
// lands whole in the renamed folder, with no temporary file beside it, and
// nothing reaches the other tree or a new folder under the old path.
TEST(OutputFolder, FilesFollowTheFolderWhenItsPathIsSwapped) {
    const std::string bytes = "KVO1 pinned " + std::string(5000, 'x');
    for (const bool link : {false, true}) {
        for (const bool midway : {false, true}) {
            for (const bool geode : {false, true}) {
                SCOPED_TRACE(std::string(link ? "replaced by a link" : "renamed") +
                             (midway ? ", between open and commit" : ", before the open") +
                             (geode ? ", a geode's save" : ", an output file"));
                if (geode && midway) continue;  // a save opens and commits in one call
                TempDir dir;
                const fs::path out = dir.path / "out", moved = dir.path / "moved",
                               other = dir.path / "other";
                fs::create_directories(out);
                fs::create_directories(other);
                kvotest::WriteAll((out / "b.kvo").string(), Bytes{'o', 'l', 'd'});
                OutputFolder folder;
                std::string error;
                ASSERT_TRUE(folder.Open(out.string(), error)) << error;
                const std::function<void()> swap = [&] {
                    fs::rename(out, moved);
                    if (link) fs::create_directory_symlink(other, out);
                };
                if (!midway) swap();
                const std::string target = out.string() + "/a.kvo";
                std::string expected = bytes;
                if (geode) {
                    auto scene = kvotest::MakeRichScene();
                    KvoGeode saved("unused");
                    scene->AttachTo(saved);
                    ASSERT_TRUE(saved.Save(target, &folder)) << saved.error;
                    ASSERT_TRUE(saved.Save((dir.path / "reference.kvo").string()));
                    const Bytes reference = kvotest::ReadAll((dir.path / "reference.kvo").string());
                    expected.assign(reference.begin(), reference.end());
                } else {
                    ASSERT_TRUE(WriteWhole(
                        target, bytes, &folder, midway ? swap : [] {}, error))
                        << error;
                    // A regular file already there is replaced in the folder too.
                    ASSERT_TRUE(WriteWhole(
                        out.string() + "/b.kvo", "new", &folder, [] {}, error))
                        << error;
                    EXPECT_EQ(kvotest::ReadAll((moved / "b.kvo").string()), (Bytes{'n', 'e', 'w'}));
                }
                const Bytes written = kvotest::ReadAll((moved / "a.kvo").string());
                EXPECT_EQ(std::string(written.begin(), written.end()), expected);
                EXPECT_EQ(Names(moved), (std::vector<std::string>{"a.kvo", "b.kvo"}));
                EXPECT_TRUE(Names(other).empty()) << Names(other).front();
                EXPECT_EQ(fs::exists(fs::symlink_status(out)), link);
            }
        }
    }
}

// In a folder renamed after it was opened: a character device and a read
// FIFO are written through and stay what they were; /dev/full's refusal is
// reported; an unread FIFO and a directory are refused; no temporary is left.
TEST(OutputFolder, SpecialTargetsInARenamedFolderKeepTheirTreatment) {
    TempDir dir;
    const fs::path out = dir.path / "out", moved = dir.path / "moved";
    fs::create_directories(out);
    const std::string unavailable = kvotest::DeviceNodesUnavailable(out.string());
    if (unavailable.empty()) {
        ASSERT_EQ(mknod((out / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        ASSERT_EQ(mknod((out / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    }
    ASSERT_EQ(mkfifo((out / "read").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((out / "unread").c_str(), 0600), 0);
    fs::create_directory(out / "folder");
    OutputFolder folder;
    std::string error;
    ASSERT_TRUE(folder.Open(out.string(), error)) << error;
    fs::rename(out, moved);
    const std::vector<std::string> before = Names(moved);
    struct stat fifoBefore {};
    ASSERT_EQ(lstat((moved / "read").c_str(), &fifoBefore), 0);

    const int reader = open((moved / "read").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0) << std::strerror(errno);
    const std::string bytes = "through the pipe";
    const struct {
        const char* name;
        bool device;       // needs mknod
        const char* fail;  // part of the error, null when the write succeeds
    } cases[] = {
        {"null", true, nullptr},
        {"full", true, std::strerror(ENOSPC)},
        {"read", false, nullptr},
        {"unread", false, "': no process is reading the FIFO"},
        {"folder", false, "': not a regular file (a directory)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.device && !unavailable.empty()) continue;
        const std::string target = out.string() + "/" + c.name;
        error.clear();
        const bool ok = WriteWhole(
            target, bytes, &folder, [] {}, error);
        EXPECT_EQ(ok, c.fail == nullptr) << error;
        if (c.fail) {
            EXPECT_NE(error.find(target), std::string::npos) << error;
            EXPECT_NE(error.find(c.fail), std::string::npos) << error;
        }
    }
    char received[64] = {};
    EXPECT_EQ(read(reader, received, sizeof received), static_cast<ssize_t>(bytes.size()));
    EXPECT_EQ(std::string(received), bytes);
    close(reader);
    EXPECT_EQ(Names(moved), before);  // nothing replaced, no temporary left
    struct stat fifoAfter {};
    ASSERT_EQ(lstat((moved / "read").c_str(), &fifoAfter), 0);
    EXPECT_TRUE(S_ISFIFO(fifoAfter.st_mode));
    EXPECT_EQ(fifoAfter.st_ino, fifoBefore.st_ino);
    if (unavailable.empty()) {
        for (const char* name : {"null", "full"}) {
            struct stat info {};
            ASSERT_EQ(lstat((moved / name).c_str(), &info), 0);
            EXPECT_TRUE(S_ISCHR(info.st_mode)) << name;
        }
    } else {
        std::printf("device nodes not checked: %s\n", unavailable.c_str());
    }
}

}  // namespace
