// The pixel size of a texture from its file's header alone: PNG, JPEG, BMP,
// GIF, DDS and TGA (by the file's extension, since it has no signature).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvochecks {

struct ImageSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

// From the first `size` bytes of an image file; false when they are too
// short, hold no known header, or claim a zero size.
bool ImageSizeFromBytes(const uint8_t* data, size_t size, bool tga, ImageSize& out);

// Reads the start of the file at `path` (at most 1 MiB, where a JPEG's frame
// header is found after its metadata); false when it cannot be read or parsed.
bool ReadImageSize(const std::string& path, ImageSize& out);

}  // namespace kvochecks
