// The built kvoexp program, run as a child process.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "kvo_contents.h"
#include "obj_reference.h"
#include "scene/scene_decoder.h"
#include "tests/cli/cli_test_support.h"

namespace {

namespace fs = std::filesystem;
using clitest::Contains;
using clitest::KvoFiles;
using clitest::ProcessResult;
using clitest::RunKvoexp;

std::string Sample() {
    return clitest::SamplesDir() + "/sample_scene.gltf";
}
std::string Model(const std::string& relative) {
    return clitest::ModelsDir() + "/" + relative;
}

class KvoexpProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    }
    std::string Out() const { return dir_.Path("out"); }
    std::string File(const std::string& name) const { return Out() + "/" + name; }
    clitest::ScratchDir dir_;
};

TEST(KvoexpCommandLine, UsageErrorsExitWithTwoAndTheUsageLine) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"scene.obj"},
        {"--bogus", "scene.obj", "-o", "x"},
        {"scene.obj", "-o", "x", "--localize", "--no-localize"},
        {"scene.obj", "-o", "x", "--import-timeout", "0"},
        {"--dump-scene", "only-one"},
        {"scene.obj", "-o", std::string(300, 'd')},
    };
    for (const auto& args : cases) {
        const ProcessResult r = RunKvoexp(args);
        EXPECT_TRUE(r.exited);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_TRUE(Contains(r.err, "kvoexp: error: ")) << r.err;
        EXPECT_TRUE(Contains(r.err, "Usage: kvoexp [OPTIONS] SCENE... -o DIR")) << r.err;
    }
}

TEST(KvoexpCommandLine, VersionAndHelp) {
    const ProcessResult version = RunKvoexp({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(Contains(version.out, "kvoexp 0.3.0"));
    const ProcessResult help = RunKvoexp({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--output", "--no-vertex-colors", "--config-dir", "--select", "--collapse",
          "--no-collapse", "--list", "--quiet", "--import-timeout", "--dump-scene"}) {
        EXPECT_TRUE(Contains(help.out, option)) << option;
    }
}

TEST(KvoexpCommandLine, ListShowsTheTreeAndTheSelectionAndWritesNothing) {
    clitest::ScratchDir dir;
    const ProcessResult r = RunKvoexp(
        {"--list", Sample(), "--select", "*Tower", "-o", dir.Path("out"), "--no-collapse"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "'Signal-Tower'  geometry, 36 faces, material IDs 0,1,2"));
    EXPECT_TRUE(Contains(r.out,
                         "{0: 'Tower Base', 1: 'Tower Lamp' (map checker.png), 2: "
                         "'Tower-Roof'}  [selected: exported as 'Signal-Tower.kvo']"));
    EXPECT_TRUE(Contains(r.out, "    'Tower Antenna'  geometry, 12 faces"));
    EXPECT_TRUE(Contains(r.out, "[below a root child: not exported]"));
    EXPECT_TRUE(Contains(r.out,
                         "'Crate - Wood'  geometry, 12 faces, material IDs 0, material "
                         "'Crate Wood' (map checker.png)  [not selected]"));
    EXPECT_TRUE(Contains(r.out, "'Camera 01'  camera  [not selected]"));
    EXPECT_FALSE(fs::exists(dir.Path("out")));
}

// The line of --list that shows the node named `name`, or "".
std::string ListedLine(const std::string& out, const std::string& name) {
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  '" + name + "'  ", 0) == 0) return line;
    }
    return {};
}

// --list promises only what the export does: names that would be paths are
// marked with the reason the save refuses them.
TEST(KvoexpCommandLine, ListSaysWhichNodesTheExportWillNotWriteAndWhy) {
    clitest::ScratchDir dir;
    const std::string obj = dir.Path("names.obj");
    clitest::WriteFile(obj,
                       "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
                       "o a/b\nf 1 2 3\no back\\slash\nf 1 2 3\no ..\nf 1 2 3\n"
                       "o fine\nf 1 2 3\n");
    const ProcessResult r = RunKvoexp({"--list", obj});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const struct {
        const char* name;
        const char* mark;
    } cases[] = {
        {"a/b", "[selected: will not be written: the name holds a path separator]"},
        {"back\\slash", "[selected: will not be written: the name holds a path separator]"},
        {"..", "[selected: will not be written: the name is '..']"},
        {"fine", "[selected: exported as 'fine.kvo']"},
    };
    for (const auto& c : cases) {
        const std::string line = ListedLine(r.out, c.name);
        EXPECT_TRUE(Contains(line, c.mark)) << c.name << "\n" << r.out;
    }
}

TEST(KvoexpCommandLine, DumpSceneWritesTheImportProcessesCompactForm) {
    clitest::ScratchDir dir;
    const ProcessResult r =
        RunKvoexp({"--dump-scene", Sample(), dir.Path("scene.bin"), "--no-collapse"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string bytes = clitest::ReadFile(dir.Path("scene.bin"));
    kvoscene::Scene scene;
    std::string error;
    ASSERT_TRUE(kvoscene::DecodeScene(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                      scene, error))
        << error;
    EXPECT_EQ(scene.nodes.size(), 6u);
    EXPECT_EQ(scene.nodes[0].name, "Crate - Wood");
}

TEST(KvoexpCommandLine, ImportFailuresAreReportedAndTheOtherScenesGoOn) {
    clitest::ScratchDir dir;
    const std::string crash =
        Model("assimp/test/models/invalid/crash-30d6d0f7c529b3b66b4131700b7a4580cd7082df.ply");
    const ProcessResult r = RunKvoexp({"--list", crash, dir.Path("missing.obj"), Sample()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "kvoexp: " + crash + ": cannot import: the importer crashed"))
        << r.err;
    EXPECT_TRUE(Contains(r.err, "kvoexp: " + dir.Path("missing.obj") + ": cannot import: "))
        << r.err;
    EXPECT_TRUE(Contains(r.out, "'Signal-Tower'"));
}

// Every scene file of the shared models either exports files that pass
// `kvo validate`, or fails with a message and status 1; none takes kvoexp down.
TEST_F(KvoexpProgram, EveryModelFileExportsOrFailsCleanly) {
    int exported = 0, failed = 0;
    for (const auto& entry : fs::recursive_directory_iterator(clitest::ModelsDir())) {
        if (!entry.is_regular_file()) continue;
        const std::string ext = entry.path().extension().string();
        static const std::set<std::string> skipped = {".md",  ".txt", ".jpg",
                                                      ".png", ".bin", ".mtl"};
        if (skipped.count(ext) || entry.path().filename() == "LICENSE") continue;
        const std::string out = dir_.Path("model-" + std::to_string(exported + failed));
        const std::string reportPath = out + ".json";
        const ProcessResult r = RunKvoexp({entry.path().string(), "-o", out, "-q",
                                           "--import-timeout", "20", "--report", reportPath},
                                          60);
        SCOPED_TRACE(entry.path().string() + "\n" + r.err);
        ASSERT_TRUE(r.exited && !r.timedOut) << "signal " << r.signal;
        ASSERT_TRUE(r.exitCode == 0 || r.exitCode == 1) << r.exitCode;
        if (r.exitCode == 1) {
            ++failed;
            EXPECT_TRUE(Contains(r.err, "kvoexp: "));
        } else {
            ++exported;
            EXPECT_FALSE(KvoFiles(out).empty());
        }
        for (const std::string& name : KvoFiles(out)) {
            const ProcessResult check =
                clitest::RunProcess(clitest::KvoTool(), {"validate", out + "/" + name});
            EXPECT_EQ(check.exitCode, 0) << name << ": " << check.out << check.err;
        }
        // The report's triangles are those of the files, and a node that lost
        // faces carries a warning that says so.
        std::ifstream in(reportPath);
        const nlohmann::json report = nlohmann::json::parse(in, nullptr, false);
        ASSERT_TRUE(report.is_object());
        for (const nlohmann::json& scene : report["scenes"]) {
            size_t sum = 0;
            for (const std::string& name : KvoFiles(out)) {
                sum += clitest::ReadKvo(out + "/" + name).TriangleCount();
            }
            EXPECT_EQ(scene["triangles_out"].get<size_t>(), sum);
            for (const nlohmann::json& node : scene["nodes"]) {
                if (!node.value("written", false)) continue;
                if (node["triangles_out"] != node["faces_in"]) {
                    EXPECT_FALSE(node["warnings"].empty()) << node.dump();
                }
            }
        }
    }
    EXPECT_GE(exported, 20);
    EXPECT_GE(failed, 4);  // the invalid files, the cyclic glTF, the deep engine
}

// With Localize on, each node's triangles are the file's triangles of its
// group, position for position, grouped by material in usemtl order.
void CheckObjExport(const std::string& objPath, const std::string& out) {
    const std::vector<clitest::ObjGroup> groups = clitest::ReadObjGroups(objPath);
    std::set<std::string> expectedFiles;
    for (const clitest::ObjGroup& group : groups) expectedFiles.insert(group.name + ".kvo");
    EXPECT_EQ(KvoFiles(out), expectedFiles);
    for (const clitest::ObjGroup& group : groups) {
        SCOPED_TRACE(group.name);
        const clitest::KvoContents kvo = clitest::ReadKvo(out + "/" + group.name + ".kvo");
        ASSERT_TRUE(kvo.loaded);
        ASSERT_EQ(kvo.materialNames.size(), group.materials.size());
        for (size_t id = 0; id < group.materials.size(); ++id) {
            EXPECT_EQ(kvo.materialNames[id], group.materials[id]);
            const auto found = kvo.trianglesByMaterial.find(static_cast<int>(id));
            ASSERT_NE(found, kvo.trianglesByMaterial.end());
            EXPECT_TRUE(found->second == group.triangles.at(group.materials[id]))
                << "material " << group.materials[id];
        }
    }
}

TEST_F(KvoexpProgram, ObjPositionsNamesMaterialIdsAndTexturesComeFromTheFile) {
    const std::string spider = Model("assimp/test/models/OBJ/spider.obj");
    const std::string cube = Model("assimp/test/models/OBJ/cube_usemtl.obj");
    // The import's numbers are pinned by the unit tests (tests/cli); here one
    // file checks they arrive through the program, the other its texture names.
    for (const std::string& obj : {spider, cube}) {
        const std::string out = dir_.Path(fs::path(obj).stem().string());
        const ProcessResult r = RunKvoexp({obj, "-o", out, "--localize", "--no-optimize"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    CheckObjExport(cube, dir_.Path("cube_usemtl"));
    // Texture names: the diffuse map of the group's material, without directories.
    const auto maps = clitest::ReadMtlMaps(Model("assimp/test/models/OBJ/spider.mtl"));
    for (const clitest::ObjGroup& group : clitest::ReadObjGroups(spider)) {
        const clitest::KvoContents kvo =
            clitest::ReadKvo(dir_.Path("spider") + "/" + group.name + ".kvo");
        ASSERT_EQ(kvo.textures.size(), 1u) << group.name;
        std::string map = maps.at(group.materials[0]);
        map = map.substr(map.find_last_of("\\/") + 1);
        EXPECT_EQ(kvo.textures[0], map) << group.name;
    }
}

TEST_F(KvoexpProgram, OptimizedExportKeepsTheFilePositionsToo) {
    const std::string spider = Model("assimp/test/models/OBJ/spider.obj");
    const ProcessResult r = RunKvoexp({spider, "-o", Out(), "--localize", "--optimize"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    CheckObjExport(spider, Out());
}

TEST_F(KvoexpProgram, SampleSceneWithEverySideFile) {
    const ProcessResult r = RunKvoexp(
        {Sample(), "-o", Out(), "--vertex-colors", "--shader", "--geometry-ini", "--log"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(KvoFiles(Out()), (std::set<std::string>{"Crate - Wood.kvo", "Signal-Tower.kvo",
                                                      "Rock Sphere-1.kvo", "Ground Plane.kvo"}));
    for (const char* side : {"kvoexp.shd", "geometry.ini", "kvoexp_log.txt"}) {
        EXPECT_TRUE(fs::exists(File(side))) << side;
    }
    EXPECT_TRUE(Contains(r.out, Sample() + ": 4 nodes exported, 1 not geometry, 0 failed; 4 files "
                                           "written; "))
        << r.out;
    const clitest::KvoContents tower = clitest::ReadKvo(File("Signal-Tower.kvo"));
    EXPECT_EQ(tower.materialNames,
              (std::vector<std::string>{"Tower_Base", "Tower_Lamp", "TowerRoof"}));
    EXPECT_EQ(tower.textures, (std::vector<std::string>{"", "checker.png", ""}));
    // The tower's 36 faces and its antenna's 12, merged by default.
    EXPECT_EQ(tower.TriangleCount(), 48u);
    // World positions: the tower stands at (2, 0, -1.5) in the file's Y-up frame.
    EXPECT_EQ(tower.MaxCoordinate(0), 2.5f);
    EXPECT_EQ(tower.MaxCoordinate(1), 3.75f);
    EXPECT_EQ(tower.MaxCoordinate(2), -1.0f);
    const std::string ini = clitest::ReadFile(File("geometry.ini"));
    EXPECT_TRUE(Contains(ini, "Signal-Tower.kvo"));
}

TEST_F(KvoexpProgram, SelectExportsOnlyTheMatchingRootChildren) {
    const ProcessResult r =
        RunKvoexp({Sample(), "-o", Out(), "--select", "Crate*", "--select", "Ground Plane"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(KvoFiles(Out()), (std::set<std::string>{"Crate - Wood.kvo", "Ground Plane.kvo"}));
    EXPECT_TRUE(Contains(r.out, "2 nodes exported, 0 not geometry, 0 failed")) << r.out;
}

TEST_F(KvoexpProgram, OnlyACameraSelectedIsAnErrorNamingTheSceneAndStatusOne) {
    const ProcessResult r = RunKvoexp({Sample(), "-o", Out(), "--select", "Camera 01"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "kvoexp: error: " + Sample() +
                                    ": nothing to export: the selected root children hold no "
                                    "geometry (--select leaves out 4 geometry nodes)\n"))
        << r.err;
    EXPECT_FALSE(Contains(r.err, "Please select objects")) << r.err;
    EXPECT_TRUE(Contains(r.out, "0 nodes exported, 1 not geometry, 0 failed")) << r.out;
    EXPECT_TRUE(KvoFiles(Out()).empty());
}

TEST_F(KvoexpProgram, CollapseMergesTheChildIntoItsRootChild) {
    const ProcessResult r =
        RunKvoexp({Sample(), "-o", Out(), "--collapse", "--localize", "--select", "Signal-Tower"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const clitest::KvoContents tower = clitest::ReadKvo(File("Signal-Tower.kvo"));
    EXPECT_EQ(tower.TriangleCount(), 48u);
    EXPECT_EQ(tower.materialNames.size(), 3u);
    // The antenna's top: 1 above its origin, 2.75 above the tower's (Y up).
    EXPECT_EQ(tower.MaxCoordinate(1), 3.75f);
}

TEST_F(KvoexpProgram, NodesThatCannotBeSavedAreFailuresWithStatusOne) {
    const std::string obj = dir_.Path("names.obj");
    clitest::WriteFile(obj, "v 0 0 0\nv 1 0 0\nv 0 1 0\no a/b\nf 1 2 3\no fine\nf 1 2 3\n");
    const ProcessResult r = RunKvoexp({obj, "-o", Out()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(Contains(r.err, "node 'a/b' was not written: the name holds a path separator"))
        << r.err;
    EXPECT_TRUE(Contains(r.out, "1 node exported, 0 not geometry, 1 failed; 1 file written"))
        << r.out;
    EXPECT_EQ(KvoFiles(Out()), std::set<std::string>{"fine.kvo"});
}

TEST_F(KvoexpProgram, AFileWrittenTwiceIsAWarningNamingBothNodes) {
    const ProcessResult r = RunKvoexp({Sample(), Sample(), "-o", Out(), "--select", "Crate*"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "kvoexp: warning: " + Sample() + ": " + File("Crate - Wood.kvo") +
                                    " written twice: by node 'Crate - Wood' of " + Sample() +
                                    ", then by node 'Crate - Wood' of " + Sample()))
        << r.err;
}

TEST_F(KvoexpProgram, InvocationsWithoutConfigDirDoNotInfluenceEachOther) {
    // Localize changes the crate's positions: local [-0.5, 0.5], world [-2.5, -1.5] in x.
    const std::string tmp = dir_.Path("tmp");
    fs::create_directories(tmp);
    const std::vector<std::string> env = {"TMPDIR=" + tmp};
    const std::vector<std::string> crate = {Sample(), "-o", Out(), "--select", "Crate*"};
    std::vector<std::string> first = crate;
    first.push_back("--localize");
    ASSERT_EQ(RunKvoexp(first, 60, env).exitCode, 0);
    EXPECT_EQ(clitest::ReadKvo(File("Crate - Wood.kvo")).MaxCoordinate(0), 0.5f);
    ASSERT_EQ(RunKvoexp(crate, 60, env).exitCode, 0);
    EXPECT_EQ(clitest::ReadKvo(File("Crate - Wood.kvo")).MaxCoordinate(0), -1.5f);
    EXPECT_TRUE(fs::is_empty(tmp));  // the private directories are gone

    // With a configuration directory the panel's settings carry over.
    std::vector<std::string> withConfig = first;
    withConfig.insert(withConfig.end(), {"--config-dir", dir_.Path("cfg")});
    ASSERT_EQ(RunKvoexp(withConfig, 60, env).exitCode, 0);
    std::vector<std::string> again = crate;
    again.insert(again.end(), {"--config-dir", dir_.Path("cfg")});
    ASSERT_EQ(RunKvoexp(again, 60, env).exitCode, 0);
    EXPECT_EQ(clitest::ReadKvo(File("Crate - Wood.kvo")).MaxCoordinate(0), 0.5f);
    EXPECT_EQ(clitest::ReadFile(dir_.Path("cfg/kvoexp.cfg")), Out() + "\n1\n1\n1\n0\n0\n0\n0\n0\n");
}

// A height field of `objects` objects of 2 x n x n triangles each.
TEST_F(KvoexpProgram, CtrlCDuringAnExportCancelsItAndExitsWith130) {
    const std::string obj = dir_.Path("big.obj");
    clitest::WriteBigObj(obj, 12, 160, "Field-");  // 614,400 triangles
    const std::string log = File("kvoexp_log.txt");
    bool sent = false;  // the log is opened once the plug-in's checks have passed
    const ProcessResult r =
        clitest::RunKvoexpInterruptedOnce({obj, "-o", Out(), "--log"}, log, sent);
    ASSERT_TRUE(sent);
    ASSERT_TRUE(r.exited) << r.signal;
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_TRUE(Contains(r.err, "kvoexp: interrupted")) << r.err;
    EXPECT_TRUE(Contains(r.out, "; cancelled")) << r.out;
    EXPECT_TRUE(Contains(clitest::ReadFile(log), "export canceled"));
    EXPECT_LT(KvoFiles(Out()).size(), 12u);
}

}  // namespace

namespace {

// The settings file a completed run saves shows the state of the eight boxes.
TEST_F(KvoexpProgram, EachFlagPairSetsItsCheckBox) {
    struct Case {
        std::vector<std::string> flags;
        std::string boxes;  // lines 2 to 9 of kvoexp.cfg
    };
    const std::vector<Case> cases = {
        {{}, "0\n1\n1\n0\n0\n0\n0\n0\n"},  // the panel's defaults
        {{"--localize", "--no-optimize", "--no-normals", "--vertex-colors", "--shader",
          "--geometry-ini", "--log"},
         "1\n0\n0\n0\n1\n1\n1\n1\n"},
        // Up Normals is set while Normals is still ticked, then Normals cleared.
        {{"--no-normals", "--up-normals"}, "0\n1\n0\n1\n0\n0\n0\n0\n"},
        {{"--up-normals"}, "0\n1\n1\n1\n0\n0\n0\n0\n"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string config = dir_.Path("cfg" + std::to_string(n++));
        std::vector<std::string> args = {Sample(),   "-o",     Out(),          "-q",
                                         "--select", "Crate*", "--config-dir", config};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        const ProcessResult r = RunKvoexp(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(clitest::ReadFile(config + "/kvoexp.cfg"), Out() + "\n" + c.boxes)
            << ::testing::PrintToString(c.flags);
    }
}

TEST_F(KvoexpProgram, ObjectsBelowTheRootChildrenAreMergedUnlessNoCollapse) {
    const std::string engine =
        Model("assimp/test/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb");
    const ProcessResult plain = RunKvoexp({engine, "-o", Out(), "--no-collapse"});
    EXPECT_EQ(plain.exitCode, 1);
    EXPECT_TRUE(Contains(plain.err, "kvoexp: warning: " + engine +
                                        ": 67 geometry nodes (121496 faces) below the root's "
                                        "children not exported with --no-collapse"))
        << plain.err;
    EXPECT_TRUE(Contains(plain.err, "kvoexp: error: " + engine +
                                        ": nothing to export: its 67 geometry nodes (121496 "
                                        "faces) are all below the root's children, which "
                                        "--no-collapse leaves out\n"))
        << plain.err;
    EXPECT_FALSE(Contains(plain.err, "Please select objects")) << plain.err;
    EXPECT_TRUE(KvoFiles(Out()).empty());
    for (const std::vector<std::string>& flags :
         {std::vector<std::string>{}, std::vector<std::string>{"--collapse"}}) {
        std::vector<std::string> args = {engine, "-o", Out()};
        args.insert(args.end(), flags.begin(), flags.end());
        const ProcessResult collapsed = RunKvoexp(args);
        EXPECT_EQ(collapsed.exitCode, 0) << collapsed.err;
        EXPECT_FALSE(Contains(collapsed.err, "below the root")) << collapsed.err;
        EXPECT_TRUE(Contains(collapsed.out, "1 node exported, 1 not geometry, 0 failed"))
            << collapsed.out;
        const std::set<std::string> files = KvoFiles(Out());
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(clitest::ReadKvo(File(*files.begin())).TriangleCount(), 121496u);
    }
}

}  // namespace
