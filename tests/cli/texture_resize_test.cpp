// Texture copies scaled to --texture-max and --texture-pot: the sizes they
// get, the format kept (PNG for PSD, which has no writer), colours filtered
// in linear light and weighted by alpha, and pixels that cannot be read.
#include "cli/outputs/texture_resize.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include "textures/image_format.h"
#include "textures/image_pixels.h"

namespace {

using kvooutputs::LimitedSize;
using kvooutputs::ResizedTexture;
using kvooutputs::ResizeOutcome;
using kvooutputs::ResizeTexture;
using kvooutputs::TextureLimits;
using kvooutputs::TextureSize;

void Append(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(context);
    bytes->insert(bytes->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

// `pixel(x, y, rgba)` fills each pixel; encoded as PNG, or JPEG when asked.
template <typename Fill>
std::vector<uint8_t> Encode(int w, int h, int channels, bool jpeg, Fill pixel) {
    std::vector<uint8_t> data(static_cast<size_t>(w) * h * channels);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint8_t rgba[4];
            pixel(x, y, rgba);
            for (int k = 0; k < channels; ++k) data[(y * w + x) * channels + k] = rgba[k];
        }
    }
    std::vector<uint8_t> bytes;
    if (jpeg) {
        stbi_write_jpg_to_func(Append, &bytes, w, h, channels, data.data(), 95);
    } else {
        stbi_write_png_to_func(Append, &bytes, w, h, channels, data.data(), w * channels);
    }
    return bytes;
}

// A w x 1 PSD, 8-bit RGB in raw planes, every pixel grey 128.
std::vector<uint8_t> Psd(int w) {
    std::vector<uint8_t> bytes = {'8',
                                  'B',
                                  'P',
                                  'S',
                                  0,
                                  1,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  3,
                                  0,
                                  0,
                                  0,
                                  1,
                                  0,
                                  0,
                                  static_cast<uint8_t>(w >> 8),
                                  static_cast<uint8_t>(w),
                                  0,
                                  8,
                                  0,
                                  3};
    bytes.resize(bytes.size() + 14, 0);  // no colour data, resources, layers; raw
    bytes.resize(bytes.size() + 3 * w, 128);
    return bytes;
}

kvotextures::Pixels Decode(const std::vector<uint8_t>& bytes) {
    kvotextures::Pixels pixels;
    std::string error;
    EXPECT_TRUE(kvotextures::DecodeImage(bytes.data(), bytes.size(), 0, 1 << 14, pixels, error))
        << error;
    return pixels;
}

TEST(LimitedSize, ScalesTheLongerSideKeepingAspectThenToPowersOfTwo) {
    struct Case {
        TextureSize in;
        TextureLimits limits;
        TextureSize out;
    };
    const Case cases[] = {
        {{200, 100}, {64, false}, {64, 32}},
        {{100, 200}, {64, false}, {32, 64}},
        {{64, 64}, {64, false}, {64, 64}},
        {{1000, 3}, {100, false}, {100, 1}},
        {{1023, 511}, {512, false}, {512, 256}},
        {{200, 100}, {0, true}, {128, 64}},
        {{300, 300}, {0, true}, {256, 256}},
        {{256, 128}, {0, true}, {256, 128}},
        {{200, 100}, {150, true}, {128, 64}},
        {{5000, 10}, {1024, true}, {1024, 2}},
        {{1, 1}, {0, true}, {1, 1}},
        {{4096, 4096}, {0, false}, {4096, 4096}},
    };
    for (const Case& c : cases) {
        const TextureSize got = LimitedSize(c.in, c.limits);
        EXPECT_EQ(got.width, c.out.width) << c.in.width << "x" << c.in.height;
        EXPECT_EQ(got.height, c.out.height) << c.in.width << "x" << c.in.height;
    }
}

TEST(ResizeTexture, KeepsTheFormatAndNameWhereAWriterExistsElsePng) {
    const auto gradient = [](int x, int y, uint8_t* p) {
        p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(y), p[2] = 60, p[3] = 200;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        TextureLimits limits;
        const char* newName;
        kvotextures::ImageFormat format;
        TextureSize to;
        int channels;
    };
    const Case cases[] = {
        {"a.png",
         Encode(200, 100, 4, false, gradient),
         {64, false},
         "a.png",
         kvotextures::ImageFormat::kPng,
         {64, 32},
         4},
        {"b.jpg",
         Encode(200, 100, 3, true, gradient),
         {0, true},
         "b.jpg",
         kvotextures::ImageFormat::kJpeg,
         {128, 64},
         3},
        {"c.psd", Psd(3), {0, true}, "c.png", kvotextures::ImageFormat::kPng, {2, 1}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResizedTexture out;
        std::string error;
        ASSERT_EQ(ResizeTexture(c.bytes, c.name, c.limits, out, error), ResizeOutcome::kResized)
            << error;
        EXPECT_EQ(out.name, c.newName);
        EXPECT_EQ(kvotextures::SniffImage(out.bytes.data(), out.bytes.size(), out.bytes.size()),
                  c.format);
        EXPECT_EQ(out.to.width, c.to.width);
        EXPECT_EQ(out.to.height, c.to.height);
        const kvotextures::Pixels back = Decode(out.bytes);
        EXPECT_EQ(back.width, static_cast<int>(c.to.width));
        EXPECT_EQ(back.height, static_cast<int>(c.to.height));
        EXPECT_EQ(back.channels, c.channels);
    }
}

TEST(ResizeTexture, FittingTexturesAndUnreadablePixels) {
    const auto grey = [](int, int, uint8_t* p) { p[0] = p[1] = p[2] = 90, p[3] = 255; };
    ResizedTexture out;
    std::string error;
    EXPECT_EQ(ResizeTexture(Encode(64, 32, 3, false, grey), "f.png", {64, true}, out, error),
              ResizeOutcome::kFits);
    std::vector<uint8_t> dds = {'D', 'D', 'S', ' ', 124, 0, 0, 0};
    dds.resize(256, 0);
    EXPECT_EQ(ResizeTexture(dds, "d.dds", {16, false}, out, error), ResizeOutcome::kFailed);
    EXPECT_FALSE(error.empty());
    std::vector<uint8_t> cut = Encode(64, 32, 3, false, grey);
    cut.resize(cut.size() / 2);
    EXPECT_EQ(ResizeTexture(cut, "c.png", {16, false}, out, error), ResizeOutcome::kFailed);
}

TEST(ResizeTexture, ColoursAreAveragedInLinearLightAndWeightedByAlpha) {
    ResizedTexture out;
    std::string error;
    // Black and white checks: their mean light is sRGB ~188, not the 128 of
    // averaged code values.
    const auto checks = [](int x, int y, uint8_t* p) {
        p[0] = p[1] = p[2] = (x + y) % 2 ? 255 : 0, p[3] = 255;
    };
    ASSERT_EQ(ResizeTexture(Encode(16, 16, 3, false, checks), "k.png", {1, false}, out, error),
              ResizeOutcome::kResized);
    kvotextures::Pixels one = Decode(out.bytes);
    ASSERT_EQ(one.data.size(), 3u);
    EXPECT_NEAR(one.data[0], 188, 6);

    // Red where opaque, green where clear: the clear texels lend no colour.
    const auto halves = [](int x, int, uint8_t* p) {
        p[0] = x < 8 ? 255 : 0, p[1] = x < 8 ? 0 : 255, p[2] = 0, p[3] = x < 8 ? 255 : 0;
    };
    ASSERT_EQ(ResizeTexture(Encode(16, 16, 4, false, halves), "h.png", {2, false}, out, error),
              ResizeOutcome::kResized);
    one = Decode(out.bytes);
    ASSERT_EQ(one.channels, 4);
    for (int p = 0; p < 4; ++p) {
        EXPECT_LT(one.data[p * 4 + 1], 20) << p;  // no green bled in
    }
}

}  // namespace
