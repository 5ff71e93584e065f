// An RGBA picture in memory, rows from the top, and its PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvoview {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // 4 bytes per pixel, row 0 at the top

    void Resize(int w, int h, const uint8_t colour[4]);
    uint8_t* At(int x, int y) { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
    const uint8_t* At(int x, int y) const {
        return &rgba[(static_cast<size_t>(y) * width + x) * 4];
    }
    // Fills the rectangle, clipped to the picture.
    void FillRect(int x, int y, int w, int h, const uint8_t colour[4]);
    // Copies `from` with its top-left corner at (x, y), clipped to the picture.
    void Blit(const Image& from, int x, int y);
};

// Writes `image` as an 8-bit RGB PNG (alpha dropped) through an OutputFile:
// a temporary file beside `path` renamed over it once complete, or written
// through to a device or FIFO.
bool WritePng(const Image& image, const std::string& path, std::string* error);

// Reads a texture file (see textures/image_pixels.h) as RGBA, rows from the top. Refuses
// files that are not regular files and pictures wider or taller than `maxSide`.
bool ReadImageFile(const std::string& path, int maxSide, Image* out, std::string* error);

}  // namespace kvoview
