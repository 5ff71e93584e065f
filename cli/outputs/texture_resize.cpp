#include "cli/outputs/texture_resize.h"

#include <stb_image_resize.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>

#include "textures/image_format.h"
#include "textures/image_pixels.h"

namespace kvooutputs {

namespace {

// The largest texture decoded for resizing: 16384 x 16384 RGBA is 1 GiB.
constexpr int kMaxDecodedSide = 16384;
constexpr int kJpegQuality = 95;

uint32_t FloorPowerOfTwo(uint32_t value) {
    uint32_t power = 1;
    while (power <= value / 2) power *= 2;
    return power;
}

void Append(void* context, void* data, int size) {
    if (size <= 0) return;
    auto* bytes = static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* from = static_cast<const uint8_t*>(data);
    bytes->insert(bytes->end(), from, from + size);
}

// Encodes in `format` where stb writes it; false for the others.
bool Encode(kvotextures::ImageFormat format, const kvotextures::Pixels& pixels,
            std::vector<uint8_t>& bytes) {
    using kvotextures::ImageFormat;
    const int w = pixels.width, h = pixels.height, c = pixels.channels;
    const void* data = pixels.data.data();
    switch (format) {
        case ImageFormat::kPng:
            return stbi_write_png_to_func(Append, &bytes, w, h, c, data, w * c) != 0;
        case ImageFormat::kJpeg:
            return stbi_write_jpg_to_func(Append, &bytes, w, h, c, data, kJpegQuality) != 0;
        case ImageFormat::kBmp:
            return stbi_write_bmp_to_func(Append, &bytes, w, h, c, data) != 0;
        case ImageFormat::kTga:
            return stbi_write_tga_to_func(Append, &bytes, w, h, c, data) != 0;
        default:
            return false;
    }
}

std::string WithPngExtension(const std::string& name) {
    const size_t dot = name.find_last_of('.');
    return (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + ".png";
}

}  // namespace

TextureSize LimitedSize(TextureSize size, const TextureLimits& limits) {
    TextureSize out = size;
    const uint32_t longer = std::max(size.width, size.height);
    if (limits.maxSide != 0 && longer > limits.maxSide) {
        const double scale = static_cast<double>(limits.maxSide) / longer;
        const auto scaled = [&](uint32_t side) {
            const double value = std::round(side * scale);
            return static_cast<uint32_t>(
                std::clamp(value, 1.0, static_cast<double>(limits.maxSide)));
        };
        out = {scaled(size.width), scaled(size.height)};
    }
    if (limits.powerOfTwo && out.width > 0 && out.height > 0) {
        out = {FloorPowerOfTwo(out.width), FloorPowerOfTwo(out.height)};
    }
    return out;
}

ResizeOutcome ResizeTexture(const std::vector<uint8_t>& bytes, const std::string& name,
                            const TextureLimits& limits, ResizedTexture& out, std::string& error) {
    const kvotextures::ImageFormat format =
        kvotextures::SniffImage(bytes.data(), bytes.size(), bytes.size());
    kvotextures::Pixels source;
    if (!kvotextures::DecodeImage(bytes.data(), bytes.size(), 0, kMaxDecodedSide, source, error)) {
        return ResizeOutcome::kFailed;
    }
    const TextureSize from{static_cast<uint32_t>(source.width),
                           static_cast<uint32_t>(source.height)};
    const TextureSize to = LimitedSize(from, limits);
    if (to.width == from.width && to.height == from.height) return ResizeOutcome::kFits;

    kvotextures::Pixels scaled;
    scaled.width = static_cast<int>(to.width);
    scaled.height = static_cast<int>(to.height);
    scaled.channels = source.channels;
    scaled.data.resize(static_cast<size_t>(scaled.width) * scaled.height * scaled.channels);
    // Grey and alpha or RGBA: the last channel is alpha, which weights the colours.
    const int alpha = source.channels == 2 || source.channels == 4 ? source.channels - 1
                                                                   : STBIR_ALPHA_CHANNEL_NONE;
    if (!stbir_resize_uint8_generic(source.data.data(), source.width, source.height, 0,
                                    scaled.data.data(), scaled.width, scaled.height, 0,
                                    source.channels, alpha, 0, STBIR_EDGE_CLAMP,
                                    STBIR_FILTER_DEFAULT, STBIR_COLORSPACE_SRGB, nullptr)) {
        error = "the picture cannot be scaled";
        return ResizeOutcome::kFailed;
    }
    std::vector<uint8_t> encoded;
    std::string newName = name;
    if (!Encode(format, scaled, encoded)) {
        // PSD and GIF have no writer here: the copy becomes a PNG.
        encoded.clear();
        newName = WithPngExtension(name);
        if (!Encode(kvotextures::ImageFormat::kPng, scaled, encoded)) {
            error = "the scaled picture cannot be encoded";
            return ResizeOutcome::kFailed;
        }
    }
    out = {from, to, std::move(encoded), newName};
    return ResizeOutcome::kResized;
}

}  // namespace kvooutputs
