// Texture pixels from image file bytes: JPEG through libjpeg-turbo (baseline,
// progressive, arithmetic-coded, greyscale and CMYK), run-length coded BMP by
// our own decoder, PNG, TGA, other BMP, PSD and GIF through stb. Used by the pictures and by the
// resized texture copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvotextures {

// 8 bits a channel, rows from the top, `channels` (1 grey, 2 grey and alpha,
// 3 RGB, 4 RGBA) interleaved.
struct Pixels {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint8_t> data;
};

// Decodes the image in `bytes`. `channels` 0 keeps what the file holds (JPEG:
// 1 or 3); 1..4 converts. Refuses pictures wider or taller than `maxSide`
// before any pixel is decoded; false with the cause for anything unreadable.
bool DecodeImage(const uint8_t* bytes, size_t size, int channels, int maxSide, Pixels& out,
                 std::string& error);

}  // namespace kvotextures
