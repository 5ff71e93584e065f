// kvoexp --preview: the pictures of an export, checked by their pixels.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/cli/cli_test_support.h"
#include "tests/textures/jpeg_tool.h"
#include "view/image.h"
#include "view/render.h"

namespace {

namespace fs = std::filesystem;
using clitest::ProcessResult;
using clitest::RunKvoexp;

constexpr int kPictureSide = 512;
constexpr int kSheetTile = 256;  // a few files keep the largest tiles

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::set<std::string> FilesWithExtension(const std::string& dir, const std::string& extension) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() == extension) names.insert(entry.path().filename().string());
    }
    return names;
}

kvoview::Image ReadPng(const std::string& path) {
    kvoview::Image image;
    std::string error;
    EXPECT_TRUE(kvoview::ReadImageFile(path, 8192, &image, &error)) << path << ": " << error;
    return image;
}

// Pixels in the rectangle that differ from the picture's top-left pixel.
int ForegroundPixels(const kvoview::Image& image, int x0, int y0, int w, int h) {
    if (image.width == 0) return 0;
    const uint8_t* background = image.At(0, 0);
    int count = 0;
    for (int y = y0; y < y0 + h && y < image.height; ++y) {
        for (int x = x0; x < x0 + w && x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            count += p[0] != background[0] || p[1] != background[1] || p[2] != background[2];
        }
    }
    return count;
}

// Pixels of the magenta checker that stands for a missing texture.
int MissingTexturePixels(const kvoview::Image& image) {
    int count = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            count += p[0] > 120 && p[2] > 120 && p[1] < p[0] / 3;
        }
    }
    return count;
}

// Pixels clearly red: the test texture lit from any side.
int RedPixels(const kvoview::Image& image) {
    int count = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            count += p[0] > 60 && p[0] > 3 * p[1] && p[0] > 3 * p[2];
        }
    }
    return count;
}

void WriteRedPng(const std::string& path) {
    kvoview::Image image;
    const uint8_t red[4] = {255, 0, 0, 255};
    image.Resize(8, 8, red);
    std::string error;
    ASSERT_TRUE(kvoview::WritePng(image, path, &error)) << error;
}

// An OBJ of one square per name, each with a material whose diffuse map is `texture`.
void WriteTexturedObj(const std::string& path, const std::vector<std::string>& names,
                      const std::string& texture) {
    const std::string mtl = fs::path(path).replace_extension(".mtl").string();
    clitest::WriteFile(mtl, "newmtl painted\nKd 1 1 1\nmap_Kd " + texture + "\n");
    std::string obj = "mtllib " + fs::path(mtl).filename().string() + "\n";
    int base = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string x = std::to_string(3 * i);
        obj += "o " + names[i] + "\n";
        obj += "v " + x + " 0 0\nv " + x + ".5 0 0\nv " + x + ".5 1 0\nv " + x + " 1 0\n";
        obj += "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\nusemtl painted\n";
        const auto corner = [&](int k) {
            const std::string n = std::to_string(base + k);
            return n + "/" + n + "/" + std::to_string(i + 1);
        };
        obj += "f " + corner(1) + " " + corner(2) + " " + corner(3) + " " + corner(4) + "\n";
        base += 4;
    }
    clitest::WriteFile(path, obj);
}

class KvoexpPreview : public ::testing::Test {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    }
    clitest::ScratchDir dir_{"kvoexp_preview"};
};

TEST_F(KvoexpPreview, SampleSceneGivesOnePicturePerFileAndTheSheet) {
    const std::string out = dir_.Path("out");
    const ProcessResult r =
        RunKvoexp({clitest::SamplesDir() + "/sample_scene.gltf", "-o", out, "--preview"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The texture lies beside the scene file, where the pictures find it
    // (the scene's one warning is about its antenna below a root child).
    EXPECT_FALSE(Contains(r.err, "texture")) << r.err;
    EXPECT_FALSE(Contains(r.err, "cannot")) << r.err;
    const std::set<std::string> kvos = FilesWithExtension(out, ".kvo");
    ASSERT_EQ(kvos.size(), 4u);
    std::set<std::string> expected = {"preview.png"};
    for (const std::string& kvo : kvos) {
        const std::string png = fs::path(kvo).replace_extension(".png").string();
        expected.insert(png);
        const kvoview::Image picture = ReadPng(out + "/" + png);
        EXPECT_EQ(picture.width, kPictureSide) << png;
        EXPECT_EQ(picture.height, kPictureSide) << png;
        EXPECT_GT(ForegroundPixels(picture, 0, 0, picture.width, picture.height),
                  kPictureSide * kPictureSide / 20)
            << png;
        EXPECT_EQ(MissingTexturePixels(picture), 0) << png;
    }
    EXPECT_EQ(FilesWithExtension(out, ".png"), expected);

    // Four tiles in two columns and two rows, each with something drawn.
    const kvoview::Image sheet = ReadPng(out + "/preview.png");
    const int label = kvoview::LabelHeight(kSheetTile);
    EXPECT_EQ(sheet.width, 2 * (kSheetTile + 4) + 4);
    EXPECT_EQ(sheet.height, 2 * (kSheetTile + label) + 4);
    for (int tile = 0; tile < 4; ++tile) {
        const int x = 4 + (tile % 2) * (kSheetTile + 4), y = 4 + (tile / 2) * (kSheetTile + label);
        // The tile's own background differs from the sheet's; its drawing from both.
        const kvoview::Image& s = sheet;
        const uint8_t* tileBackground = s.At(x + 1, y + 1);
        int drawn = 0;
        for (int py = y; py < y + kSheetTile; ++py) {
            for (int px = x; px < x + kSheetTile; ++px) {
                const uint8_t* p = s.At(px, py);
                drawn += p[0] != tileBackground[0] || p[1] != tileBackground[1] ||
                         p[2] != tileBackground[2];
            }
        }
        EXPECT_GT(drawn, kSheetTile * kSheetTile / 20) << "tile " << tile;
    }
}

TEST_F(KvoexpPreview, NoPicturesWithoutTheFlag) {
    const std::vector<std::vector<std::string>> flags = {{}, {"--preview", "--no-preview"}};
    for (size_t i = 0; i < flags.size(); ++i) {
        const std::string out = dir_.Path("out" + std::to_string(i));
        std::vector<std::string> args = {clitest::SamplesDir() + "/sample_scene.gltf", "-o", out};
        args.insert(args.end(), flags[i].begin(), flags[i].end());
        const ProcessResult r = RunKvoexp(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(FilesWithExtension(out, ".kvo").size(), 4u);
        EXPECT_TRUE(FilesWithExtension(out, ".png").empty()) << i;
    }
}

TEST_F(KvoexpPreview, TexturesAreLookedUpBesideTheSceneThenInTheOutputFolder) {
    struct Case {
        const char* name;
        bool besideScene, inOutput;
    };
    const Case cases[] = {
        {"beside the scene", true, false},
        {"in the output folder", false, true},
        {"nowhere", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string scene = dir_.Sub(std::string("scene ") + c.name);
        const std::string out = dir_.Sub(std::string("out ") + c.name);
        WriteTexturedObj(scene + "/squares.obj", {"Square"}, "maps/red.png");
        if (c.besideScene) WriteRedPng(scene + "/red.png");
        if (c.inOutput) WriteRedPng(out + "/red.png");
        const ProcessResult r = RunKvoexp({scene + "/squares.obj", "-o", out, "--preview"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const kvoview::Image picture = ReadPng(out + "/Square.png");
        const bool found = c.besideScene || c.inOutput;
        EXPECT_EQ(RedPixels(picture) > 1000, found);
        EXPECT_EQ(MissingTexturePixels(picture) > 1000, !found);
        const std::string warning = "kvoexp: warning: " + out + "/Square.png: texture";
        EXPECT_EQ(Contains(r.err, warning), !found) << r.err;
        EXPECT_TRUE(fs::is_regular_file(out + "/preview.png"));
    }
}

TEST_F(KvoexpPreview, ProgressiveAndArithmeticJpegTexturesAreDrawn) {
    std::vector<uint8_t> red;
    for (int p = 0; p < 16 * 16; ++p) red.insert(red.end(), {230, 10, 10});
    for (const char* flags : {"-progressive", "-arithmetic", "-progressive -arithmetic"}) {
        SCOPED_TRACE(flags);
        const std::string work = dir_.Sub(std::string("jpeg ") + flags);
        ASSERT_TRUE(texturetest::MakeJpeg(red, 16, 16, flags, work + "/red.jpg"))
            << "cjpeg (libjpeg-turbo-progs) failed or is missing";
        WriteTexturedObj(work + "/squares.obj", {"Square"}, "red.jpg");
        const ProcessResult r =
            RunKvoexp({work + "/squares.obj", "-o", work + "/out", "--preview"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_FALSE(Contains(r.err, "warning")) << r.err;
        const kvoview::Image picture = ReadPng(work + "/out/Square.png");
        EXPECT_GT(RedPixels(picture), 1000);
        EXPECT_EQ(MissingTexturePixels(picture), 0);
    }
}

TEST_F(KvoexpPreview, PictureThatCannotBeWrittenIsAWarning) {
    const std::string scene = dir_.Path("squares.obj");
    WriteTexturedObj(scene, {"Left", "Right"}, "red.png");
    WriteRedPng(dir_.Path("red.png"));
    const std::string out = dir_.Sub("out");
    fs::create_directories(out + "/Left.png");  // a folder where the picture would go
    const ProcessResult r = RunKvoexp({scene, "-o", out, "--preview"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "kvoexp: warning: " + out + "/Left.png: not drawn: ")) << r.err;
    EXPECT_TRUE(fs::is_directory(out + "/Left.png"));
    EXPECT_GT(RedPixels(ReadPng(out + "/Right.png")), 1000);
    EXPECT_TRUE(fs::is_regular_file(out + "/preview.png"));
}

TEST_F(KvoexpPreview, PicturesNeverReplaceATextureOrTheSheet) {
    // Exported into the scene's own folder: the node "red" would draw red.png
    // over its texture, the node "preview" over the sheet.
    const std::string folder = dir_.Sub("scene");
    WriteTexturedObj(folder + "/squares.obj", {"red", "preview", "other"}, "red.png");
    WriteRedPng(folder + "/red.png");
    const std::string texture = clitest::ReadFile(folder + "/red.png");
    const ProcessResult r = RunKvoexp({folder + "/squares.obj", "-o", folder, "--preview"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(clitest::ReadFile(folder + "/red.png"), texture);
    EXPECT_TRUE(Contains(
        r.err, "kvoexp: warning: " + folder + "/red.png: not drawn: it would replace a texture"))
        << r.err;
    EXPECT_TRUE(Contains(r.err, "kvoexp: warning: " + folder +
                                    "/preview.png: not drawn: preview.png is the run's contact"))
        << r.err;
    EXPECT_GT(RedPixels(ReadPng(folder + "/other.png")), 1000);
    // The sheet has a tile per written file, the two left-out pictures' too.
    const kvoview::Image sheet = ReadPng(folder + "/preview.png");
    EXPECT_EQ(sheet.width, 2 * (kSheetTile + 4) + 4);
    EXPECT_EQ(sheet.height, 2 * (kSheetTile + kvoview::LabelHeight(kSheetTile)) + 4);
}

}  // namespace
