// The console host against the process around it: a memory bomb, signals
// during an import and an export, a file-size limit, odd scene paths, a full
// standard output, and parallel imports that change nothing in the output.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "tests/cli/cli_test_support.h"

namespace {

namespace fs = std::filesystem;
using clitest::ProcessResult;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The processes whose parent is `pid`, from /proc.
std::vector<pid_t> ChildrenOf(pid_t pid) {
    std::vector<pid_t> children;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        long parent = 0;
        if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &parent) == 2 &&
            parent == pid) {
            children.push_back(static_cast<pid_t>(std::stol(name)));
        }
    }
    return children;
}

bool Alive(pid_t pid) {
    return kill(pid, 0) == 0;
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Every file below `dir` with its bytes.
std::map<std::string, std::string> Tree(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), dir).string()] =
                clitest::ReadFile(entry.path().string());
        }
    }
    return files;
}

class HostRobustness : public ::testing::Test {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "plug-in module not built";
        fs::create_directories(dir_.Path("tmp"));
    }
    std::string Out() const { return dir_.Path("out"); }
    std::vector<std::string> Env() const { return {"TMPDIR=" + dir_.Path("tmp")}; }

    clitest::ScratchDir dir_;
};

TEST_F(HostRobustness, AMemoryBombFailsAtTheWorkersLimit) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "no memory limit under the address sanitizer";
#endif
    // 200 bytes that claim two billion vertices.
    const std::string ply = dir_.Path("bomb.ply");
    clitest::WriteFile(ply,
                       "ply\nformat ascii 1.0\nelement vertex 2000000000\nproperty float x\n"
                       "property float y\nproperty float z\nelement face 1\n"
                       "property list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n");
    const ProcessResult r = clitest::RunKvoexp({"--list", "--import-memory", "512", ply}, 60);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "cannot import: the importer ran out of memory (limit 512 MiB)"))
        << r.err;
}

TEST_F(HostRobustness, SigtermDuringAnImportEndsTheWorkersAndLeavesNothing) {
    const std::string obj = dir_.Path("big.obj");
    clitest::WriteBigObj(obj, 4, 300, "Part");  // 720,000 triangles: an import of a second or so
    std::vector<pid_t> workers;
    bool sent = false;
    const ProcessResult r = clitest::RunProcess(
        clitest::KvoexpBinary(), {obj, "-o", Out(), "-j", "1"}, 60,
        [&](pid_t pid) {
            workers = ChildrenOf(pid);
            if (workers.empty()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            kill(pid, SIGTERM);
            sent = true;
            return true;
        },
        Env());
    ASSERT_TRUE(sent);
    EXPECT_FALSE(r.timedOut) << "a worker kept the output pipes open";
    ASSERT_TRUE(r.exited) << r.signal;
    EXPECT_EQ(r.exitCode, 128 + SIGTERM) << r.err;
    EXPECT_TRUE(Contains(r.err, "kvoexp: interrupted by SIGTERM")) << r.err;
    for (pid_t worker : workers) EXPECT_FALSE(Alive(worker)) << worker;
    EXPECT_TRUE(Entries(dir_.Path("tmp")).empty());
}

struct SignalCase {
    const char* what;
    std::vector<int> signals;  // sent one after the other
    int status;
    bool summary;  // a single signal ends cleanly, with the summary
};

void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.what;
}

class SignalsDuringAnExport : public HostRobustness,
                              public ::testing::WithParamInterface<SignalCase> {};

TEST_P(SignalsDuringAnExport, LeaveNoTemporaryFileNoWorkerAndNoPrivateDirectory) {
    const SignalCase& c = GetParam();
    const std::string obj = dir_.Path("big.obj");
    clitest::WriteBigObj(obj, 12, 160, "Part");  // 614,400 triangles in twelve objects
    const std::string log = Out() + "/kvoexp_log.txt";
    std::vector<pid_t> workers;
    bool sent = false;
    const ProcessResult r = clitest::RunProcess(
        clitest::KvoexpBinary(), {obj, "-o", Out(), "--log", "--geometry-ini"}, 60,
        [&](pid_t pid) {
            const std::vector<pid_t> now = ChildrenOf(pid);
            workers.insert(workers.end(), now.begin(), now.end());
            if (!fs::exists(log)) return false;  // opened once the export has begun
            for (int sig : c.signals) {
                kill(pid, sig);  // apart, so they arrive in this order
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            sent = true;
            return true;
        },
        Env());
    ASSERT_TRUE(sent);
    EXPECT_FALSE(r.timedOut);
    ASSERT_TRUE(r.exited) << r.signal;
    EXPECT_EQ(r.exitCode, c.status) << r.err;
    for (const std::string& name : Entries(Out())) {
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    }
    EXPECT_TRUE(Entries(dir_.Path("tmp")).empty()) << "the private configuration directory is left";
    for (pid_t worker : workers) EXPECT_FALSE(Alive(worker)) << worker;
    if (c.summary) {
        EXPECT_TRUE(Contains(r.out, "; cancelled")) << r.out;
        const std::string ini = clitest::ReadFile(Out() + "/geometry.ini");
        EXPECT_EQ(ini.substr(ini.size() - 3), "}\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, SignalsDuringAnExport,
    ::testing::Values(SignalCase{"Term", {SIGTERM}, 128 + SIGTERM, true},
                      SignalCase{"Hup", {SIGHUP}, 128 + SIGHUP, true},
                      SignalCase{"TermThenInt", {SIGTERM, SIGINT}, 128 + SIGTERM, false}),
    [](const ::testing::TestParamInfo<SignalCase>& info) { return info.param.what; });

TEST_F(HostRobustness, AFileSizeLimitFailsTheSaveInsteadOfKillingTheHost) {
    const std::string obj = dir_.Path("big.obj");
    clitest::WriteBigObj(obj, 1, 60, "Part");  // one object of 7,200 triangles: far more than 1 KiB
    const ProcessResult r =
        clitest::RunProcess("/bin/sh",
                            {"-c", "ulimit -f 1 && exec \"$0\" \"$@\"", clitest::KvoexpBinary(),
                             obj, "-o", Out(), "--no-log"},
                            60, nullptr, Env());
    ASSERT_TRUE(r.exited) << "killed by signal " << r.signal;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(Contains(r.err, "'Part0'")) << r.err;
    for (const std::string& name : Entries(Out())) {
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
    }
}

TEST_F(HostRobustness, ScenePathsThatAreNoFilesAreRefusedWithTheReason) {
    const std::string fifo = dir_.Path("pipe.obj");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const ProcessResult r = clitest::RunKvoexp({"--list", dir_.Path(), fifo}, 30);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, dir_.Path() + ": cannot import: is a directory")) << r.err;
    EXPECT_TRUE(Contains(r.err, fifo + ": cannot import: not a regular file")) << r.err;
}

// A settings file that is a FIFO is not read (an open would wait for a writer
// for ever); the export goes on with the panel's defaults.
TEST_F(HostRobustness, ASettingsFileThatIsAFifoIsNotRead) {
    const std::string config = dir_.Sub("cfg");
    ASSERT_EQ(mkfifo((config + "/kvoexp.cfg").c_str(), 0600), 0);
    const std::string sample = clitest::SamplesDir() + "/sample_scene.gltf";
    const ProcessResult r =
        clitest::RunKvoexp({sample, "-o", Out(), "--config-dir", config, "-q"}, 30);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(Entries(Out()).empty());
}

TEST_F(HostRobustness, AListingThatCannotBeWrittenIsAFailure) {
    const std::string sample = clitest::SamplesDir() + "/sample_scene.gltf";
    const ProcessResult r = clitest::RunProcess(
        "/bin/sh",
        {"-c", "exec \"$0\" --list \"$1\" > /dev/full", clitest::KvoexpBinary(), sample});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "cannot write to standard output")) << r.err;
}

// Started with standard descriptors closed, the host's own pipes must not
// take their numbers: every scene is imported and nothing lands in the log.
TEST_F(HostRobustness, ClosedStandardDescriptorsChangeNoOutcome) {
    const std::string sample = clitest::SamplesDir() + "/sample_scene.gltf";  // one warning
    const std::string obj = clitest::ModelsDir() + "/assimp/test/models/OBJ/box.obj";
    for (const std::string closing : {"0<&- 2>&-", "0<&- 1>&- 2>&-"}) {
        SCOPED_TRACE(closing);
        const std::string out = dir_.Sub(closing.size() > 9 ? "all" : "two");
        const std::string report = out + "/report.json";
        const ProcessResult r = clitest::RunProcess(
            "/bin/sh",
            {"-c", "exec \"$0\" \"$@\" " + closing, clitest::KvoexpBinary(), sample, obj, obj, "-j",
             "1", "-o", out, "--log", "--report", report},
            60, nullptr, Env());
        EXPECT_EQ(r.exitCode, 0);
        const std::string json = clitest::ReadFile(report);
        EXPECT_EQ(json.find("not_imported"), std::string::npos) << json;
        EXPECT_FALSE(Contains(clitest::ReadFile(out + "/kvoexp_log.txt"), "kvoexp: warning"));
    }
}

// Under an address-space limit the pool's threads may not all be had: the
// host goes on with fewer, or fails each scene with the cause, never aborts.
TEST_F(HostRobustness, ThreadsThatCannotStartAreNoAbort) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory does not fit an address-space limit";
#endif
    const std::string sample = clitest::SamplesDir() + "/sample_scene.gltf";
    for (const char* kib : {"240000", "260000", "300000", "340000"}) {
        SCOPED_TRACE(kib);
        std::vector<std::string> args = {"-c",
                                         std::string("ulimit -v ") + kib + " && exec \"$0\" \"$@\"",
                                         clitest::KvoexpBinary(),
                                         "-j",
                                         "8",
                                         "-q",
                                         "-o",
                                         Out()};
        for (int i = 0; i < 8; ++i) args.push_back(sample);
        const ProcessResult r = clitest::RunProcess("/bin/sh", args, 60, nullptr, Env());
        ASSERT_TRUE(r.exited) << "killed by signal " << r.signal << ": " << r.err;
        if (r.exitCode != 0) {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_TRUE(Contains(r.err, "cannot") || Contains(r.err, "out of memory")) << r.err;
            EXPECT_TRUE(Entries(dir_.Path("tmp")).empty());  // no private directory left
        }
    }
}

// Each scene is imported in a fresh process: its outcome cannot depend on
// what was imported before it, on the order or on -j.
TEST_F(HostRobustness, EachScenesOutcomeIsTheSameInAnyOrderAndWithAnyJobs) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "no memory limit under the address sanitizer";
#endif
    const std::string models = clitest::ModelsDir() + "/assimp/test/models/";
    const std::string bomb = dir_.Path("bomb.ply");
    clitest::WriteFile(bomb,
                       "ply\nformat ascii 1.0\nelement vertex 2000000000\nproperty float x\n"
                       "property float y\nproperty float z\nelement face 1\n"
                       "property list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n");
    std::vector<std::string> scenes = {
        clitest::SamplesDir() + "/sample_scene.gltf",
        models + "OBJ/spider.obj",
        models + "invalid/crash-30d6d0f7c529b3b66b4131700b7a4580cd7082df.ply",
        models + "FBX/box.fbx",
        models + "invalid/malformed.obj",
        bomb,
        models + "STL/Spider_binary.stl",
        models + "invalid/box_nested_animation_4286.dae",
        models + "glTF2/BoxTextured-glTF/BoxTextured.gltf",
    };
    std::map<std::string, std::string> first;
    std::mt19937 random(7);
    for (int round = 0; round < 4; ++round) {
        const std::string jobs = round % 2 == 0 ? "1" : "2";
        std::shuffle(scenes.begin(), scenes.end(), random);
        const std::string out = dir_.Sub("round" + std::to_string(round));
        std::vector<std::string> args = {"-o",           out + "/{scene}",  "-j",  jobs,
                                         "-q",           "--import-memory", "512", "--report",
                                         out + "/r.json"};
        args.insert(args.end(), scenes.begin(), scenes.end());
        const ProcessResult r = clitest::RunKvoexp(args, 120);
        ASSERT_TRUE(r.exited) << r.err;
        const nlohmann::json report = nlohmann::json::parse(clitest::ReadFile(out + "/r.json"));
        for (const auto& scene : report["scenes"]) {
            // The memory limit a message names is each process's share, which -j sets.
            std::string error = scene.value("import_error", std::string());
            error = error.substr(0, error.find(" (limit "));
            const std::string outcome = scene["status"].get<std::string>() + " " + error + " " +
                                        std::to_string(scene["triangles_out"].get<uint64_t>());
            const std::string path = scene["path"];
            if (round == 0) {
                first[path] = outcome;
            } else {
                EXPECT_EQ(outcome, first[path]) << path << " in round " << round << ", -j " << jobs;
            }
        }
    }
    EXPECT_EQ(first.size(), scenes.size());
}

// An import that damages its process (preloaded: after a file named "poison"
// was opened, opening any other file in that process crashes) takes no later
// scene down with it, as a corrupted importer heap did when one process
// served every scene.
TEST_F(HostRobustness, AnImportThatDamagesItsProcessSparesTheNextScene) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's runtime must come first among preloaded libraries";
#endif
    const std::string models = clitest::ModelsDir() + "/assimp/test/models/";
    const std::string poison = dir_.Path("poison.stl");
    fs::copy_file(models + "STL/triangle_with_two_solids.stl", poison);
    const std::string stl = models + "STL/Spider_binary.stl";
    const std::string fbx = models + "FBX/box.fbx";
    std::vector<std::string> env = Env();
    env.push_back(std::string("LD_PRELOAD=") + KVOEXP_DAMAGING_IMPORTER);
    const std::vector<std::vector<std::string>> orders = {
        {poison, stl}, {stl, poison, fbx}, {poison, fbx, stl}};
    for (int run = 0; run < 6; ++run) {
        const std::vector<std::string>& scenes = orders[run % orders.size()];
        const std::string jobs = run < 3 ? "1" : "2";
        std::vector<std::string> args = {"-o",       Out() + "/{scene}", "-j", jobs, "-q",
                                         "--report", dir_.Path("r.json")};
        args.insert(args.end(), scenes.begin(), scenes.end());
        const ProcessResult r = clitest::RunKvoexp(args, 120, env);
        ASSERT_TRUE(r.exited) << r.err;
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const nlohmann::json report = nlohmann::json::parse(clitest::ReadFile(dir_.Path("r.json")));
        ASSERT_EQ(report["scenes"].size(), scenes.size()) << r.err;
        for (const auto& scene : report["scenes"]) {
            const std::string path = scene["path"];
            EXPECT_EQ(scene.value("import_error", std::string()), "")
                << path << " after " << scenes.front() << ", -j " << jobs;
            EXPECT_GT(scene["triangles_out"].get<uint64_t>(), 0u) << path;
        }
    }
}

TEST_F(HostRobustness, TimeLimitsAreTakenAndShownAsGiven) {
    const std::string sample = clitest::SamplesDir() + "/sample_scene.gltf";
    EXPECT_EQ(clitest::RunKvoexp({"--list", "--import-timeout", "1e10", sample}).exitCode, 0);
    const ProcessResult r =
        clitest::RunKvoexp({"--list", "--import-timeout", "0.001",
                            clitest::ModelsDir() + "/trimesh/models/cycloidal.ply"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "cannot import: timed out after 0.001 s")) << r.err;
}

// The export stays sequential whatever the number of import workers: the
// same scenes give the same bytes with one worker and with two, a crashing
// importer among them included.
TEST_F(HostRobustness, ParallelImportsWriteTheSameBytes) {
    const std::string m = clitest::ModelsDir() + "/assimp/test/models/";
    std::vector<std::string> scenes;
    for (const auto& entry : fs::recursive_directory_iterator(clitest::ModelsDir())) {
        const std::string ext = entry.path().extension().string();
        // Assimp 5.2's Collada reader leaves this file's positions uninitialised
        // (other numbers on each run, in `assimp info` too): its bytes cannot repeat.
        if (entry.path().filename() == "box_nested_animation_4286.dae") continue;
        if (entry.is_regular_file() &&
            (ext == ".obj" || ext == ".gltf" || ext == ".glb" || ext == ".fbx" || ext == ".3ds" ||
             ext == ".dae" || ext == ".DAE" || ext == ".ply" || ext == ".stl")) {
            scenes.push_back(entry.path().string());
        }
    }
    std::sort(scenes.begin(), scenes.end());
    ASSERT_GT(scenes.size(), 10u);
    std::map<std::string, std::string> trees[2];
    for (int jobs : {1, 2}) {
        const std::string out = dir_.Path("out" + std::to_string(jobs));
        std::vector<std::string> args = scenes;
        for (const char* a : {"-o", "", "-j", "", "--shader", "--geometry-ini", "-q"})
            args.push_back(a);
        args[scenes.size() + 1] = out;
        args[scenes.size() + 3] = std::to_string(jobs);
        const ProcessResult r = clitest::RunKvoexp(args, 300, Env());
        ASSERT_FALSE(r.timedOut);
        ASSERT_TRUE(r.exited);
        trees[jobs - 1] = Tree(out);
    }
    EXPECT_GT(trees[0].size(), 20u);
    EXPECT_TRUE(trees[0] == trees[1]) << "-j 1 and -j 2 wrote different files";
}

}  // namespace
