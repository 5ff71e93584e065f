#include "cli/checks/image_size.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <vector>

namespace kvochecks {

namespace {

constexpr size_t kHeadBytes = 1 << 20;

uint32_t Be16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 8 | p[1];
}
uint32_t Le16(const uint8_t* p) {
    return static_cast<uint32_t>(p[1]) << 8 | p[0];
}
uint32_t Be32(const uint8_t* p) {
    return Be16(p) << 16 | Be16(p + 2);
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p + 2) << 16 | Le16(p);
}

bool Set(uint32_t width, uint32_t height, ImageSize& out) {
    if (width == 0 || height == 0) return false;
    out = {width, height};
    return true;
}

bool Png(const uint8_t* d, size_t n, ImageSize& out) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (n < 24 || !std::equal(kSignature, kSignature + 8, d)) return false;
    if (!std::equal(d + 12, d + 16, reinterpret_cast<const uint8_t*>("IHDR"))) return false;
    return Set(Be32(d + 16), Be32(d + 20), out);
}

// Walks the marker segments up to the first start-of-frame.
bool Jpeg(const uint8_t* d, size_t n, ImageSize& out) {
    if (n < 4 || d[0] != 0xff || d[1] != 0xd8) return false;
    size_t at = 2;
    while (at + 4 <= n) {
        if (d[at] != 0xff) return false;
        const uint8_t marker = d[at + 1];
        if (marker == 0xff) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xd8 || marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) {
            at += 2;  // markers without a length
            continue;
        }
        const size_t length = Be16(d + at + 2);
        if (length < 2) return false;
        const bool frame =
            marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (frame) {
            if (length < 7 || at + 9 > n) return false;
            return Set(Be16(d + at + 7), Be16(d + at + 5), out);
        }
        if (marker == 0xd9 || marker == 0xda) return false;  // end of image, or scan data
        at += 2 + length;
    }
    return false;
}

bool Bmp(const uint8_t* d, size_t n, ImageSize& out) {
    if (n < 26 || d[0] != 'B' || d[1] != 'M') return false;
    const uint32_t header = Le32(d + 14);
    if (header == 12) return Set(Le16(d + 18), Le16(d + 20), out);
    if (header < 40) return false;
    // The height is negative for top-down rows.
    const int32_t width = static_cast<int32_t>(Le32(d + 18));
    const int32_t height = static_cast<int32_t>(Le32(d + 22));
    if (width <= 0 || height == INT32_MIN) return false;
    return Set(static_cast<uint32_t>(width), static_cast<uint32_t>(height < 0 ? -height : height),
               out);
}

bool Gif(const uint8_t* d, size_t n, ImageSize& out) {
    if (n < 10 || !std::equal(d, d + 4, reinterpret_cast<const uint8_t*>("GIF8"))) return false;
    return Set(Le16(d + 6), Le16(d + 8), out);
}

bool Dds(const uint8_t* d, size_t n, ImageSize& out) {
    if (n < 20 || !std::equal(d, d + 4, reinterpret_cast<const uint8_t*>("DDS "))) return false;
    return Set(Le32(d + 16), Le32(d + 12), out);
}

bool Tga(const uint8_t* d, size_t n, ImageSize& out) {
    if (n < 18) return false;
    const uint8_t type = d[2];
    const bool known = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    if (!known || d[1] > 1) return false;
    return Set(Le16(d + 12), Le16(d + 14), out);
}

bool EndsWithTga(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".tga";
}

}  // namespace

bool ImageSizeFromBytes(const uint8_t* data, size_t size, bool tga, ImageSize& out) {
    if (data == nullptr) return false;
    if (Png(data, size, out) || Jpeg(data, size, out) || Bmp(data, size, out) ||
        Gif(data, size, out) || Dds(data, size, out)) {
        return true;
    }
    return tga && Tga(data, size, out);
}

bool ReadImageSize(const std::string& path, ImageSize& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<uint8_t> head(kHeadBytes);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    const size_t got = static_cast<size_t>(in.gcount());
    return ImageSizeFromBytes(head.data(), got, EndsWithTga(path), out);
}

}  // namespace kvochecks
