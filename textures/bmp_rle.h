// Run-length coded BMP (8 and 4 bits a pixel), which image tools read and
// stb refuses; every other BMP goes to stb.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "textures/image_pixels.h"

namespace kvotextures {

// True when `bytes` are a BMP whose pixels are run-length coded.
bool IsRleBmp(const uint8_t* bytes, size_t size);

// Decodes it as RGB; texels the codes skip take palette entry 0.
bool DecodeRleBmp(const uint8_t* bytes, size_t size, int maxSide, Pixels& out, std::string& error);

}  // namespace kvotextures
