// Scaling texture copies down (--texture-max, --texture-pot): aspect kept,
// filtered in linear light for the colour channels (alpha as it is), written
// in the source's format where a writer exists (PNG, JPEG, BMP, TGA), else as
// PNG under the name with ".png".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvooutputs {

struct TextureLimits {
    uint32_t maxSide = 0;     // 0: no limit
    bool powerOfTwo = false;  // each side to the next lower power of two
    bool Any() const { return maxSide != 0 || powerOfTwo; }
};

struct TextureSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

// The size a width x height texture gets under `limits`: the same when it
// fits; otherwise scaled to at most maxSide on its longer side (aspect kept,
// each side at least 1), then each side to a power of two at or below it.
TextureSize LimitedSize(TextureSize size, const TextureLimits& limits);

struct ResizedTexture {
    TextureSize from, to;
    std::vector<uint8_t> bytes;  // the new file's bytes
    std::string name;            // the file name, with ".png" where the format changed
};

enum class ResizeOutcome { kFits, kResized, kFailed };

// Decodes `bytes` (named `name`), and when it is larger than `limits` allow,
// scales and encodes it. kFailed with the cause when the pixels cannot be
// read or written (a DDS holds compressed GPU blocks that are not decoded).
ResizeOutcome ResizeTexture(const std::vector<uint8_t>& bytes, const std::string& name,
                            const TextureLimits& limits, ResizedTexture& out, std::string& error);

}  // namespace kvooutputs
