// Texture pixels as image tools read them: JPEG in every coding process
// (made by cjpeg at test time), PSD, TGA and BMP pinned as bytes, and every
// reader fed cut and damaged files.
#include "textures/image_pixels.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/scratch_dir.h"
#include "tests/textures/jpeg_tool.h"

namespace {

using kvotextures::DecodeImage;
using kvotextures::Pixels;

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    return std::vector<uint8_t>(values.begin(), values.end());
}

// 2 x 1, red then blue, 8-bit RGB, raw planes.
std::vector<uint8_t> Psd() {
    return Bytes({'8', 'B', 'P', 'S', 0, 1, 0, 0, 0,    0, 0, 0, 0, 3,   0, 0,
                  0,   1,   0,   0,   0, 2, 0, 8, 0,    3, 0, 0, 0, 0,   0, 0,
                  0,   0,   0,   0,   0, 0, 0, 0, 0xff, 0, 0, 0, 0, 0xff});
}

// 3 x 1 run-length coded, top row first: a run of two red, one literal blue.
std::vector<uint8_t> TgaRle() {
    return Bytes({0, 0, 10, 0,  0,    0,    0, 0, 0,    0,    0,    0, 3,
                  0, 1, 0,  24, 0x20, 0x81, 0, 0, 0xff, 0x00, 0xff, 0, 0});
}

// 2 x 1, 24 bits, bottom-up rows padded to 4 bytes: red, blue.
std::vector<uint8_t> Bmp() {
    return Bytes({'B', 'M', 62, 0, 0, 0, 0, 0,  0, 0, 54, 0, 0, 0, 40,   0,    0, 0, 2, 0, 0,
                  0,   1,   0,  0, 0, 1, 0, 24, 0, 0, 0,  0, 0, 8, 0,    0,    0, 0, 0, 0, 0,
                  0,   0,   0,  0, 0, 0, 0, 0,  0, 0, 0,  0, 0, 0, 0xff, 0xff, 0, 0, 0, 0});
}

// A run-length coded BMP of `width` x `height` at `bits` (8: compression 1,
// 4: compression 2) with the palette black, red, blue and the codes given.
std::vector<uint8_t> RleBmp(int width, int height, int bits, const std::vector<uint8_t>& codes) {
    const int size = 66 + static_cast<int>(codes.size());
    std::vector<uint8_t> bytes = Bytes({'B', 'M', size, 0, 0, 0, 0, 0, 0, 0, 66, 0, 0, 0});
    const std::vector<uint8_t> info =
        Bytes({40, 0, 0, 0, width, 0, 0, 0, height, 0, 0, 0, 1, 0, bits, 0, bits == 8 ? 1 : 2,
               0,  0, 0, 0, 0,     0, 0, 0, 0,      0, 0, 0, 0, 0, 0,    3, 0,
               0,  0, 0, 0, 0,     0});
    const std::vector<uint8_t> palette = Bytes({0, 0, 0, 0, 0, 0, 0xff, 0, 0xff, 0, 0, 0});
    for (const auto* part : {&info, &palette, &codes}) {
        for (uint8_t b : *part) bytes.push_back(b);
    }
    return bytes;
}

// Bottom row: a run of four red, end of line; top row: three literal indices
// (blue, black, blue, padded), a run of one red, end of picture.
std::vector<uint8_t> Rle8() {
    return RleBmp(4, 2, 8, {4, 1, 0, 0, 0, 3, 2, 0, 2, 0, 1, 1, 0, 1});
}

// One row: a run of four alternating nibbles red, black; a jump that leaves the
// second row black; end of picture.
std::vector<uint8_t> Rle4() {
    return RleBmp(4, 2, 4, {4, 0x10, 0, 0, 0, 2, 1, 0, 0, 1});
}

TEST(DecodeImage, PinnedPsdTgaAndBmpGiveTheirPixels) {
    const uint8_t red[3] = {255, 0, 0}, blue[3] = {0, 0, 255}, black[3] = {0, 0, 0};
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::vector<const uint8_t*> pixels;
    };
    const Case cases[] = {
        {"psd", Psd(), {red, blue}},
        {"tga rle", TgaRle(), {red, red, blue}},
        {"bmp", Bmp(), {red, blue}},
        {"bmp rle8", Rle8(), {blue, black, blue, red, red, red, red, red}},
        {"bmp rle4", Rle4(), {black, black, black, black, red, black, red, black}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pixels pixels;
        std::string error;
        ASSERT_TRUE(DecodeImage(c.bytes.data(), c.bytes.size(), 3, 64, pixels, error)) << error;
        ASSERT_EQ(size_t(pixels.width) * pixels.height, c.pixels.size());
        ASSERT_EQ(pixels.data.size(), c.pixels.size() * 3);
        for (size_t i = 0; i < c.pixels.size(); ++i) {
            for (int k = 0; k < 3; ++k) EXPECT_EQ(pixels.data[i * 3 + k], c.pixels[i][k]) << i;
        }
    }
}

TEST(DecodeImage, RunLengthCoded16BitPsdIsRefusedRatherThanMisread) {
    // 1 x 1, 16-bit RGB, compression 1, then its row byte counts and rows.
    const std::vector<uint8_t> psd =
        Bytes({'8', 'B', 'P', 'S', 0,  1, 0, 0, 0, 0,    0,    0, 0, 3, 0, 0, 0, 1, 0,
               0,   0,   1,   0,   16, 0, 3, 0, 0, 0,    0,    0, 0, 0, 0, 0, 0, 0, 0,
               0,   1,   0,   3,   0,  3, 0, 3, 1, 0xff, 0xff, 1, 0, 0, 1, 0, 0});
    Pixels pixels;
    std::string error;
    EXPECT_FALSE(DecodeImage(psd.data(), psd.size(), 3, 64, pixels, error));
    EXPECT_NE(error.find("16-bit PSD"), std::string::npos) << error;
}

struct JpegCase {
    const char* name;
    const char* flags;
    int channels;
};

const JpegCase kJpegCases[] = {
    {"baseline", "", 3},
    {"progressive", "-progressive", 3},
    {"arithmetic", "-arithmetic", 3},
    {"progressive arithmetic", "-progressive -arithmetic", 3},
    {"greyscale", "-grayscale", 1},
    {"restart markers", "-restart 1", 3},
};

class JpegFiles : public ::testing::Test {
protected:
    static constexpr int kWidth = 48, kHeight = 32;

    std::vector<uint8_t> Make(const JpegCase& c) {
        const std::string path = dir_.Path(std::string(c.name) + ".jpg");
        EXPECT_TRUE(texturetest::MakeJpeg(rgb_, kWidth, kHeight, c.flags, path))
            << "cjpeg (libjpeg-turbo-progs) failed or is missing";
        return texturetest::ReadBytes(path);
    }

    testsupport::ScratchDir dir_{"image_pixels"};
    std::vector<uint8_t> rgb_ = texturetest::Gradient(kWidth, kHeight);
};

TEST_F(JpegFiles, EveryCodingProcessDecodesToTheSourcePicture) {
    for (const JpegCase& c : kJpegCases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> jpeg = Make(c);
        ASSERT_FALSE(jpeg.empty());
        Pixels pixels;
        std::string error;
        ASSERT_TRUE(DecodeImage(jpeg.data(), jpeg.size(), 0, 4096, pixels, error)) << error;
        ASSERT_EQ(pixels.width, kWidth);
        ASSERT_EQ(pixels.height, kHeight);
        ASSERT_EQ(pixels.channels, c.channels);
        ASSERT_EQ(pixels.data.size(), size_t{kWidth} * kHeight * c.channels);
        // Against the source (its luma for greyscale), within JPEG's loss.
        long total = 0;
        int worst = 0;
        for (int p = 0; p < kWidth * kHeight; ++p) {
            const uint8_t* s = &rgb_[p * 3];
            for (int k = 0; k < c.channels; ++k) {
                const int expected =
                    c.channels == 1 ? (s[0] * 299 + s[1] * 587 + s[2] * 114 + 500) / 1000 : s[k];
                const int diff = std::abs(pixels.data[p * c.channels + k] - expected);
                total += diff;
                worst = std::max(worst, diff);
            }
        }
        EXPECT_LT(total / (kWidth * kHeight * c.channels), 3);
        EXPECT_LT(worst, 24);

        // RGBA on request: grey spread, alpha opaque.
        ASSERT_TRUE(DecodeImage(jpeg.data(), jpeg.size(), 4, 4096, pixels, error)) << error;
        ASSERT_EQ(pixels.data.size(), size_t{kWidth} * kHeight * 4);
        EXPECT_EQ(pixels.data[3], 255);
        if (c.channels == 1) {
            EXPECT_EQ(pixels.data[0], pixels.data[2]);
        }
    }
}

TEST_F(JpegFiles, LargerThanTheLimitIsRefusedBeforeDecoding) {
    const std::vector<uint8_t> jpeg = Make(kJpegCases[1]);
    const std::vector<uint8_t> psd = Psd();
    Pixels pixels;
    std::string error;
    EXPECT_FALSE(DecodeImage(jpeg.data(), jpeg.size(), 0, kWidth - 1, pixels, error));
    EXPECT_NE(error.find("48x32 is larger than 47"), std::string::npos) << error;
    EXPECT_FALSE(DecodeImage(psd.data(), psd.size(), 0, 1, pixels, error));
    EXPECT_NE(error.find("larger than 1"), std::string::npos) << error;
}

TEST_F(JpegFiles, CutAndDamagedFilesAreRefusedOrGiveWholePictures) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
        {"psd", Psd()}, {"tga", TgaRle()}, {"bmp", Bmp()}, {"rle8", Rle8()}, {"rle4", Rle4()}};
    for (const JpegCase& c : kJpegCases) files.emplace_back(c.name, Make(c));
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const bool jpeg = bytes.size() > 2 && bytes[0] == 0xff && bytes[1] == 0xd8;
        for (size_t cut : {size_t{0}, size_t{3}, size_t{20}, bytes.size() / 2, bytes.size() - 2}) {
            Pixels pixels;
            std::string error;
            const bool ok = DecodeImage(bytes.data(), cut, 4, 4096, pixels, error);
            if (jpeg) {
                EXPECT_FALSE(ok) << "cut at " << cut;
            }
            if (ok) {
                EXPECT_EQ(pixels.data.size(), size_t(pixels.width) * pixels.height * 4);
            } else {
                EXPECT_FALSE(error.empty());
            }
        }
        // Damaged bytes all through the file: never a crash, never a short buffer.
        for (size_t at = 0; at < bytes.size(); at += 7) {
            std::vector<uint8_t> damaged = bytes;
            damaged[at] ^= 0x5a;
            Pixels pixels;
            std::string error;
            if (DecodeImage(damaged.data(), damaged.size(), 4, 4096, pixels, error)) {
                EXPECT_EQ(pixels.data.size(), size_t(pixels.width) * pixels.height * 4) << at;
            }
        }
    }
}

}  // namespace
