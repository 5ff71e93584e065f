// What kind of image a file holds, told by its first bytes alone: a scene
// may name any file as its texture, and only an image is treated as one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvotextures {

enum class ImageFormat : uint8_t { kNone, kPng, kJpeg, kBmp, kTga, kPsd, kGif, kDds };

// How many leading bytes SniffImage wants to see (a DDS header's length).
constexpr size_t kSniffBytes = 128;

// The format whose header the first `size` bytes of a file of `fileSize`
// bytes start with; kNone for anything else. A BMP's pixel offset and a
// TGA's header (which has no signature) are checked against the length.
ImageFormat SniffImage(const uint8_t* data, size_t size, uint64_t fileSize);

// The same for a file; kNone when it cannot be read.
ImageFormat SniffImageFile(const std::string& path);

// The usual file extension, without the dot ("png", "jpg"...); "" for kNone.
const char* FormatExtension(ImageFormat format);

}  // namespace kvotextures
