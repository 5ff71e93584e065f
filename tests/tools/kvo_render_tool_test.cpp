// `kvo render` and `kvo convert` as a user runs them.
#include <gtest/gtest.h>
#include <stb_image.h>

#include "tests/view/view_test_support.h"

namespace {

using namespace viewtest;

TEST(RenderCommand, WritesAPngOfTheGivenSize) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {Quad()});
    const ProcessResult r =
        RunProgram(KvoTool(), {"render", dir.Path("quad.kvo"), "--size", "320x200", "--view",
                               "front", "-o", dir.Path("q.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    int w = 0, h = 0, channels = 0;
    ASSERT_TRUE(stbi_info(dir.Path("q.png").c_str(), &w, &h, &channels));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 200);
}

TEST(RenderCommand, DefaultSizeAndGrid) {
    ScratchDir dir;
    WriteKvo(dir.Path("a.kvo"), {Quad()});
    WriteKvo(dir.Path("b.kvo"), {Cube()});
    ASSERT_EQ(
        RunProgram(KvoTool(), {"render", dir.Path("a.kvo"), "-o", dir.Path("one.png")}).exitCode,
        0);
    int w = 0, h = 0, channels = 0;
    ASSERT_TRUE(stbi_info(dir.Path("one.png").c_str(), &w, &h, &channels));
    EXPECT_EQ(w, 512);
    EXPECT_EQ(h, 512);
    const ProcessResult grid = RunProgram(
        KvoTool(), {"render", "--grid", "--size=100x80", "--mode", "normals", dir.Path("a.kvo"),
                    dir.Path("b.kvo"), "--output", dir.Path("grid.png")});
    ASSERT_EQ(grid.exitCode, 0) << grid.err;
    ASSERT_TRUE(stbi_info(dir.Path("grid.png").c_str(), &w, &h, &channels));
    EXPECT_EQ(w, 2 * 104 + 4);  // two tiles side by side, one row
    EXPECT_GT(h, 80);
}

TEST(RenderCommand, MissingTextureIsAWarningOnStderr) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {Quad("absent.png")});
    const ProcessResult r =
        RunProgram(KvoTool(), {"render", dir.Path("quad.kvo"), "-o", dir.Path("q.png")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err.rfind("kvo: warning: texture 'absent.png'", 0), 0u) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir.Path("q.png")));
}

TEST(RenderCommand, UsageErrorsAndFailures) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {Quad()});
    const std::string in = dir.Path("quad.kvo"), out = dir.Path("q.png");
    const std::vector<std::vector<std::string>> usage = {
        {"render", in},
        {"render", "-o", out},
        {"render", in, "-o"},
        {"render", in, "-o", out, "--size", "0x5"},
        {"render", in, "-o", out, "--size"},
        {"render", in, "-o", out, "--view", "diagonal"},
        {"render", in, "-o", out, "--mode", "x-ray"},
        {"render", in, "-o", out, "--colour"},
        {"convert", in},
        {"convert", in, dir.Path("q.fbx")},
        {"convert", in, dir.Path("a.glb"), dir.Path("b.glb")},
    };
    for (const auto& args : usage) {
        const ProcessResult r = RunProgram(KvoTool(), args);
        EXPECT_EQ(r.exitCode, 2) << args.back() << ": " << r.err;
        EXPECT_NE(r.err.find("Usage: kvo " + args[0]), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    const ProcessResult missing =
        RunProgram(KvoTool(), {"render", dir.Path("none.kvo"), "-o", out});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot load"), std::string::npos) << missing.err;
    const ProcessResult unwritable =
        RunProgram(KvoTool(), {"render", in, "-o", dir.Path("no/such/dir/q.png")});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(RunProgram(KvoTool(), {"render", "--help"}).exitCode, 0);
    EXPECT_EQ(RunProgram(KvoTool(), {"convert", "--help"}).exitCode, 0);
}

TEST(ConvertCommand, WritesTheFileTheExtensionNames) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {Quad()});
    for (const char* name : {"q.glb", "q.gltf", "q.obj"}) {
        const ProcessResult r =
            RunProgram(KvoTool(), {"convert", dir.Path("quad.kvo"), dir.Path(name)});
        EXPECT_EQ(r.exitCode, 0) << name << ": " << r.err;
        EXPECT_TRUE(std::filesystem::exists(dir.Path(name))) << name;
    }
    EXPECT_TRUE(std::filesystem::exists(dir.Path("q.mtl")));
    const ProcessResult missing =
        RunProgram(KvoTool(), {"convert", dir.Path("none.kvo"), dir.Path("n.glb")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("kvo convert: cannot load"), std::string::npos) << missing.err;
}

}  // namespace
