#include "textures/image_format.h"

#include <cstdio>
#include <cstring>

namespace kvotextures {

namespace {

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

bool StartsWith(const uint8_t* data, size_t size, const char* magic, size_t n) {
    return size >= n && std::memcmp(data, magic, n) == 0;
}

// A TGA header: a known image type, a colour map only where the type uses
// one, a non-empty picture and a pixel depth that exists.
bool IsTga(const uint8_t* d, size_t size, uint64_t fileSize) {
    if (size < 18) return false;
    const uint8_t idLength = d[0], mapType = d[1], type = d[2];
    const bool mapped = type == 1 || type == 9;
    const bool known = mapped || type == 2 || type == 3 || type == 10 || type == 11;
    if (!known || mapType > 1 || (mapped && mapType != 1)) return false;
    const uint16_t mapLength = Le16(d + 5);
    const uint8_t mapDepth = d[7];
    if (mapType == 1 && (mapLength == 0 ||
                         (mapDepth != 15 && mapDepth != 16 && mapDepth != 24 && mapDepth != 32))) {
        return false;
    }
    if (mapType == 0 && (mapLength != 0 || mapDepth != 0)) return false;
    const uint16_t width = Le16(d + 12), height = Le16(d + 14);
    const uint8_t depth = d[16];
    const bool depthKnown =
        mapped ? depth == 8 || depth == 16
               : depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    if (width == 0 || height == 0 || !depthKnown || (d[17] & 0xc0) != 0) return false;
    return fileSize > 18u + idLength;
}

}  // namespace

ImageFormat SniffImage(const uint8_t* data, size_t size, uint64_t fileSize) {
    if (data == nullptr || size > fileSize) return ImageFormat::kNone;
    if (StartsWith(data, size, "\x89PNG\r\n\x1a\n", 8)) return ImageFormat::kPng;
    if (StartsWith(data, size, "\xff\xd8\xff", 3)) return ImageFormat::kJpeg;
    if (StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6)) {
        return ImageFormat::kGif;
    }
    if (StartsWith(data, size, "8BPS\0\1", 6)) return ImageFormat::kPsd;
    if (StartsWith(data, size, "DDS ", 4) && size >= 128 && Le32(data + 4) == 124) {
        return ImageFormat::kDds;
    }
    if (StartsWith(data, size, "BM", 2) && size >= 26) {
        const uint32_t info = Le32(data + 14);
        const bool knownInfo = info == 12 || info == 40 || info == 52 || info == 56 || info == 64 ||
                               info == 108 || info == 124;
        if (knownInfo && Le32(data + 10) < fileSize) return ImageFormat::kBmp;
    }
    if (IsTga(data, size, fileSize)) return ImageFormat::kTga;
    return ImageFormat::kNone;
}

ImageFormat SniffImageFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return ImageFormat::kNone;
    uint8_t head[kSniffBytes];
    const size_t got = std::fread(head, 1, sizeof head, file);
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    std::fclose(file);
    if (size < 0) return ImageFormat::kNone;
    return SniffImage(head, got, static_cast<uint64_t>(size));
}

const char* FormatExtension(ImageFormat format) {
    switch (format) {
        case ImageFormat::kPng:
            return "png";
        case ImageFormat::kJpeg:
            return "jpg";
        case ImageFormat::kBmp:
            return "bmp";
        case ImageFormat::kTga:
            return "tga";
        case ImageFormat::kPsd:
            return "psd";
        case ImageFormat::kGif:
            return "gif";
        case ImageFormat::kDds:
            return "dds";
        case ImageFormat::kNone:
            break;
    }
    return "";
}

}  // namespace kvotextures
