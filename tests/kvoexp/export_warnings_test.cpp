// Warnings, the JSON report, --strict and --check of the console host, on
// scenes the tests write (and two real models) with one kind of loss each.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "cli/checks/warning_codes.h"
#include "gltf_writer.h"
#include "kvo_contents.h"
#include "tests/cli/cli_test_support.h"

namespace {

using kvochecks::WarningCode;

using clitest::Code;

namespace fs = std::filesystem;
using clitest::Contains;
using clitest::ProcessResult;
using clitest::RunKvoexp;
using nlohmann::json;

std::string Sample() {
    return clitest::SamplesDir() + "/sample_scene.gltf";
}

// An OBJ of one triangle per object, the objects named as given, each with
// the material of the same position in `materials` (none when shorter).
std::string TriangleObj(const std::vector<std::string>& objects,
                        const std::vector<std::string>& materials = {},
                        const std::string& mtl = "") {
    std::string text = mtl.empty() ? "" : "mtllib " + mtl + "\n";
    text += "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    for (size_t i = 0; i < objects.size(); ++i) {
        text += "o " + objects[i] + "\n";
        if (i < materials.size()) text += "usemtl " + materials[i] + "\n";
        text += "f 1 2 3\n";
    }
    return text;
}

// One object with one triangle in each of `count` materials.
std::string ManyMaterialsObj(int count) {
    std::string text = "mtllib many.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\no Big\n";
    for (int i = 0; i < count; ++i) text += "usemtl m" + std::to_string(i) + "\nf 1 2 3\n";
    return text;
}

std::string ManyMaterialsMtl(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "newmtl m" + std::to_string(i) + "\nKd 1 1 1\n";
    return text;
}

json ReadJson(const std::string& path) {
    std::ifstream in(path);
    return json::parse(in, nullptr, false);
}

std::set<std::string> Codes(const json& scene) {
    std::set<std::string> codes;
    for (const json& w : scene["warnings"]) codes.insert(w["code"].get<std::string>());
    return codes;
}

class ExportWarnings : public ::testing::Test {
public:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    }
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir_.Path(name);
        clitest::WriteFile(path, text);
        return path;
    }
    std::string Out() const { return dir_.Path("out"); }
    std::string Report() const { return dir_.Path("report.json"); }
    clitest::ScratchDir dir_;
};

struct WarningCase {
    const char* what;
    std::function<std::string(ExportWarnings&)> scene;  // writes the scene, returns its path
    std::vector<std::string> args;
    std::string code;
    std::string text;  // a part of the warning line after the scene's name
    int exitStatus;    // without --strict
};

TEST_F(ExportWarnings, EachLossIsAWarningWithItsCodeAndStrictFailsOnIt) {
    const std::string models = clitest::ModelsDir() + "/assimp/test/models";
    const std::vector<WarningCase> cases = {
        {"geometry below a root child",
         [](ExportWarnings&) { return Sample(); },
         {"--no-collapse"},
         Code(WarningCode::kBelowRoot),
         "1 geometry node (12 faces) below the root's children not exported with --no-collapse",
         0},
        {"a pattern that matches nothing",
         [](ExportWarnings&) { return Sample(); },
         {"--select", "Crate*", "--select", "Nope*"},
         Code(WarningCode::kSelectUnmatched),
         "--select 'Nope*' matched none of the root's children",
         0},
        {"a texture file that does not exist",
         [](ExportWarnings& t) {
             t.Write("t.mtl", "newmtl Stone\nmap_Kd gone.png\n");
             return t.Write("t.obj", TriangleObj({"Wall"}, {"Stone"}, "t.mtl"));
         },
         {},
         Code(WarningCode::kTextureMissing),
         "node 'Wall', material 'Stone': texture 'gone.png' not found",
         0},
        {"an embedded texture",
         [&](ExportWarnings&) { return models + "/FBX/box_orphant_embedded_texture.fbx"; },
         {},
         Code(WarningCode::kTextureEmbedded),
         "the texture is held inside the scene file",
         0},
        {"two materials, one sanitised name",
         [](ExportWarnings& t) {
             t.Write("m.mtl", "newmtl Wood-1\nKd 1 0 0\nnewmtl Wood1\nKd 0 1 0\n");
             return t.Write("m.obj", TriangleObj({"A", "B"}, {"Wood-1", "Wood1"}, "m.mtl"));
         },
         {},
         Code(WarningCode::kMaterialNameCollision),
         "materials 'Wood-1' and 'Wood1' are both written as 'Wood1'",
         0},
        {"names that differ in letter case, renamed apart",
         [](ExportWarnings& t) {
             return t.Write("c.obj", TriangleObj({"Crate", "crate"}));
         },
         {},
         Code(WarningCode::kNameCollision),
         "2 nodes would write Crate.kvo: written as 'Crate', 'crate-2' in scene order",
         0},
        {"a Windows device name",
         [](ExportWarnings& t) { return t.Write("d.obj", TriangleObj({"CON"})); },
         {},
         Code(WarningCode::kNameNotPortable),
         "node 'CON': Windows refuses it as a file name",
         0},
        {"a character Windows forbids",
         [](ExportWarnings& t) { return t.Write("w.obj", TriangleObj({"a:b"})); },
         {},
         Code(WarningCode::kNameNotPortable),
         "node 'a:b': Windows refuses it as a file name",
         0},
        {"a brace with geometry.ini on",
         [](ExportWarnings& t) { return t.Write("b.obj", TriangleObj({"a{b"})); },
         {"--geometry-ini"},
         Code(WarningCode::kNameBreaksGeometryIni),
         "node 'a{b': a line break or brace",
         0},
        {"non-finite positions",
         [&](ExportWarnings&) {
             return models + "/glTF2/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb";
         },
         {},
         Code(WarningCode::kNonFiniteValues),
         // Each infinite coordinate makes the whole moved position non-finite (0 * inf).
         "72 non-finite position values (moved by the node's transform)",
         0},
        {"non-finite positions, localized",
         [&](ExportWarnings&) {
             return models + "/glTF2/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb";
         },
         {"--localize"},
         Code(WarningCode::kNonFiniteValues),
         "24 non-finite position values and",
         0},
        {"more material groups than geobs",
         [](ExportWarnings& t) {
             t.Write("many.mtl", ManyMaterialsMtl(260));
             return t.Write("many.obj", ManyMaterialsObj(260));
         },
         {},
         Code(WarningCode::kGeobTableFull),
         "node 'Big': 60 material groups (60 faces) not written: the geob table holds 200",
         0},
        {"a name too long for a file",
         [](ExportWarnings& t) {
             return t.Write("long.obj", TriangleObj({std::string(254, 'n')}));
         },
         {},
         Code(WarningCode::kSaveFailed),
         "was not written: File name too long",
         1},
    };
    for (const WarningCase& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Out());
        const std::string scene = c.scene(*this);
        std::vector<std::string> args = {scene, "-o", Out(), "--report", Report()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult r = RunKvoexp(args);
        EXPECT_EQ(r.exitCode, c.exitStatus) << r.err;
        const bool failure = c.code == Code(WarningCode::kSaveFailed);
        const std::string prefix = failure ? "kvoexp: " : "kvoexp: warning: ";
        EXPECT_TRUE(Contains(r.err, prefix + scene + ": ")) << r.err;
        EXPECT_TRUE(Contains(r.err, c.text)) << r.err;
        EXPECT_TRUE(Contains(r.out, "warning")) << r.out;
        const json report = ReadJson(Report());
        ASSERT_TRUE(report.is_object());
        ASSERT_EQ(report["scenes"].size(), 1u);
        EXPECT_EQ(Codes(report["scenes"][0]).count(c.code), 1u) << report["scenes"][0].dump(1);
        EXPECT_EQ(report["exit_status"], c.exitStatus);

        args.push_back("--strict");
        EXPECT_EQ(RunKvoexp(args).exitCode, 1);
    }
}

// The report's figures against the test's own count of the scene's faces
// and of the triangles in the files written.
TEST_F(ExportWarnings, ReportCountsMatchTheSceneAndTheWrittenFiles) {
    Write("many.mtl", ManyMaterialsMtl(230));
    const std::string scene = Write("many.obj", ManyMaterialsObj(230));
    const std::string obj = Write("two.obj", TriangleObj({"One", "Two"}));
    ASSERT_EQ(RunKvoexp({scene, obj, "-o", Out(), "--report", Report(), "-q"}).exitCode, 0);
    const json report = ReadJson(Report());
    ASSERT_EQ(report["scenes"].size(), 2u);
    const json& big = report["scenes"][0]["nodes"][0];
    EXPECT_EQ(big["name"], "Big");
    EXPECT_EQ(big["faces_in"], 230);
    EXPECT_EQ(big["geobs"], 200);
    EXPECT_EQ(big["triangles_out"], clitest::ReadKvo(Out() + "/Big.kvo").TriangleCount());
    EXPECT_EQ(big["triangles_out"], 200);
    EXPECT_EQ(big["materials"].size(), 230u);
    EXPECT_EQ(big["bytes"], fs::file_size(Out() + "/Big.kvo"));
    EXPECT_EQ(big["warnings"], json::array({Code(WarningCode::kGeobTableFull)}));
    const json& two = report["scenes"][1];
    EXPECT_EQ(two["nodes_exported"], 2);
    EXPECT_EQ(two["faces_in"], 2);
    EXPECT_EQ(two["triangles_out"], 2);
    EXPECT_TRUE(two["warnings"].empty());
    EXPECT_EQ(report["warnings"], 1);
}

TEST_F(ExportWarnings, ReportsFollowTheSchema) {
    Write("t.mtl", "newmtl Stone\nmap_Kd gone.png\n");
    const std::string bad =
        Write("t.obj", TriangleObj({"W\xc3\xbcrfel", "W\xff"}, {"Stone"}, "t.mtl"));
    const std::string missing = dir_.Path("missing.obj");
    const std::vector<std::vector<std::string>> runs = {
        {Sample(), "-o", Out()},
        {Sample(), bad, missing, "-o", Out(), "--select", "W*", "--select", "Nope"},
        {Sample(), "--check"},
        {Sample(), "-o", Out(), "--units", "cm", "--file-units", "in", "--scale", "2", "--up", "z"},
    };
    const std::string validator =
        std::string(KVOEXP_SOURCE_DIR) + "/tests/kvoexp/validate_report.py";
    const std::string schema = std::string(KVOEXP_SOURCE_DIR) + "/docs/report.schema.json";
    for (size_t i = 0; i < runs.size(); ++i) {
        std::vector<std::string> args = runs[i];
        args.insert(args.end(), {"--report", Report(), "-q"});
        RunKvoexp(args);
        const ProcessResult check =
            clitest::RunProcess("/usr/bin/python3", {validator, schema, Report()});
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        if (i != 1) continue;
        // Valid UTF-8 stays as it is; other bytes become U+FFFD, not Latin-1.
        const std::string text = clitest::ReadFile(Report());
        EXPECT_TRUE(Contains(text, "\"W\xc3\xbcrfel\"")) << text;
        EXPECT_TRUE(Contains(text, "\"W\xef\xbf\xbd\"")) << text;
    }
}

TEST_F(ExportWarnings, ReportGoesToStandardOutputWithADash) {
    const ProcessResult r = RunKvoexp({Sample(), "-o", Out(), "--report", "-", "-q"});
    EXPECT_EQ(r.exitCode, 0);
    const json report = json::parse(r.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << r.out;
    EXPECT_EQ(report["scenes"][0]["nodes_exported"], 4);
}

TEST_F(ExportWarnings, CheckIsADryRunWithTheSameWarningsAndReport) {
    fs::create_directories(Out());
    clitest::WriteFile(Out() + "/keep.txt", "mine");
    const ProcessResult check = RunKvoexp({Sample(), "-o", Out(), "--check", "--report", Report(),
                                           "--shader", "--geometry-ini", "--log"});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(Out())) {
        left.insert(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::set<std::string>{"keep.txt"});
    const json dry = ReadJson(Report());

    const ProcessResult real = RunKvoexp({Sample(), "-o", Out(), "--report", Report()});
    ASSERT_EQ(real.exitCode, 0);
    const json wet = ReadJson(Report());
    // The same files under the same names, the same bytes and warnings.
    ASSERT_EQ(dry["scenes"][0]["nodes"].size(), wet["scenes"][0]["nodes"].size());
    for (size_t i = 0; i < wet["scenes"][0]["nodes"].size(); ++i) {
        const json a = dry["scenes"][0]["nodes"][i];
        const json b = wet["scenes"][0]["nodes"][i];
        EXPECT_EQ(a.value("file", json()), b.value("file", json())) << i;
        EXPECT_EQ(a.value("sha256", json()), b.value("sha256", json())) << i;
        EXPECT_EQ(a.value("triangles_out", json()), b.value("triangles_out", json())) << i;
    }
    EXPECT_EQ(Codes(dry["scenes"][0]), Codes(wet["scenes"][0]));
    EXPECT_EQ(dry["scenes"][0]["warnings"].size(), wet["scenes"][0]["warnings"].size());
}

TEST_F(ExportWarnings, ControlCharactersInNamesArePrintedEscaped) {
    clitest::GltfNode node;
    node.name = "CTRLNAME";
    const std::string path = dir_.Path("ctrl.gltf");
    clitest::WriteGltf(path, {{clitest::HardCube()}}, {node});
    std::string text = clitest::ReadFile(path);
    text.replace(text.find("CTRLNAME"), 8, "a\\u001b[31mb");
    clitest::WriteFile(path, text);
    const ProcessResult r = RunKvoexp({path, "-o", Out()});
    EXPECT_TRUE(Contains(r.err, "kvoexp: warning: " + path +
                                    ": node 'a\\x1b[31mb': the name holds control characters"))
        << r.err;
    EXPECT_FALSE(Contains(r.err, "\x1b")) << "a raw escape reached the terminal";
}

}  // namespace
