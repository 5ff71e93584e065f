// JPEG decoding through libjpeg-turbo, which reads every process image tools
// write (stb refuses arithmetic coding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "textures/image_pixels.h"

namespace kvotextures {

// As DecodeImage, for JPEG bytes; the result has 1 (grey) or 3 channels.
bool DecodeJpeg(const uint8_t* bytes, size_t size, int maxSide, Pixels& out, std::string& error);

}  // namespace kvotextures
