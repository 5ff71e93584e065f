// What real scenes hold beyond plain triangle meshes: scenes with nothing to
// export, lines and points, morph targets at their default weights, importer
// placeholder names and names that clash, each said in a warning or an error.
#include <gtest/gtest.h>

#include <filesystem>
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
using clitest::KvoFiles;
using clitest::ProcessResult;
using clitest::RunKvoexp;
using nlohmann::json;

// The report's warning codes of the run's one scene.
std::multiset<std::string> Codes(const std::string& reportPath) {
    std::multiset<std::string> codes;
    const json report = json::parse(clitest::ReadFile(reportPath), nullptr, false);
    if (!report.is_object()) return codes;
    for (const json& w : report["scenes"][0]["warnings"])
        codes.insert(w["code"].get<std::string>());
    return codes;
}

class RealScenes : public ::testing::Test {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    }
    std::string Out() const { return dir_.Path("out"); }
    std::string Report() const { return dir_.Path("report.json"); }
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir_.Path(name);
        clitest::WriteFile(path, text);
        return path;
    }
    ProcessResult Run(const std::string& scene, std::vector<std::string> more = {}) {
        fs::remove_all(Out());
        std::vector<std::string> args = {scene, "-o", Out(), "--report", Report()};
        args.insert(args.end(), more.begin(), more.end());
        return RunKvoexp(args);
    }
    clitest::ScratchDir dir_;
};

const char kLightAndCameras[] =
    R"({"asset":{"version":"2.0"},"extensionsUsed":["KHR_lights_punctual"],)"
    R"("extensions":{"KHR_lights_punctual":{"lights":[{"type":"point","name":"Lamp"},)"
    R"({"type":"spot","name":"Spot","spot":{}}]}},)"
    R"("cameras":[{"type":"perspective","name":"View","perspective":{"yfov":0.8,"znear":0.1}}],)"
    R"("scene":0,"scenes":[{"nodes":[0,1,2]}],"nodes":[)"
    R"({"name":"Lamp","extensions":{"KHR_lights_punctual":{"light":0}}},)"
    R"({"name":"Spot","extensions":{"KHR_lights_punctual":{"light":1}}},)"
    R"({"name":"View","camera":0}]})";

// A two-joint skeleton with two frames of motion and no mesh at all.
const char kSkeleton[] =
    "HIERARCHY\nROOT Hips\n{\n  OFFSET 0 0 0\n"
    "  CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
    "  JOINT Chest\n  {\n    OFFSET 0 5 0\n    CHANNELS 3 Zrotation Xrotation Yrotation\n"
    "    End Site\n    {\n      OFFSET 0 5 0\n    }\n  }\n}\n"
    "MOTION\nFrames: 2\nFrame Time: 0.0333\n"
    "0 0 0 0 0 0 0 0 0\n0 1 0 0 0 0 0 0 0\n";

TEST_F(RealScenes, ScenesWithoutGeometryWriteNothingAndSayWhy) {
    const struct {
        const char* file;
        const char* text;
        const char* why;
    } cases[] = {
        {"lights.gltf", kLightAndCameras, "the scene holds 2 lights and 1 camera, no geometry"},
        {"motion.bvh", kSkeleton, "the scene holds 1 helper node and 1 animation, no geometry"},
        {"lines.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nl 1 2 3\np 1\n",
         "the scene holds 1 helper node and 3 lines and points, no geometry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string scene = Write(c.file, c.text);
        const ProcessResult r = Run(scene);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_TRUE(Contains(r.err, "kvoexp: error: " + scene + ": nothing to export: ")) << r.err;
        EXPECT_TRUE(Contains(r.err, c.why)) << r.err;
        EXPECT_FALSE(Contains(r.err, "Please select objects")) << r.err;
        EXPECT_TRUE(KvoFiles(Out()).empty());
        const json report = json::parse(clitest::ReadFile(Report()), nullptr, false);
        ASSERT_TRUE(report.is_object());
        EXPECT_EQ(report["scenes"][0]["status"], "failed");
    }
}

TEST_F(RealScenes, LinesAndPointsAreDroppedWithTheirCounts) {
    // One object of two triangles, a line strip and points; one of lines alone.
    const std::string scene = Write("mixed.obj",
                                    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                                    "o Surface\nf 1 2 3\nf 1 3 4\nl 1 2 3 4\np 1 2\n"
                                    "o Wire\nl 1 3\n");
    const ProcessResult r = Run(scene);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(KvoFiles(Out()), (std::set<std::string>{"Surface.kvo"}));
    EXPECT_EQ(clitest::ReadKvo(Out() + "/Surface.kvo").TriangleCount(), 2u);
    EXPECT_TRUE(Contains(r.err, "kvoexp: warning: " + scene +
                                    ": 4 lines and 2 points of the scene's meshes not exported"))
        << r.err;
    EXPECT_EQ(Codes(Report()), (std::multiset<std::string>{Code(WarningCode::kNotTriangles)}));
    EXPECT_TRUE(Contains(r.out, "1 node exported, 1 not geometry, 0 failed")) << r.out;
}

// A triangle whose third corner a morph target lifts by 1 along the file's z.
clitest::GltfPrimitive MorphedTriangle(std::vector<float> weights) {
    clitest::GltfPrimitive p;
    p.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    p.indices = {0, 1, 2};
    p.targets = {{{0, 0, 0}, {0, 0, 0}, {0, 0, 1}}, {{0, 0, 0}, {0, 0, 2}, {0, 0, 0}}};
    p.weights = std::move(weights);
    return p;
}

TEST_F(RealScenes, MorphTargetsTakeTheFilesDefaultWeights) {
    const struct {
        std::vector<float> weights;
        float top;  // the highest z of the written triangle (the file's frame)
    } cases[] = {
        {{}, 0.0f},
        {{0.0f, 0.0f}, 0.0f},
        {{0.5f, 0.0f}, 0.5f},
        {{0.25f, 1.0f}, 2.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.weights));
        const std::string scene = dir_.Path("morph.gltf");
        clitest::WriteGltf(scene, {{MorphedTriangle(c.weights)}}, {{"Flag"}});
        const ProcessResult r = Run(scene);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const clitest::KvoContents kvo = clitest::ReadKvo(Out() + "/Flag.kvo");
        EXPECT_EQ(kvo.TriangleCount(), 1u);
        EXPECT_EQ(kvo.MaxCoordinate(2), c.top);
    }
}

TEST_F(RealScenes, PlaceholderAndClashingNamesBecomeDistinctFileNames) {
    clitest::GltfPrimitive cube = clitest::HardCube();
    // Unnamed nodes: the mesh's name, else the file's and the node's position.
    const std::string unnamed = dir_.Path("unnamed.gltf");
    clitest::WriteGltf(unnamed, {{cube}}, {{""}, {""}});
    ProcessResult r = Run(unnamed);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const std::string& file : KvoFiles(Out())) {
        EXPECT_FALSE(Contains(file, "nodes[")) << file;
        EXPECT_FALSE(Contains(file, "<")) << file;
    }
    EXPECT_EQ(KvoFiles(Out()).size(), 2u);

    // Four nodes of one name and one that differs in letter case only.
    const std::string inst = dir_.Path("inst.gltf");
    clitest::WriteGltf(inst, {{cube}}, {{"Inst"}, {"Inst"}, {"Other"}, {"inst"}, {"Inst"}});
    r = Run(inst);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(KvoFiles(Out()), (std::set<std::string>{"Inst.kvo", "Inst-2.kvo", "inst-3.kvo",
                                                      "Inst-4.kvo", "Other.kvo"}));
    EXPECT_TRUE(Contains(r.err,
                         "4 nodes would write Inst.kvo: written as 'Inst', 'Inst-2', "
                         "'inst-3', 'Inst-4' in scene order"))
        << r.err;
    EXPECT_EQ(Codes(Report()), (std::multiset<std::string>{Code(WarningCode::kNameCollision)}));
    EXPECT_TRUE(Contains(r.out, "5 nodes exported, 0 not geometry, 0 failed")) << r.out;

    // The listing names the files the export writes, under the file's own names.
    r = clitest::RunKvoexp({"--list", inst});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* file : {"Inst.kvo", "Inst-2.kvo", "inst-3.kvo", "Inst-4.kvo", "Other.kvo"}) {
        EXPECT_TRUE(Contains(r.out, std::string("exported as '") + file + "'")) << r.out;
    }
    EXPECT_FALSE(Contains(r.out, "'Inst-2'  ")) << r.out;
}

TEST_F(RealScenes, SharedModelsSayWhatTheyLose) {
    const std::string models = clitest::ModelsDir() + "/";
    const struct {
        const char* model;
        std::multiset<std::string> codes;
        const char* text;
    } cases[] = {
        {"assimp/test/models/FBX/box_orphant_embedded_texture.fbx",
         {Code(WarningCode::kTextureEmbedded), Code(WarningCode::kUvSetDropped)},
         "1 texture coordinate set past the first (in 1 mesh) not exported"},
        {"trimesh/models/CesiumMilkTruck.glb",
         {Code(WarningCode::kAnimationDropped), Code(WarningCode::kTextureEmbedded),
          Code(WarningCode::kTextureEmbedded)},
         "1 animation not exported: the files hold the default pose"},
        {"assimp/test/models/invalid/box_nested_animation_4286.dae",
         {Code(WarningCode::kAnimationDropped), Code(WarningCode::kSkinDropped)},
         "1 mesh bound to bones: exported unbound, in the default pose"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        const ProcessResult r = Run(models + c.model);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Codes(Report()), c.codes) << r.err;
        EXPECT_TRUE(Contains(r.err, c.text)) << r.err;
    }
}

}  // namespace
