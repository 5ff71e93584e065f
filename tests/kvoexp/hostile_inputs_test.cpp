// The console host against hostile inputs of its own making: an importer that
// hands over arrays shorter than their counts (a glTF 1 accessor count of
// 2^32), transforms that make written values non-finite, side files cut or
// missing, a scene file changed while it is read.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/outputs/folder_lock.h"
#include "kvo/kvo_geode.h"
#include "tests/cli/cli_test_support.h"
#include "tests/kvoexp/gltf_writer.h"

namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Base64(const std::string& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    const size_t n = bytes.size();
    const auto byte = [&](size_t i) { return i < n ? static_cast<uint8_t>(bytes[i]) : 0u; };
    for (size_t i = 0; i < n; i += 3) {
        const uint32_t group = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        out += digits[(group >> 18) & 63];
        out += digits[(group >> 12) & 63];
        out += i + 1 < n ? digits[(group >> 6) & 63] : '=';
        out += i + 2 < n ? digits[group & 63] : '=';
    }
    return out;
}

template <class T>
void Append(std::string& to, const T& value) {
    to.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// A glTF 1.0 cube of 24 vertices with flat normals; the normal accessor
// claims `normalCount` elements.
std::string GltfOneCube(const std::string& normalCount) {
    const clitest::GltfPrimitive cube = clitest::HardCube();
    std::string data;
    for (const auto& p : cube.positions) Append(data, p);
    for (const auto& n : cube.normals) Append(data, n);
    const size_t indexStart = data.size();
    for (uint16_t i : cube.indices) Append(data, i);
    const std::string vertices = std::to_string(cube.positions.size());
    return R"({"asset":{"version":"1.0"},"scene":"s","scenes":{"s":{"nodes":["n"]}},
"nodes":{"n":{"name":"Box","meshes":["m"]}},
"meshes":{"m":{"primitives":[{"attributes":{"POSITION":"p","NORMAL":"q"},"indices":"i","mode":4}]}},
"accessors":{"p":{"bufferView":"v","byteOffset":0,"componentType":5126,"count":)" +
           vertices + R"(,"type":"VEC3"},
"q":{"bufferView":"v","byteOffset":)" +
           std::to_string(cube.positions.size() * 12) + R"(,"componentType":5126,"count":)" +
           normalCount + R"(,"type":"VEC3"},
"i":{"bufferView":"w","byteOffset":0,"componentType":5123,"count":)" +
           std::to_string(cube.indices.size()) + R"(,"type":"SCALAR"}},
"bufferViews":{"v":{"buffer":"b","byteOffset":0,"byteLength":)" +
           std::to_string(indexStart) + R"(,"target":34962},
"w":{"buffer":"b","byteOffset":)" +
           std::to_string(indexStart) + R"(,"byteLength":)" +
           std::to_string(data.size() - indexStart) + R"(,"target":34963}},
"buffers":{"b":{"uri":"data:application/octet-stream;base64,)" +
           Base64(data) + R"(","byteLength":)" + std::to_string(data.size()) + "}}}";
}

class HostileInputs : public ::testing::Test {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "plug-in module not built";
    }
    clitest::ScratchDir dir_;
};

// Under the address sanitizer a read past the short array ends the import
// with a report; without it the cube got normals from foreign memory.
TEST_F(HostileInputs, AGltfOneAccessorCountOfTwoToThe32FailsTheImportWithTheCause) {
    struct Case {
        const char* count;
        int exit;
        const char* said;
    };
    const Case cases[] = {
        {"24", 0, ""},
        {"4294967296", 1,
         "cannot import: the importer handed over a malformed scene: mesh 0 'm' "
         "normals: 24 vertices claimed, the array is shorter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        const std::string scene = dir_.Path(std::string("cube") + c.count + ".gltf");
        clitest::WriteFile(scene, GltfOneCube(c.count));
        const std::string out = dir_.Sub(std::string("out") + c.count);
        const clitest::ProcessResult r = clitest::RunKvoexp({scene, "-o", out, "-q", "--normals"});
        EXPECT_EQ(r.exitCode, c.exit) << r.err;
        EXPECT_TRUE(Contains(r.err, c.said)) << r.err;
        EXPECT_FALSE(Contains(r.err, "AddressSanitizer")) << r.err;
        EXPECT_EQ(std::filesystem::exists(out + "/n.kvo"), c.exit == 0);
    }
}

// A scale of 1e30 on positions of 1e10 overflows float: the files would hold
// infinities. A warning, and with --strict a failure; Localize keeps them finite.
TEST_F(HostileInputs, AnOverflowingTransformIsNoSilentInfinity) {
    clitest::GltfPrimitive cube = clitest::HardCube();
    for (auto& p : cube.positions) {
        for (float& v : p) v *= 1e10f;
    }
    clitest::GltfNode node;
    node.name = "Huge";
    node.matrix = {1e30f, 0, 0, 0, 0, 1e30f, 0, 0, 0, 0, 1e30f, 0, 0, 0, 0, 1};
    const std::string scene = dir_.Path("huge.gltf");
    clitest::WriteGltf(scene, {{cube}}, {node});
    struct Case {
        const char* option;
        int exit;
        bool warned;
    };
    for (const Case& c : {Case{"--no-localize", 1, true}, Case{"--localize", 0, false}}) {
        SCOPED_TRACE(c.option);
        const clitest::ProcessResult r =
            clitest::RunKvoexp({scene, "-o", dir_.Sub(c.option + 2), "-q", "--strict", c.option});
        EXPECT_EQ(r.exitCode, c.exit) << r.err;
        EXPECT_EQ(Contains(r.err, "kvoexp: warning: " + scene +
                                      ": node 'Huge': 72 non-finite position values (moved by "
                                      "the node's transform)"),
                  c.warned)
            << r.err;
    }
}

// Side files the plug-in could not write whole: a file-size limit that cuts
// the log (the .kvo files stay below it), a folder where geometry.ini goes.
TEST_F(HostileInputs, SideFilesThatAreCutOrMissingAreErrors) {
    const std::string obj = dir_.Path("many.obj");
    clitest::WriteBigObj(obj, 40, 1, "Part");  // 40 objects of 2 triangles: a log of some 20 KB
    struct Case {
        const char* name;
        const char* limit;  // for ulimit -f, in blocks of the shell
        const char* said;
    };
    const Case cases[] = {
        {"whole", "unlimited", ""},
        {"file-size limit", "8", "kvoexp_log.txt: cut at the file-size limit ("},
        {"folder in the way", "unlimited", "geometry.ini: is not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = dir_.Sub(c.name);
        if (std::string(c.name) == "folder in the way")
            dir_.Sub(std::string(c.name) + "/geometry.ini");
        const clitest::ProcessResult r = clitest::RunProcess(
            "/bin/sh",
            {"-c", std::string("ulimit -f ") + c.limit + " && exec \"$0\" \"$@\"",
             clitest::KvoexpBinary(), obj, "-o", out, "-q", "--log", "--geometry-ini", "--shader"},
            60);
        ASSERT_TRUE(r.exited) << "killed by signal " << r.signal;
        if (*c.said == '\0') {
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(r.exitCode, 1) << r.err;
            EXPECT_TRUE(Contains(r.err, "kvoexp: error: " + out + "/" + c.said)) << r.err;
            EXPECT_FALSE(Contains(r.err, "was not written")) << r.err;  // every .kvo was
        }
    }
}

// A scene file changed while the importer reads it. The OBJ is read whole,
// then its material library, here a FIFO: once the import has opened it, the
// test changes the OBJ and then hands over the library (as often as it is
// opened).
TEST_F(HostileInputs, ASceneChangedWhileItIsReadFailsItsImport) {
    struct Case {
        const char* name;
        const char* change;  // "truncate", "append", "none"
        int exit;
        const char* said;
    };
    const Case cases[] = {
        {"unchanged", "none", 0, ""},
        {"truncated", "truncate", 1, "cannot import: the file changed while it was read ("},
        {"grown", "append", 1, "cannot import: the file changed while it was read ("},
    };
    // A write to a FIFO whose reader has gone must fail, not end the tests.
    struct sigaction ignore {
    }, before{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &before);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = dir_.Sub(c.name);
        const std::string obj = folder + "/scene.obj";
        clitest::WriteFile(obj,
                           "mtllib scene.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\no Tri\n"
                           "usemtl Wood\nf 1 2 3\n");
        const std::string mtl = folder + "/scene.mtl";
        ASSERT_EQ(mkfifo(mtl.c_str(), 0600), 0);
        int feeds = 0;
        const clitest::ProcessResult r = clitest::RunProcess(
            clitest::KvoexpBinary(), {obj, "-o", folder + "/out", "-q"}, 60, [&](pid_t) {
                // Opens only while the import has the FIFO open for reading.
                const int fd = open(mtl.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd < 0) return false;
                const std::string change = c.change;
                if (feeds++ == 0 && change == "truncate") {
                    EXPECT_EQ(truncate(obj.c_str(), 40), 0);
                }
                if (feeds == 1 && change == "append") std::ofstream(obj, std::ios::app) << "\n";
                const std::string material = "newmtl Wood\nKd 1 1 1\n";
                // A reader that went away first opens the library again.
                const ssize_t wrote = write(fd, material.data(), material.size());
                (void)wrote;
                close(fd);
                return false;
            });
        EXPECT_GT(feeds, 0);
        EXPECT_EQ(r.exitCode, c.exit) << r.err;
        EXPECT_TRUE(Contains(r.err, c.said)) << r.err;
        EXPECT_EQ(fs::exists(folder + "/out/Tri.kvo"), c.exit == 0) << r.err;
    }
    sigaction(SIGPIPE, &before, nullptr);
}

// A folder another invocation exports into is refused at once, before
// anything is written there; once free, a run leaves no lock file behind.
TEST_F(HostileInputs, OneExportPerFolderAtATime) {
    const std::string out = dir_.Sub("out");
    const std::string sample = clitest::SamplesDir() + "/sample_scene.gltf";
    kvooutputs::FolderLocks other;
    std::string error;
    ASSERT_TRUE(other.Lock(out, error)) << error;
    clitest::ProcessResult r = clitest::RunKvoexp({sample, "-o", out, "-q", "--geometry-ini"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(
        Contains(r.err, "kvoexp: error: " + out + ": another kvoexp is exporting into this folder"))
        << r.err;
    EXPECT_FALSE(fs::exists(out + "/geometry.ini"));
    other.ReleaseAll();
    r = clitest::RunKvoexp({sample, "-o", out, "-q", "--geometry-ini"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(out + "/geometry.ini"));
    EXPECT_FALSE(fs::exists(out + "/" + kvooutputs::kLockFileName));
}

// Two real invocations at once into one folder: each either exports alone or
// is refused; geometry.ini never holds a mix of both.
TEST_F(HostileInputs, TwoExportsAtOnceNeverInterleave) {
    const std::string out = dir_.Sub("out");
    const std::string one = dir_.Path("one.obj"), two = dir_.Path("two.obj");
    clitest::WriteBigObj(one, 60, 2, "One");
    clitest::WriteBigObj(two, 60, 2, "Two");
    clitest::ProcessResult second;
    std::thread other([&] {
        second = clitest::RunKvoexp({two, "-o", out, "-q", "--geometry-ini", "--log"});
    });
    const clitest::ProcessResult first =
        clitest::RunKvoexp({one, "-o", out, "-q", "--geometry-ini", "--log"});
    other.join();
    int exported = 0;
    for (const clitest::ProcessResult* r :
         {&first, static_cast<const clitest::ProcessResult*>(&second)}) {
        if (r->exitCode == 0) {
            ++exported;
        } else {
            EXPECT_EQ(r->exitCode, 1);
            EXPECT_TRUE(Contains(r->err, "another kvoexp is exporting into this folder")) << r->err;
        }
    }
    EXPECT_GE(exported, 1);
    const std::string ini = clitest::ReadFile(out + "/geometry.ini");
    const bool hasOne = Contains(ini, "file=One0.kvo"), hasTwo = Contains(ini, "file=Two0.kvo");
    EXPECT_NE(hasOne, hasTwo) << ini;
    EXPECT_TRUE(Contains(ini, hasOne ? "file=One59.kvo\r\n" : "file=Two59.kvo\r\n")) << ini;
}

// A {scene} folder appears only when something is written in it.
TEST_F(HostileInputs, AFailedImportLeavesNoEmptySceneFolder) {
    const std::string broken = dir_.Path("broken.obj");
    clitest::WriteFile(broken, "v 1 2\nf 1 2 3 4 5\n");  // nothing the importer takes
    const std::string good = clitest::SamplesDir() + "/sample_scene.gltf";
    const clitest::ProcessResult r =
        clitest::RunKvoexp({broken, good, "-o", dir_.Path("out") + "/{scene}/models", "-q"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_TRUE(Contains(r.err, "broken.obj: cannot import")) << r.err;
    EXPECT_FALSE(fs::exists(dir_.Path("out/broken"))) << "an empty folder was left";
    EXPECT_TRUE(fs::exists(dir_.Path("out/sample_scene/models/Signal-Tower.kvo")));
    EXPECT_FALSE(fs::exists(dir_.Path("out/sample_scene/models/") + kvooutputs::kLockFileName));
}

// The output folder renamed, or renamed and replaced by a link into another
// tree (which holds another invocation's lock and temporary files), in the
// middle of an export: the export stops within a few files, with an error;
// every file goes on into the folder it opened, whole (the node in hand is
// not lost), no temporary or lock file is left there, and the other tree
// keeps what it held and gets nothing. Two signals right after the swap end
// the program at once, and its cleanup, too, works in the folder it opened.
TEST_F(HostileInputs, AnOutputFolderSwappedMidRunStopsTheExport) {
    const std::string obj = dir_.Path("many.obj");
    clitest::WriteBigObj(obj, 3000, 1, "Part");
    const std::string others[] = {".kvo-other0.tmp", kvooutputs::kLockFileName};
    const struct {
        const char* name;
        bool link, signals;
    } cases[] = {{"renamed", false, false},
                 {"replaced by a link", true, false},
                 {"replaced by a link, then two SIGINTs", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string run = dir_.Sub(std::string("run ") + c.name);
        const std::string out = run + "/out", moved = run + "/moved";
        const std::string elsewhere = dir_.Sub(std::string("run ") + c.name + "/elsewhere");
        for (const std::string& other : others) clitest::WriteFile(elsewhere + "/" + other, "x");
        bool swapped = false;
        const clitest::ProcessResult r = clitest::RunProcess(
            clitest::KvoexpBinary(), {obj, "-o", out, "-q", "--log"}, 120, [&](pid_t pid) {
                if (!swapped && fs::exists(out + "/Part100.kvo")) {
                    swapped = rename(out.c_str(), moved.c_str()) == 0 &&
                              (!c.link || symlink(elsewhere.c_str(), out.c_str()) == 0);
                    if (c.signals) {
                        kill(pid, SIGINT);
                        usleep(2000);  // two pending SIGINTs would be one
                        kill(pid, SIGINT);
                    }
                }
                return false;
            });
        ASSERT_TRUE(swapped) << "the export ended before the folder could be swapped";
        if (c.signals) {
            EXPECT_TRUE(r.exitCode == 130 || r.exitCode == 1) << r.exitCode << r.err;
        } else {
            EXPECT_EQ(r.exitCode, 1) << r.err;
            EXPECT_TRUE(Contains(r.err, "kvoexp: error: " + out +
                                            ": the output folder was moved or replaced during the "
                                            "export"))
                << r.err;
        }
        size_t kept = 0;
        for (const auto& entry : fs::directory_iterator(moved)) {
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << entry.path();
            EXPECT_NE(name, kvooutputs::kLockFileName);
            kept += name.size() > 4 && name.compare(name.size() - 4, 4, ".kvo") == 0;
        }
        EXPECT_GE(kept, 100u);
        EXPECT_LT(kept, 3000u) << "the export did not stop";
        std::vector<std::string> there;
        for (const auto& entry : fs::directory_iterator(elsewhere)) {
            there.push_back(entry.path().filename().string());
        }
        std::sort(there.begin(), there.end());
        EXPECT_EQ(there, std::vector<std::string>(std::begin(others), std::end(others)))
            << "the other tree was written into or cleaned";
        EXPECT_EQ(fs::exists(fs::symlink_status(out)), c.link);
        if (c.signals) continue;  // ended at once: the log may lack the last line
        // Every node the log began went on to be written, whole, in the opened folder.
        const std::string log = clitest::ReadFile(moved + "/kvoexp_log.txt");
        EXPECT_FALSE(Contains(log, "ERROR"))
            << log.substr(log.size() - std::min<size_t>(log.size(), 400));
        size_t created = 0;
        for (size_t at = log.find("Successfully created KVO '"); at != std::string::npos;
             at = log.find("Successfully created KVO '", at + 1)) {
            const size_t from = at + std::strlen("Successfully created KVO '");
            const std::string path = log.substr(from, log.find('\'', from) - from);
            ASSERT_EQ(path.compare(0, out.size() + 1, out + "/"), 0) << path;
            KvoGeode written(moved + path.substr(out.size()));
            EXPECT_TRUE(written.Load()) << path << ": " << written.error;
            ++created;
        }
        EXPECT_EQ(created, kept);
    }
}

}  // namespace
