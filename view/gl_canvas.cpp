// OSMesa context and its colour buffer.
#include "view/gl_canvas.h"

#include <GL/gl.h>
#include <GL/osmesa.h>

#include <cstring>

namespace kvoview {

GlCanvas::~GlCanvas() {
    if (!context_) return;
    OSMesaMakeCurrent(nullptr, nullptr, 0, 0, 0);
    OSMesaDestroyContext(context_);
}

bool GlCanvas::Create(int width, int height, std::string* error) {
    if (context_) return width == width_ && height == height_;
    GLint maxWidth = 0, maxHeight = 0;
    context_ = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    if (!context_) {
        if (error) *error = "cannot create an OSMesa context";
        return false;
    }
    OSMesaGetIntegerv(OSMESA_MAX_WIDTH, &maxWidth);
    OSMesaGetIntegerv(OSMESA_MAX_HEIGHT, &maxHeight);
    if (width < 1 || height < 1 || (maxWidth > 0 && width > maxWidth) ||
        (maxHeight > 0 && height > maxHeight)) {
        if (error)
            *error = "OSMesa cannot draw " + std::to_string(width) + "x" + std::to_string(height) +
                     " pixels";
        OSMesaDestroyContext(context_);
        context_ = nullptr;
        return false;
    }
    buffer_.assign(static_cast<size_t>(width) * height * 4, 0);
    if (!OSMesaMakeCurrent(context_, buffer_.data(), GL_UNSIGNED_BYTE, width, height)) {
        if (error) *error = "cannot make the OSMesa context current";
        OSMesaDestroyContext(context_);
        context_ = nullptr;
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void GlCanvas::Read(Image* out) const {
    glFinish();
    out->width = width_;
    out->height = height_;
    out->rgba.resize(buffer_.size());
    const size_t row = static_cast<size_t>(width_) * 4;
    for (int y = 0; y < height_; ++y) {
        std::memcpy(&out->rgba[y * row], &buffer_[(height_ - 1 - y) * row], row);
    }
}

}  // namespace kvoview
