// Pictures of scenes built here, checked by their pixels.
#include "view/render.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <utility>

#include "view_test_support.h"

namespace {

using namespace viewtest;
using kvoview::Mode;
using kvoview::RenderOptions;
using kvoview::View;

struct Rendered {
    bool ok = false;
    kvoview::Image image;
    std::vector<std::string> warnings;
    std::string error;
};

Rendered Render(const std::vector<std::string>& files, View view, Mode mode, int w = 256,
                int h = 256, std::vector<std::string> textureDirs = {}) {
    RenderOptions options;
    options.width = w;
    options.height = h;
    options.view = view;
    options.mode = mode;
    options.textureDirs = std::move(textureDirs);
    Rendered r;
    r.ok = kvoview::RenderKvoFiles(files, options, &r.image, &r.warnings, &r.error);
    return r;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

// Colour of a unit normal in normals mode.
Rgb NormalColour(float x, float y, float z) {
    const auto c = [](float v) { return static_cast<int>(std::lround((v * 0.5f + 0.5f) * 255)); };
    return {c(x), c(y), c(z)};
}

TEST(Render, QuadWithRedTextureFillingTheViewIsRedAtTheCentre) {
    ScratchDir dir;
    WriteTexture(dir.Path("red.png"), 16, 16, {255, 0, 0}, {255, 0, 0});
    WriteKvo(dir.Path("quad.kvo"), {Quad("red.png")});
    const Rendered r = Render({dir.Path("quad.kvo")}, View::kFront, Mode::kShaded);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.warnings.empty()) << Joined(r.warnings);
    const Rgb centre = PixelAt(r.image, 128, 128);
    EXPECT_GE(centre[0], 200) << Text(centre);
    EXPECT_LE(centre[1], 10) << Text(centre);
    EXPECT_LE(centre[2], 10) << Text(centre);
    // The quad spans the framed share of the picture, centred.
    const Box box = ForegroundBox(r.image);
    EXPECT_NEAR(box.Width(), 0.9 * 256, 3);
    EXPECT_NEAR(box.Height(), 0.9 * 256, 3);
    EXPECT_NEAR(box.x0 + box.x1, 255, 2);
    EXPECT_NEAR(box.y0 + box.y1, 255, 2);
}

TEST(Render, TextureTopRowIsWhereVIsOne) {
    ScratchDir dir;
    WriteTexture(dir.Path("halves.png"), 16, 16, {255, 0, 0}, {0, 0, 255});
    WriteKvo(dir.Path("quad.kvo"), {Quad("halves.png")});
    const Rendered r = Render({dir.Path("quad.kvo")}, View::kFront, Mode::kShaded);
    ASSERT_TRUE(r.ok) << r.error;
    const Box box = ForegroundBox(r.image);
    const Rgb upper = PixelIn(r.image, box, 0.5, 0.2), lower = PixelIn(r.image, box, 0.5, 0.8);
    EXPECT_GT(upper[0], 150) << Text(upper);
    EXPECT_LT(upper[2], 20) << Text(upper);
    EXPECT_GT(lower[2], 150) << Text(lower);
    EXPECT_LT(lower[0], 20) << Text(lower);
}

TEST(Render, UntexturedMaterialShowsItsDiffuseColour) {
    ScratchDir dir;
    TestMesh quad = Quad();
    quad.diffuse[0] = 0.1f;
    quad.diffuse[1] = 0.9f;
    quad.diffuse[2] = 0.2f;
    WriteKvo(dir.Path("quad.kvo"), {quad});
    const Rendered r = Render({dir.Path("quad.kvo")}, View::kFront, Mode::kShaded);
    ASSERT_TRUE(r.ok) << r.error;
    const Rgb centre = PixelAt(r.image, 128, 128);
    // Lit head-on: about 0.93 of the colour.
    EXPECT_TRUE(Near(centre, {22, 213, 47}, 12)) << Text(centre);
}

TEST(Render, ShadingUsesTheFileNormalsSoInvertedOnesShowDark) {
    ScratchDir dir;
    TestMesh inverted = Quad();
    for (size_t i = 2; i < inverted.normals.size(); i += 3) inverted.normals[i] = -1;
    WriteKvo(dir.Path("good.kvo"), {Quad()});
    WriteKvo(dir.Path("bad.kvo"), {inverted});
    const Rendered good = Render({dir.Path("good.kvo")}, View::kFront, Mode::kShaded);
    const Rendered bad = Render({dir.Path("bad.kvo")}, View::kFront, Mode::kShaded);
    ASSERT_TRUE(good.ok && bad.ok);
    const Rgb lit = PixelAt(good.image, 128, 128), unlit = PixelAt(bad.image, 128, 128);
    EXPECT_GT(lit[0], 170) << Text(lit);
    // Only the ambient share of the light: 0.3 of the grey 0.8.
    EXPECT_NEAR(unlit[0], 61, 6) << Text(unlit);
}

TEST(Render, GeobWithoutNormalsIsLitWithFaceNormalsAndWarned) {
    ScratchDir dir;
    TestMesh quad = Quad();
    quad.normals.clear();
    WriteKvo(dir.Path("flat.kvo"), {quad});
    const Rendered r = Render({dir.Path("flat.kvo")}, View::kFront, Mode::kShaded);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_GT(PixelAt(r.image, 128, 128)[0], 170);
    EXPECT_NE(Joined(r.warnings).find("no normals"), std::string::npos) << Joined(r.warnings);
}

struct FaceProbe {
    const char* name;
    View view;
    double fx, fy;  // within the cube's silhouette, from its left and top
    float normal[3];
};

class CubeNormals : public ::testing::TestWithParam<FaceProbe> {};

TEST_P(CubeNormals, FaceShowsItsNormalAsColour) {
    const FaceProbe& probe = GetParam();
    ScratchDir dir;
    WriteKvo(dir.Path("cube.kvo"), {Cube()});
    const Rendered r = Render({dir.Path("cube.kvo")}, probe.view, Mode::kNormals);
    ASSERT_TRUE(r.ok) << r.error;
    const Box box = ForegroundBox(r.image);
    ASSERT_GT(box.Width(), 150);
    const Rgb seen = PixelIn(r.image, box, probe.fx, probe.fy);
    const Rgb expected = NormalColour(probe.normal[0], probe.normal[1], probe.normal[2]);
    EXPECT_TRUE(Near(seen, expected, 3)) << Text(seen) << " expected " << Text(expected);
}

// Axis views see one face whole; the isometric view from (+1, +1, +1) sees the
// top above the centre, +Z to the lower left and +X to the lower right.
INSTANTIATE_TEST_SUITE_P(
    Views, CubeNormals,
    ::testing::Values(FaceProbe{"FrontCentre", View::kFront, 0.5, 0.5, {0, 0, 1}},
                      FaceProbe{"FrontLowerLeft", View::kFront, 0.1, 0.9, {0, 0, 1}},
                      FaceProbe{"Back", View::kBack, 0.5, 0.5, {0, 0, -1}},
                      FaceProbe{"Left", View::kLeft, 0.5, 0.5, {-1, 0, 0}},
                      FaceProbe{"Right", View::kRight, 0.5, 0.5, {1, 0, 0}},
                      FaceProbe{"Top", View::kTop, 0.5, 0.5, {0, 1, 0}},
                      FaceProbe{"Bottom", View::kBottom, 0.5, 0.5, {0, -1, 0}},
                      FaceProbe{"IsoTop", View::kIso, 0.5, 0.25, {0, 1, 0}},
                      FaceProbe{"IsoFront", View::kIso, 0.25, 0.625, {0, 0, 1}},
                      FaceProbe{"IsoRight", View::kIso, 0.75, 0.625, {1, 0, 0}}),
    [](const ::testing::TestParamInfo<FaceProbe>& info) { return info.param.name; });

// Under 0.7 of the back-face tint any colour has red of at least 178, green of at
// most 130 and blue of at most 86; no front face of these pictures comes near.
bool Tinted(const Rgb& c) {
    return c[0] >= 175 && c[1] <= 135 && c[2] <= 90 && c[0] - c[1] >= 75;
}

TEST(Render, QuadSeenFromBehindIsTintedInEveryMode) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {Quad()});
    for (Mode mode : {Mode::kShaded, Mode::kNormals, Mode::kUv, Mode::kWireframe}) {
        const Rendered front = Render({dir.Path("quad.kvo")}, View::kFront, mode);
        const Rendered back = Render({dir.Path("quad.kvo")}, View::kBack, mode);
        ASSERT_TRUE(front.ok && back.ok) << front.error << back.error;
        // Away from the diagonal that wireframe draws.
        const Rgb seenFront = PixelIn(front.image, ForegroundBox(front.image), 0.25, 0.6);
        const Rgb seenBack = PixelIn(back.image, ForegroundBox(back.image), 0.25, 0.6);
        EXPECT_FALSE(Tinted(seenFront)) << static_cast<int>(mode) << " " << Text(seenFront);
        EXPECT_TRUE(Tinted(seenBack)) << static_cast<int>(mode) << " " << Text(seenBack);
    }
    // Shaded from behind: the grey 0.8 in ambient light only (61), under 0.7 of the tint.
    const Rendered back = Render({dir.Path("quad.kvo")}, View::kBack, Mode::kShaded);
    const Rgb centre = PixelAt(back.image, 128, 128);
    EXPECT_TRUE(Near(centre, {197, 72, 27}, 4)) << Text(centre);
}

TEST(Render, CubeTurnedInsideOutIsTintedAllOverAndTheRightOneNowhere) {
    ScratchDir dir;
    TestMesh inside = Cube();
    for (size_t k = 0; k + 2 < inside.indices.size(); k += 3) {
        std::swap(inside.indices[k + 1], inside.indices[k + 2]);
    }
    WriteKvo(dir.Path("cube.kvo"), {Cube()});
    WriteKvo(dir.Path("inside.kvo"), {inside});
    for (Mode mode : {Mode::kShaded, Mode::kNormals}) {
        for (const auto& [file, insideOut] :
             std::vector<std::pair<std::string, bool>>{{"cube.kvo", false}, {"inside.kvo", true}}) {
            const Rendered r = Render({dir.Path(file)}, View::kIso, mode);
            ASSERT_TRUE(r.ok) << r.error;
            const Rgb background = PixelAt(r.image, 0, 0);
            int foreground = 0, tinted = 0;
            for (int y = 0; y < r.image.height; ++y) {
                for (int x = 0; x < r.image.width; ++x) {
                    const Rgb c = PixelAt(r.image, x, y);
                    if (c == background) continue;
                    ++foreground;
                    if (Tinted(c)) ++tinted;
                }
            }
            ASSERT_GT(foreground, 10000) << file;
            if (insideOut) {
                // Edge pixels blend with the background; every other pixel is tinted.
                EXPECT_GE(tinted, foreground * 98 / 100) << file << " " << static_cast<int>(mode);
            } else {
                EXPECT_EQ(tinted, 0) << file << " " << static_cast<int>(mode);
            }
        }
    }
}

TEST(Render, IsoViewFramesTheCubeSilhouetteCentred) {
    ScratchDir dir;
    WriteKvo(dir.Path("cube.kvo"), {Cube()});
    const Rendered r = Render({dir.Path("cube.kvo")}, View::kIso, Mode::kNormals, 300, 200);
    ASSERT_TRUE(r.ok) << r.error;
    const Box box = ForegroundBox(r.image);
    // The hexagon is sqrt(2) wide and sqrt(8/3) tall; height limits in 300 x 200.
    EXPECT_NEAR(box.Height(), 0.9 * 200, 3);
    EXPECT_NEAR(static_cast<double>(box.Width()) / box.Height(), std::sqrt(2.0 / (8.0 / 3)), 0.02);
    EXPECT_NEAR(box.x0 + box.x1, 299, 2);
    EXPECT_NEAR(box.y0 + box.y1, 199, 2);
}

TEST(Render, TopViewHasMinusZUpAndBottomViewPlusZUp) {
    // A flat-coloured marker box at +Z, front, and the cube behind it at the origin.
    ScratchDir dir;
    TestMesh marker = Cube();
    for (size_t i = 0; i < marker.positions.size(); ++i) {
        marker.positions[i] = marker.positions[i] * 0.25f + (i % 3 == 2 ? 2.0f : 0.0f);
    }
    WriteKvo(dir.Path("scene.kvo"), {Cube(), marker});
    for (const auto& [view, markerAtBottom] :
         std::vector<std::pair<View, bool>>{{View::kTop, true}, {View::kBottom, false}}) {
        const Rendered r = Render({dir.Path("scene.kvo")}, view, Mode::kShaded);
        ASSERT_TRUE(r.ok) << r.error;
        const Box box = ForegroundBox(r.image);
        // The cube spans 2 of the 3.25 units from z = -1 to 2.25; the marker the rest.
        const int markerRow = markerAtBottom ? box.y1 - 3 : box.y0 + 3;
        const int cubeRow = markerAtBottom ? box.y0 + 3 : box.y1 - 3;
        const Rgb background = PixelAt(r.image, 0, 0);
        EXPECT_EQ(PixelAt(r.image, box.x0 + 3, markerRow), background)
            << "the narrow marker leaves the row's corner empty";
        EXPECT_NE(PixelAt(r.image, box.x0 + 3, cubeRow), background);
    }
}

TEST(Render, MissingTextureIsACheckerWithAWarning) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {Quad("absent.png")});
    const Rendered r = Render({dir.Path("quad.kvo")}, View::kFront, Mode::kShaded);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.warnings.size(), 1u) << Joined(r.warnings);
    EXPECT_NE(r.warnings[0].find("texture 'absent.png'"), std::string::npos) << r.warnings[0];
    EXPECT_NE(r.warnings[0].find("checker"), std::string::npos) << r.warnings[0];
    const Box box = ForegroundBox(r.image);
    // 8 x 8 cells; the lower-left one (u and v near 0) is magenta, its neighbour dark.
    const Rgb magenta = PixelIn(r.image, box, 1.0 / 16, 15.0 / 16);
    const Rgb dark = PixelIn(r.image, box, 3.0 / 16, 15.0 / 16);
    EXPECT_GT(magenta[0], 200) << Text(magenta);
    EXPECT_LT(magenta[1], 10) << Text(magenta);
    EXPECT_GT(magenta[2], 200) << Text(magenta);
    EXPECT_TRUE(Near(dark, {37, 37, 37}, 6)) << Text(dark);
}

TEST(Render, UnreadableTextureIsACheckerWithItsCause) {
    ScratchDir dir;
    {
        std::FILE* f = std::fopen(dir.Path("broken.png").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("not a picture", f);
        std::fclose(f);
    }
    WriteKvo(dir.Path("quad.kvo"), {Quad("broken.png")});
    const Rendered r = Render({dir.Path("quad.kvo")}, View::kFront, Mode::kShaded);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.warnings.size(), 1u) << Joined(r.warnings);
    // A file that holds no image is refused by its header, not drawn.
    EXPECT_NE(r.warnings[0].find("not an image"), std::string::npos) << r.warnings[0];
    const Box box = ForegroundBox(r.image);
    EXPECT_GT(PixelIn(r.image, box, 1.0 / 16, 15.0 / 16)[2], 200);
}

TEST(Render, TexturesAreLookedUpInTheGivenFoldersInOrder) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path("first"));
    std::filesystem::create_directories(dir.Path("second"));
    WriteTexture(dir.Path("second/t.png"), 4, 4, {0, 255, 0}, {0, 255, 0});
    // Not a folder looked in: the file's own folder is "kvo".
    WriteTexture(dir.Path("t.png"), 4, 4, {255, 0, 0}, {255, 0, 0});
    std::filesystem::create_directories(dir.Path("kvo"));
    WriteKvo(dir.Path("kvo/quad.kvo"), {Quad("C:\\maps\\T.PNG")});
    const Rendered r = Render({dir.Path("kvo/quad.kvo")}, View::kFront, Mode::kShaded, 64, 64,
                              {dir.Path("first"), dir.Path("second")});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.warnings.empty()) << Joined(r.warnings);
    const Rgb centre = PixelAt(r.image, 32, 32);
    EXPECT_GT(centre[1], 200) << Text(centre);
    EXPECT_LT(centre[0], 10) << Text(centre);
}

TEST(Render, UvModeColoursRiseWithUAndV) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {Quad()});
    const Rendered r = Render({dir.Path("quad.kvo")}, View::kFront, Mode::kUv);
    ASSERT_TRUE(r.ok) << r.error;
    const Box box = ForegroundBox(r.image);
    // Cells (0, 0) and (7, 7) are both light; red follows u, green follows v.
    const Rgb lowLeft = PixelIn(r.image, box, 1.0 / 16, 15.0 / 16);
    const Rgb highRight = PixelIn(r.image, box, 15.0 / 16, 1.0 / 16);
    EXPECT_TRUE(Near(lowLeft, {40, 40, 110}, 3)) << Text(lowLeft);
    EXPECT_TRUE(Near(highRight, {255, 255, 110}, 3)) << Text(highRight);
}

TEST(Render, WireframeDrawsEdgesOverGrey) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {Quad()});
    const Rendered r = Render({dir.Path("quad.kvo")}, View::kFront, Mode::kWireframe);
    ASSERT_TRUE(r.ok) << r.error;
    const Box box = ForegroundBox(r.image);
    // The shared diagonal runs from the lower left to the upper right.
    int edgePixels = 0;
    for (int d = -1; d <= 1; ++d) {
        const Rgb c = PixelAt(r.image, 128 + d, 127 - d);
        if (c[0] < 40) ++edgePixels;
    }
    EXPECT_GE(edgePixels, 1);
    EXPECT_TRUE(Near(PixelIn(r.image, box, 0.25, 0.6), {158, 158, 158}, 3));
}

TEST(Render, SizeGivesThePictureSize) {
    ScratchDir dir;
    WriteKvo(dir.Path("quad.kvo"), {Quad()});
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {320, 200}, {97, 301}}) {
        const Rendered r = Render({dir.Path("quad.kvo")}, View::kIso, Mode::kShaded, w, h);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.image.width, w);
        EXPECT_EQ(r.image.height, h);
        EXPECT_EQ(r.image.rgba.size(), static_cast<size_t>(w) * h * 4);
    }
    EXPECT_FALSE(Render({dir.Path("quad.kvo")}, View::kIso, Mode::kShaded, 0, 10).ok);
    EXPECT_FALSE(Render({dir.Path("quad.kvo")}, View::kIso, Mode::kShaded, 10, 9000).ok);
}

TEST(Render, SeveralFilesAreFramedTogether) {
    ScratchDir dir;
    TestMesh right = Quad();
    for (size_t i = 0; i < right.positions.size(); i += 3) right.positions[i] += 4;
    WriteKvo(dir.Path("left.kvo"), {Quad()});
    WriteKvo(dir.Path("right.kvo"), {right});
    const Rendered r = Render({dir.Path("left.kvo"), dir.Path("right.kvo")}, View::kFront,
                              Mode::kShaded, 300, 100);
    ASSERT_TRUE(r.ok) << r.error;
    const Box box = ForegroundBox(r.image);
    EXPECT_NEAR(box.Width(), 0.9 * 300, 3);  // 6 units wide, 2 tall
    const Rgb background = PixelAt(r.image, 0, 0);
    EXPECT_EQ(PixelIn(r.image, box, 0.5, 0.5), background) << "the gap between the quads";
    EXPECT_NE(PixelIn(r.image, box, 0.1, 0.5), background);
    EXPECT_NE(PixelIn(r.image, box, 0.9, 0.5), background);
}

TEST(Render, UnloadableFileIsAnError) {
    ScratchDir dir;
    const Rendered missing = Render({dir.Path("none.kvo")}, View::kIso, Mode::kShaded);
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("none.kvo"), std::string::npos) << missing.error;
}

TEST(Render, EmptyFileGivesTheBackgroundAndAWarning) {
    ScratchDir dir;
    WriteKvo(dir.Path("empty.kvo"), {});
    const Rendered r = Render({dir.Path("empty.kvo")}, View::kIso, Mode::kShaded, 32, 32);
    ASSERT_TRUE(r.ok) << r.error;
    const Box box = ForegroundBox(r.image);
    EXPECT_LT(box.x1, box.x0) << "nothing but the background";
    EXPECT_NE(Joined(r.warnings).find("no triangles"), std::string::npos);
}

TEST(ContactSheet, OneTilePerFileWithItsNameBelow) {
    ScratchDir dir;
    WriteKvo(dir.Path("a.kvo"), {Quad()});
    WriteKvo(dir.Path("b.kvo"), {Cube()});
    WriteKvo(dir.Path("c.kvo"), {Quad()});
    kvoview::RenderOptions options;
    options.width = 128;
    options.height = 96;
    kvoview::Image sheet;
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(kvoview::RenderContactSheet(
        {dir.Path("a.kvo"), dir.Path("b.kvo"), dir.Path("c.kvo"), dir.Path("gone.kvo")}, options,
        &sheet, &warnings, &error))
        << error;
    // Two columns, two rows, 4 pixels between tiles, a strip for the names.
    const int label = kvoview::LabelHeight(128);
    EXPECT_EQ(sheet.width, 2 * (128 + 4) + 4);
    EXPECT_EQ(sheet.height, 2 * (96 + label) + 4);
    ASSERT_EQ(warnings.size(), 1u) << Joined(warnings);
    EXPECT_NE(warnings[0].find("gone.kvo"), std::string::npos);
    const Rgb sheetBackground = PixelAt(sheet, 0, 0);
    for (int tile = 0; tile < 4; ++tile) {
        const int x = 4 + (tile % 2) * 132, y = 4 + (tile / 2) * (96 + label);
        // Something drawn in the picture (not for the missing file) and text in the strip.
        const Rgb tileBackground = PixelAt(sheet, x + 1, y + 1);
        EXPECT_NE(tileBackground, sheetBackground);
        EXPECT_EQ(PixelAt(sheet, x + 64, y + 48) != tileBackground, tile < 3) << tile;
        int light = 0;
        for (int row = y + 96; row < y + 96 + label; ++row) {
            for (int col = x; col < x + 128; ++col) light += PixelAt(sheet, col, row)[0] > 200;
        }
        EXPECT_GT(light, 5) << "name of tile " << tile;
    }
}

TEST(ContactSheet, EachTileLooksUpTexturesInItsOwnFolders) {
    ScratchDir dir;
    const std::vector<std::pair<std::string, std::array<uint8_t, 3>>> folders = {
        {"red", {255, 0, 0}}, {"green", {0, 255, 0}}, {"blue", {0, 0, 255}}};
    for (const auto& [folder, colour] : folders) {
        std::filesystem::create_directories(dir.Path(folder));
        WriteTexture(dir.Path(folder + "/t.png"), 4, 4, colour, colour);
    }
    WriteKvo(dir.Path("a.kvo"), {Quad("t.png")});
    WriteKvo(dir.Path("b.kvo"), {Quad("t.png")});
    RenderOptions options;
    options.width = options.height = 64;
    options.view = View::kFront;
    options.textureDirs = {dir.Path("blue")};  // for tiles without folders of their own
    kvoview::Image sheet;
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(kvoview::RenderContactSheet(
        std::vector<kvoview::SheetFile>{{dir.Path("a.kvo"), {dir.Path("missing"), dir.Path("red")}},
                                        {dir.Path("b.kvo"), {dir.Path("green")}},
                                        {dir.Path("a.kvo"), {}}},
        options, &sheet, &warnings, &error))
        << error;
    EXPECT_TRUE(warnings.empty()) << Joined(warnings);
    // Two columns: tiles at x 4 and 72, rows at y 4 and 4 + 64 + label.
    const int label = kvoview::LabelHeight(64);
    for (int tile = 0; tile < 3; ++tile) {
        const int x = 4 + (tile % 2) * 68, y = 4 + (tile / 2) * (64 + label);
        const Rgb centre = PixelAt(sheet, x + 32, y + 32);
        for (int channel = 0; channel < 3; ++channel) {  // tile i shows colour channel i
            if (channel == tile) {
                EXPECT_GT(centre[channel], 150) << tile << ": " << Text(centre);
            } else {
                EXPECT_LT(centre[channel], 40) << tile << ": " << Text(centre);
            }
        }
    }
}

}  // namespace
