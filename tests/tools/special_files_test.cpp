// The tools with devices, FIFOs, directories, sockets and links as inputs and
// outputs: a device or FIFO target is written through and stays what it was,
// other special targets are refused, and inputs must be regular files. Device
// nodes are made with mknod in a temporary folder, never the system's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include "tests/kvo/kvo_test_support.h"

extern char** environ;

using namespace kvotest;
namespace fs = std::filesystem;

namespace {

struct ProgramRun {
    bool timedOut = false;
    int status = -1;
    std::string out;
    std::string err;
    Bytes fromFifo;  // what a reader of the FIFO received
};

// Runs `args` with both streams captured in `dir`, killed after 30 seconds.
// With `fifo` set, reads that FIFO (opened for reading before the start) while
// the program runs.
ProgramRun RunProgram(const TempDir& dir, std::vector<std::string> args,
                      const std::string& fifo = "") {
    ProgramRun run;
    int reader = -1;
    if (!fifo.empty()) {
        reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        EXPECT_GE(reader, 0) << std::strerror(errno);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, dir.File("stdout.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, dir.File("stderr.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0) << std::strerror(spawned);
    if (spawned != 0) return run;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int raw = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &raw, WNOHANG);
        char block[65536];
        ssize_t got = 0;
        while (reader >= 0 && (got = read(reader, block, sizeof block)) > 0) {
            run.fromFifo.insert(run.fromFifo.end(), block, block + got);
        }
        if (done == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            waitpid(pid, &raw, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (reader >= 0) close(reader);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const Bytes out = ReadAll(dir.File("stdout.txt")), err = ReadAll(dir.File("stderr.txt"));
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    fs::remove(dir.File("stdout.txt"));
    fs::remove(dir.File("stderr.txt"));
    return run;
}

std::string SaveRich(const TempDir& dir) {
    auto scene = MakeRichScene();
    KvoGeode geode("unused");
    scene->AttachTo(geode);
    EXPECT_TRUE(geode.Save(dir.File("in.kvo"))) << geode.error;
    return dir.File("in.kvo");
}

// One program that writes a file: the command line for IN and OUT, and what it
// prints on a failed write.
struct Writer {
    const char* name;
    const char* extension;
    std::function<std::vector<std::string>(const std::string&, const std::string&)> args;
    bool statusZeroOnFailure;  // kvo-roundtrip exits 0 and prints its ERROR line
};

std::vector<Writer> Writers() {
    return {
        {"optimize", ".kvo",
         [](auto& in, auto& out) {
             return std::vector<std::string>{KVO_TOOL_PATH, "optimize", in, out};
         },
         false},
        {"roundtrip", ".kvo",
         [](auto& in, auto& out) {
             return std::vector<std::string>{KVO_ROUNDTRIP_PATH, in, out};
         },
         true},
        {"render", ".png",
         [](auto& in, auto& out) {
             return std::vector<std::string>{KVO_TOOL_PATH, "render", "--size", "64x64", in,
                                             "-o",          out};
         },
         false},
        {"convert", ".glb",
         [](auto& in, auto& out) {
             return std::vector<std::string>{KVO_TOOL_PATH, "convert", in, out};
         },
         false},
    };
}

struct NodeState {
    mode_t type = 0;
    dev_t rdev = 0;
    ino_t inode = 0;
};

NodeState StateOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return {static_cast<mode_t>(info.st_mode & S_IFMT), info.st_rdev, info.st_ino};
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every name in `dir` apart from the expected ones: a temporary file left behind.
std::vector<std::string> Leftovers(const TempDir& dir, const std::vector<std::string>& expected) {
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path)) {
        const std::string name = entry.path().filename().string();
        if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
            left.push_back(name);
        }
    }
    return left;
}

int BindSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    EXPECT_LT(path.size(), sizeof address.sun_path) << path;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0)
        << std::strerror(errno);
    return fd;
}

}  // namespace

// A character device is written through and stays a device; writes that the
// device refuses are reported; a FIFO gets the very bytes a regular file gets
// when a process reads it and is refused at once when none does.
TEST(SpecialFiles, DevicesAndFifosAreWrittenThroughAndKept) {
    TempDir dir;
    const std::string unavailable = DeviceNodesUnavailable(dir.path.string());
    if (!unavailable.empty()) GTEST_SKIP() << unavailable;
    const std::string in = SaveRich(dir);
    for (const Writer& writer : Writers()) {
        SCOPED_TRACE(writer.name);
        const std::string regular = dir.File(std::string("regular") + writer.extension);
        const ProgramRun reference = RunProgram(dir, writer.args(in, regular));
        ASSERT_EQ(reference.status, 0) << reference.err;
        const Bytes expected = ReadAll(regular);
        ASSERT_FALSE(expected.empty());

        const std::string null = dir.File(std::string("null") + writer.extension);
        ASSERT_EQ(mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
        const NodeState nullBefore = StateOf(null);
        const ProgramRun toNull = RunProgram(dir, writer.args(in, null));
        EXPECT_EQ(toNull.status, 0) << toNull.err;
        EXPECT_EQ(toNull.err, reference.err);
        EXPECT_FALSE(Contains(toNull.out, "ERROR")) << toNull.out;
        const NodeState nullAfter = StateOf(null);
        EXPECT_EQ(nullAfter.type, static_cast<mode_t>(S_IFCHR));
        EXPECT_EQ(nullAfter.rdev, nullBefore.rdev);
        EXPECT_EQ(nullAfter.inode, nullBefore.inode);

        const std::string full = dir.File(std::string("full") + writer.extension);
        ASSERT_EQ(mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0) << std::strerror(errno);
        const ProgramRun toFull = RunProgram(dir, writer.args(in, full));
        EXPECT_EQ(toFull.status, writer.statusZeroOnFailure ? 0 : 1);
        if (writer.statusZeroOnFailure) {
            EXPECT_TRUE(Contains(toFull.out, "ERROR: Failed to save to " + full)) << toFull.out;
        } else {
            EXPECT_TRUE(Contains(toFull.err, std::strerror(ENOSPC))) << toFull.err;
        }
        EXPECT_EQ(StateOf(full).type, static_cast<mode_t>(S_IFCHR));

        const std::string fifo = dir.File(std::string("pipe") + writer.extension);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const ProgramRun fromReader = RunProgram(dir, writer.args(in, fifo), fifo);
        EXPECT_FALSE(fromReader.timedOut);
        EXPECT_EQ(fromReader.status, 0) << fromReader.err;
        EXPECT_EQ(fromReader.fromFifo, expected);
        const ProgramRun unread = RunProgram(dir, writer.args(in, fifo));
        EXPECT_FALSE(unread.timedOut);
        if (writer.statusZeroOnFailure) {
            EXPECT_TRUE(Contains(unread.out, "ERROR: Failed to save to " + fifo)) << unread.out;
        } else {
            EXPECT_EQ(unread.status, 1);
            EXPECT_TRUE(Contains(unread.err, fifo + "': no process is reading the FIFO"))
                << unread.err;
        }
        EXPECT_EQ(StateOf(fifo).type, static_cast<mode_t>(S_IFIFO));

        const auto left =
            Leftovers(dir, {"in.kvo", fs::path(regular).filename().string(),
                            fs::path(null).filename().string(), fs::path(full).filename().string(),
                            fs::path(fifo).filename().string()});
        EXPECT_TRUE(left.empty()) << left.front();
        for (const std::string& path : {regular, null, full, fifo}) fs::remove(path);
    }
}

// A directory, a block device and a socket in the target's place are refused
// before anything is written; a link is replaced, and the file it named kept.
TEST(SpecialFiles, OtherTargetsAreRefusedAndLinksReplaced) {
    TempDir dir;
    const std::string unavailable = DeviceNodesUnavailable(dir.path.string());
    const std::string in = SaveRich(dir);
    for (const Writer& writer : Writers()) {
        SCOPED_TRACE(writer.name);
        struct Target {
            std::string kind;
            std::string path;
            std::function<bool(const std::string&)> make;
        };
        int socketFd = -1;
        std::vector<Target> targets = {
            {"a directory", "folder",
             [](const std::string& p) {
                 return fs::create_directory(p) && (WriteAll(p + "/keep", Bytes{7}), true);
             }},
            {"a socket", "sock",
             [&socketFd](const std::string& p) {
                 socketFd = BindSocket(p);
                 return socketFd >= 0;
             }},
        };
        // An experimental major number: no driver behind it, should the refusal fail.
        if (unavailable.empty()) {
            targets.push_back({"a block device", "block", [](const std::string& p) {
                                   return mknod(p.c_str(), S_IFBLK | 0600, makedev(60, 0)) == 0;
                               }});
        }
        for (const Target& target : targets) {
            SCOPED_TRACE(target.kind);
            const std::string path = dir.File(target.path + writer.extension);
            ASSERT_TRUE(target.make(path));
            const NodeState before = StateOf(path);
            const ProgramRun run = RunProgram(dir, writer.args(in, path));
            if (writer.statusZeroOnFailure) {
                EXPECT_EQ(run.status, 0);
                EXPECT_TRUE(Contains(run.out, "ERROR: Failed to save to " + path)) << run.out;
            } else {
                EXPECT_EQ(run.status, 1);
                EXPECT_TRUE(Contains(run.err, "cannot replace '" + path +
                                                  "': not a regular file (" + target.kind + ")"))
                    << run.err;
            }
            const NodeState after = StateOf(path);
            EXPECT_EQ(after.type, before.type);
            EXPECT_EQ(after.inode, before.inode);
            const auto left = Leftovers(dir, {"in.kvo", fs::path(path).filename().string()});
            EXPECT_TRUE(left.empty()) << left.front();
            fs::remove_all(path);
        }
        if (socketFd >= 0) close(socketFd);

        const std::string kept = dir.File("kept");
        const std::string link = dir.File(std::string("link") + writer.extension);
        WriteAll(kept, Bytes{'o', 'l', 'd'});
        fs::create_symlink(kept, link);
        const ProgramRun run = RunProgram(dir, writer.args(in, link));
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_FALSE(Contains(run.out, "ERROR")) << run.out;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(link)));
        EXPECT_GT(fs::file_size(link), 3u);
        EXPECT_EQ(ReadAll(kept), (Bytes{'o', 'l', 'd'}));
        fs::remove(link);
        fs::remove(kept);
    }
}

// Every tool refuses an input that is not a regular file, with the reason and
// at once: a FIFO that nobody writes would otherwise block for ever.
TEST(SpecialFiles, InputsMustBeRegularFiles) {
    TempDir dir;
    const std::string unavailable = DeviceNodesUnavailable(dir.path.string());
    struct Input {
        std::string kind;
        std::string path;
    };
    std::vector<Input> inputs = {{"a FIFO", dir.File("pipe.kvo")},
                                 {"a directory", dir.File("folder.kvo")}};
    ASSERT_EQ(mkfifo(inputs[0].path.c_str(), 0600), 0);
    fs::create_directory(inputs[1].path);
    if (unavailable.empty()) {
        inputs.push_back({"a character device", dir.File("zero.kvo")});
        ASSERT_EQ(mknod(inputs[2].path.c_str(), S_IFCHR | 0666, makedev(1, 5)), 0);
    }
    const std::string out = dir.File("out");
    struct Tool {
        std::function<std::vector<std::string>(const std::string&)> args;
        int status;
        std::string message;  // {} is the input's path, [] its kind
    } tools[] = {
        {[](auto& in) {
             return std::vector<std::string>{KVO_TOOL_PATH, "info", in};
         },
         1, "kvo info: cannot load '{}': not a regular file ([])\n"},
        {[](auto& in) {
             return std::vector<std::string>{KVO_TOOL_PATH, "info", "--json", in};
         },
         1, "kvo info: cannot load '{}': not a regular file ([])\n"},
        {[](auto& in) {
             return std::vector<std::string>{KVO_TOOL_PATH, "validate", in};
         },
         1, "kvo validate: cannot load '{}': not a regular file ([])\n"},
        {[&](auto& in) {
             return std::vector<std::string>{KVO_TOOL_PATH, "optimize", in, out + ".kvo"};
         },
         1, "kvo optimize: cannot load '{}': not a regular file ([])\n"},
        {[&](auto& in) {
             return std::vector<std::string>{KVO_TOOL_PATH, "render", in, "-o", out + ".png"};
         },
         1, "'{}': not a regular file ([])"},
        {[&](auto& in) {
             return std::vector<std::string>{KVO_TOOL_PATH, "convert", in, out + ".glb"};
         },
         1, "'{}': not a regular file ([])\n"},
        {[&](auto& in) {
             return std::vector<std::string>{KVO_ROUNDTRIP_PATH, in, out + ".kvo"};
         },
         0, "ERROR: Failed to load {}\n"},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.kind);
        for (const Tool& tool : tools) {
            const std::vector<std::string> args = tool.args(input.path);
            SCOPED_TRACE(args[1]);
            std::string message = tool.message;
            message.replace(message.find("{}"), 2, input.path);
            if (message.find("[]") != std::string::npos) {
                message.replace(message.find("[]"), 2, input.kind);
            }
            const ProgramRun run = RunProgram(dir, args);
            EXPECT_FALSE(run.timedOut);
            EXPECT_EQ(run.status, tool.status);
            EXPECT_TRUE(Contains(tool.status == 0 ? run.out : run.err, message))
                << run.out << run.err;
            const auto left = Leftovers(dir, {"pipe.kvo", "folder.kvo", "zero.kvo"});
            EXPECT_TRUE(left.empty()) << left.front();
        }
    }
}
