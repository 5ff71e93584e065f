#include "textures/image_pixels.h"

#include <stb_image.h>

#include <climits>

#include "textures/bmp_rle.h"
#include "textures/image_format.h"
#include "textures/jpeg_decode.h"

namespace kvotextures {

namespace {

// Converts 8-bit pixels of `from` channels to `to` channels (1..4): grey
// spreads to RGB, RGB to grey by luma, a missing alpha is opaque.
void ConvertChannels(Pixels& pixels, int to) {
    const int from = pixels.channels;
    if (from == to) return;
    const size_t count = static_cast<size_t>(pixels.width) * pixels.height;
    std::vector<uint8_t> data(count * to);
    for (size_t p = 0; p < count; ++p) {
        const uint8_t* s = &pixels.data[p * from];
        uint8_t* d = &data[p * to];
        const bool colour = from >= 3;
        const uint8_t alpha = from == 2 ? s[1] : from == 4 ? s[3] : 255;
        const uint8_t grey =
            colour ? static_cast<uint8_t>((s[0] * 77u + s[1] * 150u + s[2] * 29u + 128) >> 8)
                   : s[0];
        if (to <= 2) {
            d[0] = grey;
        } else {
            d[0] = colour ? s[0] : grey;
            d[1] = colour ? s[1] : grey;
            d[2] = colour ? s[2] : grey;
        }
        if (to == 2 || to == 4) d[to - 1] = alpha;
    }
    pixels.data.swap(data);
    pixels.channels = to;
}

uint32_t Be32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// A 16-bit PSD whose merged picture is run-length coded: stb decodes it as if
// it held 8 bits and gives wrong colours, so it is refused instead.
bool IsRunLength16BitPsd(const uint8_t* d, size_t n) {
    if (n < 26 || d[22] != 0 || d[23] != 16) return false;
    uint64_t at = 26;
    for (int section = 0; section < 3; ++section) {  // colour data, resources, layers
        if (at + 4 > n) return false;
        at += 4 + uint64_t{Be32(d + at)};
    }
    return at + 2 <= n && d[at] == 0 && d[at + 1] == 1;
}

bool DecodeWithStb(const uint8_t* bytes, size_t size, int maxSide, Pixels& out,
                   std::string& error) {
    if (size > static_cast<size_t>(INT_MAX)) {
        error = "file too large";
        return false;
    }
    const int length = static_cast<int>(size);
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(bytes, length, &w, &h, &channels)) {
        error = stbi_failure_reason();
        return false;
    }
    if (w <= 0 || h <= 0 || w > maxSide || h > maxSide) {
        error = "picture of " + std::to_string(w) + "x" + std::to_string(h) + " is larger than " +
                std::to_string(maxSide) + " on a side";
        return false;
    }
    uint8_t* data = stbi_load_from_memory(bytes, length, &w, &h, &channels, 0);
    if (data == nullptr) {
        error = stbi_failure_reason();
        return false;
    }
    out.width = w;
    out.height = h;
    out.channels = channels;
    out.data.assign(data, data + static_cast<size_t>(w) * h * channels);
    stbi_image_free(data);
    return true;
}

}  // namespace

bool DecodeImage(const uint8_t* bytes, size_t size, int channels, int maxSide, Pixels& out,
                 std::string& error) {
    if (channels < 0 || channels > 4 || maxSide <= 0) {
        error = "bad request";
        return false;
    }
    const ImageFormat format = SniffImage(bytes, size, size);
    if (format == ImageFormat::kNone || format == ImageFormat::kDds) {
        error = format == ImageFormat::kDds ? "DDS pixels are not read" : "not an image file";
        return false;
    }
    Pixels pixels;
    bool ok = false;
    if (format == ImageFormat::kJpeg) {
        ok = DecodeJpeg(bytes, size, maxSide, pixels, error);
    } else if (format == ImageFormat::kBmp && IsRleBmp(bytes, size)) {
        ok = DecodeRleBmp(bytes, size, maxSide, pixels, error);
    } else if (format == ImageFormat::kPsd && IsRunLength16BitPsd(bytes, size)) {
        error = "16-bit PSD with run-length coded pixels is not read";
    } else {
        ok = DecodeWithStb(bytes, size, maxSide, pixels, error);
    }
    if (!ok) return false;
    if (channels != 0) ConvertChannels(pixels, channels);
    out = std::move(pixels);
    return true;
}

}  // namespace kvotextures
