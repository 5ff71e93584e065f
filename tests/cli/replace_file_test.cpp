// The depfile and the report replace an earlier file only with a complete one,
// and write through special files instead of replacing them.
#include "cli/outputs/replace_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "tests/cli/cli_test_support.h"

namespace {

size_t EntriesIn(const std::string& dir) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

TEST(ReplaceFile, WritesNewFilesAndReplacesRegularOnesKeepingTheirMode) {
    clitest::ScratchDir dir;
    const std::string path = dir.Path("out.d");
    std::string error;
    ASSERT_TRUE(kvooutputs::ReplaceFile(path, "first\n", error)) << error;
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(kvooutputs::ReplaceFile(path, "second\n", error)) << error;
    EXPECT_EQ(clitest::ReadFile(path), "second\n");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);  // no temporary file left
}

TEST(ReplaceFile, AFailedWriteLeavesTheEarlierFileWhole) {
    clitest::ScratchDir dir;
    const std::string path = dir.Path("report.json");
    clitest::WriteFile(path, "good earlier report\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A file-size limit makes the write fail part way, as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string error;
        const bool ok = kvooutputs::ReplaceFile(path, std::string(100000, 'x'), error);
        _exit(!ok && error.find(path) != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(clitest::ReadFile(path), "good earlier report\n");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(ReplaceFile, RefusesADirectoryAndAMissingFolder) {
    clitest::ScratchDir dir;
    std::string error;
    EXPECT_FALSE(kvooutputs::ReplaceFile(dir.Path(), "x", error));
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    EXPECT_FALSE(kvooutputs::ReplaceFile(dir.Path("no/such/file"), "x", error));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path()));
}

TEST(ReplaceFile, WritesThroughAFifoAndADeviceWithoutReplacingThem) {
    clitest::ScratchDir dir;
    const std::string fifo = dir.Path("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        const int fd = open(fifo.c_str(), O_RDONLY);
        char buffer[256];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) received.append(buffer, n);
        close(fd);
    });
    std::string error;
    EXPECT_TRUE(kvooutputs::ReplaceFile(fifo, "through the pipe\n", error)) << error;
    reader.join();
    EXPECT_EQ(received, "through the pipe\n");
    struct stat st;
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A null device of our own, where the system lets us make one.
    const std::string null = dir.Path("null");
    if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "mknod is not permitted here";
    }
    EXPECT_TRUE(kvooutputs::ReplaceFile(null, "gone\n", error)) << error;
    ASSERT_EQ(lstat(null.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

}  // namespace
