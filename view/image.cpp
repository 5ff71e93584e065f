// Image storage, and PNG/TGA/JPEG/BMP files through Debian's stb library.
#include "view/image.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "kvo/input_file.h"
#include "kvo/output_file.h"

namespace kvoview {

void Image::Resize(int w, int h, const uint8_t colour[4]) {
    width = std::max(w, 0);
    height = std::max(h, 0);
    rgba.resize(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) std::memcpy(&rgba[i], colour, 4);
}

void Image::FillRect(int x, int y, int w, int h, const uint8_t colour[4]) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = std::min(x + w, width), y1 = std::min(y + h, height);
    for (int row = y0; row < y1; ++row) {
        for (int col = x0; col < x1; ++col) std::memcpy(At(col, row), colour, 4);
    }
}

void Image::Blit(const Image& from, int x, int y) {
    const int x0 = std::max(x, 0), x1 = std::min(x + from.width, width);
    if (x0 >= x1) return;
    for (int row = std::max(y, 0); row < std::min(y + from.height, height); ++row) {
        std::memcpy(At(x0, row), from.At(x0 - x, row - y), static_cast<size_t>(x1 - x0) * 4);
    }
}

namespace {

void PutBytes(void* stream, void* data, int size) {
    if (size > 0) std::fwrite(data, 1, static_cast<size_t>(size), static_cast<FILE*>(stream));
}

}  // namespace

bool WritePng(const Image& image, const std::string& path, std::string* error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4) {
        if (error) *error = "empty picture";
        return false;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(image.width) * image.height * 3);
    for (size_t p = 0, n = rgb.size() / 3; p < n; ++p) {
        std::memcpy(&rgb[p * 3], &image.rgba[p * 4], 3);
    }
    OutputFile output;
    std::string failure;
    if (!OpenOutputFile(path, output, failure)) {
        if (error) *error = failure;
        return false;
    }
    errno = 0;
    if (!stbi_write_png_to_func(PutBytes, output.stream, image.width, image.height, 3, rgb.data(),
                                image.width * 3) ||
        std::ferror(output.stream)) {
        const int cause = errno;
        DiscardOutputFile(output);
        if (error)
            *error = "cannot write '" + path +
                     "': " + (cause ? std::strerror(cause) : "the picture cannot be encoded");
        return false;
    }
    if (!CommitOutputFile(output, failure)) {
        if (error) *error = failure;
        return false;
    }
    return true;
}

bool ReadImageFile(const std::string& path, int maxSide, Image* out, std::string* error) {
    std::string refusal;
    errno = 0;
    FILE* file = OpenRegularFile(path, refusal);
    if (!file) {
        if (error) *error = refusal.empty() ? std::strerror(errno) : refusal;
        return false;
    }
    int w = 0, h = 0, channels = 0;
    const bool known = stbi_info_from_file(file, &w, &h, &channels) != 0;
    if (!known || w <= 0 || h <= 0 || w > maxSide || h > maxSide) {
        std::fclose(file);
        if (error) {
            *error = known ? "picture of " + std::to_string(w) + "x" + std::to_string(h) +
                                 " is larger than " + std::to_string(maxSide) + " on a side"
                           : stbi_failure_reason();
        }
        return false;
    }
    uint8_t* pixels = stbi_load_from_file(file, &w, &h, &channels, 4);
    std::fclose(file);
    if (!pixels) {
        if (error) *error = stbi_failure_reason();
        return false;
    }
    out->width = w;
    out->height = h;
    out->rgba.assign(pixels, pixels + static_cast<size_t>(w) * h * 4);
    stbi_image_free(pixels);
    return true;
}

}  // namespace kvoview
