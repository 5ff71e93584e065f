#include "textures/bmp_rle.h"

#include <vector>

namespace kvotextures {

namespace {

uint32_t Le16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | Le16(p + 2) << 16;
}

constexpr size_t kInfoAt = 14;  // the info header follows the 14-byte file header

// Compression 1 with 8 bits a pixel, or 2 with 4.
int RleBits(const uint8_t* d, size_t n) {
    if (n < kInfoAt + 40 || d[0] != 'B' || d[1] != 'M' || Le32(d + kInfoAt) < 40) return 0;
    const uint32_t bits = Le16(d + kInfoAt + 14), compression = Le32(d + kInfoAt + 16);
    if (compression == 1 && bits == 8) return 8;
    if (compression == 2 && bits == 4) return 4;
    return 0;
}

}  // namespace

bool IsRleBmp(const uint8_t* bytes, size_t size) {
    return RleBits(bytes, size) != 0;
}

bool DecodeRleBmp(const uint8_t* d, size_t n, int maxSide, Pixels& out, std::string& error) {
    const int bits = RleBits(d, n);
    if (bits == 0) {
        error = "not a run-length coded BMP";
        return false;
    }
    const uint32_t headerSize = Le32(d + kInfoAt);
    const int32_t width = static_cast<int32_t>(Le32(d + kInfoAt + 4));
    const int32_t height = static_cast<int32_t>(Le32(d + kInfoAt + 8));
    // Run-length coded rows are always stored bottom-up.
    if (width <= 0 || height <= 0 || width > maxSide || height > maxSide) {
        error = "picture of " + std::to_string(width) + "x" + std::to_string(height) +
                " is not between 1 and " + std::to_string(maxSide) + " on a side";
        return false;
    }
    const uint32_t maxColours = 1u << bits;
    uint32_t colours = Le32(d + kInfoAt + 32);
    if (colours == 0 || colours > maxColours) colours = maxColours;
    const uint64_t paletteAt = kInfoAt + uint64_t{headerSize};
    const uint64_t dataAt = Le32(d + 10);
    if (paletteAt + uint64_t{colours} * 4 > n || dataAt >= n || dataAt < paletteAt) {
        error = "truncated BMP header";
        return false;
    }
    uint8_t palette[256][3] = {};
    for (uint32_t i = 0; i < colours; ++i) {
        const uint8_t* entry = d + paletteAt + i * 4;
        palette[i][0] = entry[2], palette[i][1] = entry[1], palette[i][2] = entry[0];
    }
    std::vector<uint8_t> index(static_cast<size_t>(width) * height, 0);
    const auto put = [&](int64_t x, int64_t y, uint32_t value) {
        if (x < width && y < height) index[static_cast<size_t>(height - 1 - y) * width + x] = value;
    };
    size_t at = static_cast<size_t>(dataAt);
    int64_t x = 0, y = 0;
    while (true) {
        if (at + 2 > n) {
            error = "truncated BMP pixels";
            return false;
        }
        const uint32_t count = d[at], value = d[at + 1];
        at += 2;
        if (count > 0) {  // a run: one index, or two nibbles in turn
            for (uint32_t i = 0; i < count; ++i, ++x) {
                put(x, y, bits == 8 ? value : (i % 2 == 0 ? value >> 4 : value & 15));
            }
        } else if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of picture
            break;
        } else if (value == 2) {  // a jump right and up
            if (at + 2 > n) {
                error = "truncated BMP pixels";
                return false;
            }
            x += d[at];
            y += d[at + 1];
            at += 2;
        } else {  // `value` literal indices, padded to a 16-bit boundary
            const size_t bytes = bits == 8 ? value : (value + 1) / 2;
            const size_t padded = bytes + (bytes % 2);
            if (at + padded > n) {
                error = "truncated BMP pixels";
                return false;
            }
            for (uint32_t i = 0; i < value; ++i, ++x) {
                const uint8_t b = d[at + (bits == 8 ? i : i / 2)];
                put(x, y, bits == 8 ? b : (i % 2 == 0 ? b >> 4 : b & 15));
            }
            at += padded;
        }
        if (y >= height) break;
    }
    out.width = width;
    out.height = height;
    out.channels = 3;
    out.data.resize(index.size() * 3);
    for (size_t p = 0; p < index.size(); ++p) {
        const uint8_t* colour = palette[index[p] < colours ? index[p] : 0];
        out.data[p * 3] = colour[0], out.data[p * 3 + 1] = colour[1],
                     out.data[p * 3 + 2] = colour[2];
    }
    return true;
}

}  // namespace kvotextures
