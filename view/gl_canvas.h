// An off-screen OpenGL context drawing into memory (Mesa's OSMesa): no display
// and no GPU needed. One canvas is current on the creating thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "view/image.h"

struct osmesa_context;

namespace kvoview {

class GlCanvas {
public:
    GlCanvas() = default;
    ~GlCanvas();
    GlCanvas(const GlCanvas&) = delete;
    GlCanvas& operator=(const GlCanvas&) = delete;

    // Makes an RGBA context with a 24-bit depth buffer current on a w x h buffer.
    bool Create(int width, int height, std::string* error);
    // Waits for the drawing and copies the buffer, rows from the top.
    void Read(Image* out) const;

    int width() const { return width_; }
    int height() const { return height_; }

private:
    osmesa_context* context_ = nullptr;
    std::vector<uint8_t> buffer_;  // rows from the bottom, as OpenGL draws them
    int width_ = 0;
    int height_ = 0;
};

}  // namespace kvoview
