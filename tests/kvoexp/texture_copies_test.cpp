// kvoexp --copy-textures and --texture-path as users run them: textures found
// by the lookup rule, copied beside the output, a colliding name suffixed in
// the .kvo, the shader file, the report and the depfile alike, and images
// held in a .glb extracted.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/checks/warning_codes.h"
#include "tests/cli/cli_test_support.h"
#include "view/image.h"

namespace {

using kvochecks::WarningCode;

using clitest::Code;

namespace fs = std::filesystem;
using clitest::ReadFile;
using clitest::RunKvoexp;
using clitest::WriteFile;

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "pixels";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Two triangles named A and B, with materials naming textures the way
// scenes from other machines do.
void WriteScene(const clitest::ScratchDir& dir) {
    WriteFile(dir.Path("scene/s.mtl"),
              "newmtl wood\nmap_Kd D:\\projects\\art\\Wood.png\n"
              "newmtl earth\nmap_Kd EarthCylindric.png\n"
              "newmtl secret\nmap_Kd ../passwd\n");
    WriteFile(dir.Path("scene/s.obj"),
              "mtllib s.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\n"
              "o A\nusemtl wood\nf 1/1 2/2 3/3\n"
              "o B\nusemtl earth\nf 1/1 2/2 3/3\n"
              "o C\nusemtl secret\nf 1/1 2/2 3/3\n");
}

TEST(CopyTextures, FoundCopiedAndRenamedWhereAnotherFileHasTheName) {
    clitest::ScratchDir dir("kvoexp_copytex");
    for (const char* sub : {"scene", "lib", "out"}) dir.Sub(sub);
    WriteScene(dir);
    WriteFile(dir.Path("lib/Wood.png"), kPng + "wood");
    WriteFile(dir.Path("scene/earthCylindric.png"), kPng + "earth");
    WriteFile(dir.Path("passwd"), "root:x:0:0:root:/root:/bin/bash\n");
    WriteFile(dir.Path("out/Wood.png"), kPng + "someone else's");
    const std::string report = dir.Path("r.json"), depfile = dir.Path("d.d");
    const std::vector<std::string> args = {dir.Path("scene/s.obj"),
                                           "-o",
                                           dir.Path("out"),
                                           "--shader",
                                           "--texture-path",
                                           dir.Path("lib"),
                                           "--copy-textures",
                                           "--report",
                                           report,
                                           "--depfile",
                                           depfile};
    const clitest::ProcessResult run = RunKvoexp(args);
    ASSERT_TRUE(run.exited) << run.err;
    EXPECT_EQ(run.exitCode, 0) << run.err;

    EXPECT_EQ(ReadFile(dir.Path("out/Wood.png")), kPng + "someone else's");
    EXPECT_EQ(ReadFile(dir.Path("out/Wood_1.png")), kPng + "wood");
    EXPECT_EQ(ReadFile(dir.Path("out/EarthCylindric.png")), kPng + "earth");
    EXPECT_FALSE(fs::exists(dir.Path("out/passwd")));
    EXPECT_TRUE(Contains(ReadFile(dir.Path("out/A.kvo")), "Wood_1.png"));
    EXPECT_TRUE(Contains(ReadFile(dir.Path("out/B.kvo")), "EarthCylindric.png"));
    EXPECT_TRUE(Contains(ReadFile(dir.Path("out/kvoexp.shd")), "Wood_1.png"));
    EXPECT_TRUE(Contains(run.err, Code(WarningCode::kTextureNameCollision)) ||
                Contains(run.err, "Wood_1.png"))
        << run.err;
    EXPECT_TRUE(Contains(run.err, "is not an image")) << run.err;
    EXPECT_FALSE(Contains(run.err, "not found")) << run.err;
    EXPECT_TRUE(Contains(run.out, "2 textures copied")) << run.out;

    const nlohmann::json r = nlohmann::json::parse(ReadFile(report));
    const nlohmann::json& copies = r["scenes"][0]["textures_copied"];
    ASSERT_EQ(copies.size(), 2u);
    std::set<std::string> names, codes;
    for (const auto& copy : copies) names.insert(copy["name"].get<std::string>());
    for (const auto& w : r["scenes"][0]["warnings"]) codes.insert(w["code"].get<std::string>());
    EXPECT_EQ(names, (std::set<std::string>{"Wood_1.png", "EarthCylindric.png"}));
    EXPECT_EQ(codes, (std::set<std::string>{Code(WarningCode::kTextureNameCollision),
                                            Code(WarningCode::kTextureNotImage)}));
    const std::string deps = ReadFile(depfile);
    EXPECT_TRUE(Contains(deps, dir.Path("out/Wood_1.png"))) << deps;  // a target
    EXPECT_TRUE(Contains(deps, dir.Path("lib/Wood.png"))) << deps;    // an input
    EXPECT_FALSE(Contains(deps, "passwd")) << deps;

    // Again: every copy is already there, the names stay.
    const clitest::ProcessResult again = RunKvoexp(args);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(Contains(again.out, "0 textures copied (2 already there)")) << again.out;
    EXPECT_TRUE(Contains(ReadFile(dir.Path("out/A.kvo")), "Wood_1.png"));
}

TEST(CopyTextures, WithoutTheFlagTexturesAreFoundButNotCopied) {
    clitest::ScratchDir dir("kvoexp_texpath");
    for (const char* sub : {"scene", "lib", "out"}) dir.Sub(sub);
    WriteScene(dir);
    WriteFile(dir.Path("scene/earthCylindric.png"), kPng + "earth");
    const clitest::ProcessResult missing =
        RunKvoexp({dir.Path("scene/s.obj"), "-o", dir.Path("out"), "--select", "A"});
    EXPECT_TRUE(Contains(missing.err, Code(WarningCode::kTextureMissing)) ||
                Contains(missing.err, "not found"));
    EXPECT_TRUE(Contains(missing.err, dir.Path("scene/Wood.png"))) << missing.err;
    WriteFile(dir.Path("lib/wood.PNG"), kPng + "wood");
    const clitest::ProcessResult found =
        RunKvoexp({dir.Path("scene/s.obj"), "-o", dir.Path("out"), "--select", "A", "--select", "B",
                   "--texture-path", dir.Path("lib")});
    EXPECT_EQ(found.exitCode, 0) << found.err;
    EXPECT_FALSE(Contains(found.err, "not found")) << found.err;
    EXPECT_FALSE(fs::exists(dir.Path("out/Wood.png")));
    EXPECT_TRUE(Contains(ReadFile(dir.Path("out/A.kvo")), "Wood.png"));
}

TEST(CopyTextures, ImagesHeldInAGlbAreExtractedAndNamed) {
    const std::string glb = std::string(KVOEXP_MODELS_DIR) + "/trimesh/models/CesiumMilkTruck.glb";
    if (!fs::exists(glb)) GTEST_SKIP() << glb << " is not there";
    clitest::ScratchDir dir("kvoexp_extract");
    const clitest::ProcessResult plain = RunKvoexp({glb, "-o", dir.Path("plain")});
    EXPECT_TRUE(Contains(plain.err, "--copy-textures would extract it")) << plain.err;
    const clitest::ProcessResult run = RunKvoexp({glb, "-o", dir.Path("out"), "--copy-textures"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(Contains(run.err, "held inside the scene")) << run.err;
    const std::string image = ReadFile(dir.Path("out/CesiumMilkTruck_0.png"));
    EXPECT_EQ(image.substr(0, 8), kPng.substr(0, 8));
    int naming = 0;  // the truck's one file, whatever name the scene gives it
    for (const auto& entry : fs::directory_iterator(dir.Path("out"))) {
        if (entry.path().extension() == ".kvo" &&
            Contains(ReadFile(entry.path().string()), "CesiumMilkTruck_0.png")) {
            ++naming;
        }
    }
    EXPECT_EQ(naming, 1);
}

}  // namespace

namespace {

// A PNG of w x h filled with one colour, written as the pictures are.
void WritePicture(const std::string& path, int w, int h) {
    kvoview::Image image;
    const uint8_t colour[4] = {200, 120, 40, 255};
    image.Resize(w, h, colour);
    std::string error;
    ASSERT_TRUE(kvoview::WritePng(image, path, &error)) << error;
}

kvoview::Image ReadPicture(const std::string& path) {
    kvoview::Image image;
    std::string error;
    EXPECT_TRUE(kvoview::ReadImageFile(path, 8192, &image, &error)) << path << ": " << error;
    return image;
}

TEST(CopyTextures, TextureMaxAndPotScaleTheCopiesAndTheReportGivesBothSizes) {
    struct Case {
        const char* name;
        std::vector<std::string> flags;
        int width, height;  // of the copy of the 300 x 120 texture
    };
    const Case cases[] = {
        {"limit", {"--texture-max", "100"}, 100, 40},
        {"power of two", {"--texture-pot"}, 256, 64},
        {"limit and power of two", {"--texture-max", "100", "--texture-pot"}, 64, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clitest::ScratchDir dir("kvoexp_texmax");
        for (const char* sub : {"scene", "out"}) dir.Sub(sub);
        WriteFile(dir.Path("scene/s.mtl"),
                  "newmtl big\nmap_Kd big.png\nnewmtl small\nmap_Kd small.png\n");
        WriteFile(dir.Path("scene/s.obj"),
                  "mtllib s.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\n"
                  "o A\nusemtl big\nf 1/1 2/2 3/3\no B\nusemtl small\nf 1/1 2/2 3/3\n");
        WritePicture(dir.Path("scene/big.png"), 300, 120);
        WritePicture(dir.Path("scene/small.png"), 32, 16);
        std::vector<std::string> args = {dir.Path("scene/s.obj"), "-o",       dir.Path("out"),
                                         "--copy-textures",       "--report", dir.Path("r.json")};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        const clitest::ProcessResult run = RunKvoexp(args);
        ASSERT_TRUE(run.exited) << run.err;
        EXPECT_EQ(run.exitCode, 0) << run.err;

        const kvoview::Image big = ReadPicture(dir.Path("out/big.png"));
        EXPECT_EQ(big.width, c.width);
        EXPECT_EQ(big.height, c.height);
        EXPECT_EQ(big.rgba[0], 200);  // one colour stays that colour
        EXPECT_EQ(ReadFile(dir.Path("out/small.png")), ReadFile(dir.Path("scene/small.png")));
        EXPECT_TRUE(Contains(ReadFile(dir.Path("out/A.kvo")), "big.png"));

        const nlohmann::json r = nlohmann::json::parse(ReadFile(dir.Path("r.json")));
        const nlohmann::json& copies = r["scenes"][0]["textures_copied"];
        ASSERT_EQ(copies.size(), 2u);
        for (const auto& copy : copies) {
            if (copy["name"] == "big.png") {
                EXPECT_EQ(copy["resized"]["from"], nlohmann::json({300, 120}));
                EXPECT_EQ(copy["resized"]["to"], nlohmann::json({c.width, c.height}));
            } else {
                EXPECT_FALSE(copy.contains("resized")) << copy;
            }
        }
        // A second run finds the same scaled bytes there and leaves them.
        const clitest::ProcessResult again = RunKvoexp(args);
        EXPECT_EQ(again.exitCode, 0) << again.err;
        EXPECT_FALSE(fs::exists(dir.Path("out/big_1.png")));
    }
}

TEST(CopyTextures, TextureLimitsNeedCopyTexturesAndDdsIsCopiedWithAWarning) {
    clitest::ScratchDir dir("kvoexp_texmax_usage");
    for (const char* sub : {"scene", "out"}) dir.Sub(sub);
    WriteFile(dir.Path("scene/s.mtl"), "newmtl m\nmap_Kd t.dds\n");
    WriteFile(dir.Path("scene/s.obj"),
              "mtllib s.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\no A\nusemtl m\nf 1 2 3\n");
    std::string dds = "DDS " + std::string("\x7c\0\0\0", 4);
    dds.resize(256, '\0');
    WriteFile(dir.Path("scene/t.dds"), dds);
    for (const char* flag : {"--texture-max", "--texture-pot"}) {
        std::vector<std::string> args = {dir.Path("scene/s.obj"), "-o", dir.Path("out"), flag};
        if (std::string(flag) == "--texture-max") args.push_back("64");
        const clitest::ProcessResult run = RunKvoexp(args);
        EXPECT_EQ(run.exitCode, 2) << flag << ": " << run.err;
    }
    const clitest::ProcessResult run =
        RunKvoexp({dir.Path("scene/s.obj"), "-o", dir.Path("out"), "--copy-textures",
                   "--texture-max", "64", "--report", dir.Path("r.json")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "'t.dds' copied at its own size: DDS")) << run.err;
    const nlohmann::json r = nlohmann::json::parse(ReadFile(dir.Path("r.json")));
    ASSERT_EQ(r["scenes"][0]["warnings"].size(), 1u);
    EXPECT_EQ(r["scenes"][0]["warnings"][0]["code"], Code(WarningCode::kTextureNotResized));
    EXPECT_EQ(ReadFile(dir.Path("out/t.dds")), dds);
}

}  // namespace
