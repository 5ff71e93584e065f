// The checkers, picture files and labels.
#include "view/textures.h"

#include <gtest/gtest.h>

#include <fstream>

#include "view/image.h"
#include "view/text_draw.h"
#include "view_test_support.h"

namespace {

using viewtest::ScratchDir;

TEST(Checkers, MissingCheckerAlternatesMagentaAndDarkWithMagentaAtUvOrigin) {
    const kvoview::Image c = kvoview::MissingTextureChecker();
    ASSERT_EQ(c.width, 64);
    ASSERT_EQ(c.height, 64);
    const uint8_t* lowerLeft = c.At(0, 63);  // u = 0, v = 0
    EXPECT_EQ(lowerLeft[0], 255);
    EXPECT_EQ(lowerLeft[1], 0);
    EXPECT_EQ(lowerLeft[2], 255);
    EXPECT_EQ(c.At(8, 63)[0], 40);
    EXPECT_EQ(c.At(8, 55)[0], 255);
}

TEST(Checkers, UvCheckerRedFollowsUAndGreenFollowsV) {
    const kvoview::Image c = kvoview::UvChecker();
    ASSERT_EQ(c.width, 256);
    // Light cells (0, 0) at the lower left and (7, 7) at the upper right.
    EXPECT_EQ(c.At(0, 255)[0], 40);
    EXPECT_EQ(c.At(0, 255)[1], 40);
    EXPECT_EQ(c.At(255, 0)[0], 255);
    EXPECT_EQ(c.At(255, 0)[1], 255);
    // Cell (6, 0) at the bottom is light: red high, green low; its neighbour (7, 0) dark.
    EXPECT_EQ(c.At(200, 255)[0], 40 + 215 * 6 / 7);
    EXPECT_EQ(c.At(200, 255)[1], 40);
    EXPECT_EQ(c.At(255, 255)[0], static_cast<uint8_t>(0.55 * 255));
}

TEST(Png, WrittenPictureReadsBackTheSame) {
    ScratchDir dir;
    kvoview::Image image;
    const uint8_t grey[4] = {10, 20, 30, 255}, red[4] = {250, 0, 0, 255};
    image.Resize(7, 3, grey);
    image.FillRect(5, 2, 10, 10, red);  // clipped to the lower-right 2 x 1
    std::string error;
    ASSERT_TRUE(kvoview::WritePng(image, dir.Path("p.png"), &error)) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.Path("p.png.tmp")));
    kvoview::Image back;
    ASSERT_TRUE(kvoview::ReadImageFile(dir.Path("p.png"), 64, &back, &error)) << error;
    EXPECT_EQ(back.width, 7);
    EXPECT_EQ(back.height, 3);
    EXPECT_EQ(back.rgba, image.rgba);
    // Too large for the limit, missing, and not a picture.
    EXPECT_FALSE(kvoview::ReadImageFile(dir.Path("p.png"), 6, &back, &error));
    EXPECT_NE(error.find("larger than 6"), std::string::npos) << error;
    EXPECT_FALSE(kvoview::ReadImageFile(dir.Path("none.png"), 64, &back, &error));
    std::ofstream(dir.Path("junk.png")) << "x";
    EXPECT_FALSE(kvoview::ReadImageFile(dir.Path("junk.png"), 64, &back, &error));
    EXPECT_FALSE(kvoview::WritePng(image, dir.Path("no/such/dir/p.png"), &error));
    EXPECT_FALSE(kvoview::WritePng(kvoview::Image{}, dir.Path("e.png"), &error));
}

TEST(Text, LabelsStayInsideThePictureWhateverTheBytes) {
    kvoview::Image image;
    const uint8_t black[4] = {0, 0, 0, 255}, white[4] = {255, 255, 255, 255};
    image.Resize(40, 12, black);
    // Bytes outside printable ASCII, drawn partly off the picture.
    const std::string text = std::string("A\x01\x7f\xff\xe9Z") + "\n~";
    kvoview::DrawText(&image, -3, 2, text, white, 1);
    kvoview::DrawText(&image, 30, 8, "WWWW", white, 2);
    int lit = 0;
    for (size_t i = 0; i < image.rgba.size(); i += 4) lit += image.rgba[i] == 255;
    EXPECT_GT(lit, 10);
    EXPECT_EQ(kvoview::TextWidth("\xff", 1), kvoview::TextWidth("?", 1));
    EXPECT_EQ(kvoview::TextWidth("abc", 2), 2 * kvoview::TextWidth("abc", 1));
}

TEST(Text, FitTextShortensWithAnEllipsis) {
    const std::string name = "A rather long object name";
    const int full = kvoview::TextWidth(name, 1);
    EXPECT_EQ(kvoview::FitText(name, full, 1), name);
    const std::string shorter = kvoview::FitText(name, full / 2, 1);
    EXPECT_LE(kvoview::TextWidth(shorter, 1), full / 2);
    EXPECT_EQ(shorter.substr(shorter.size() - 3), "...");
    EXPECT_EQ(shorter.substr(0, 4), "A ra");
    EXPECT_EQ(kvoview::FitText(name, 1, 1), "...");
}

}  // namespace
