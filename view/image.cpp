// Image storage, PNG writing through stb, and texture files read as RGBA.
#include "view/image.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "kvo/input_file.h"
#include "kvo/output_file.h"
#include "textures/image_pixels.h"

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
    // The largest texture file read: far above any picture of kMaxSide.
    constexpr long kMaxFileBytes = 1L << 30;
    std::string refusal;
    errno = 0;
    FILE* file = OpenRegularFile(path, refusal);
    if (!file) {
        if (error) *error = refusal.empty() ? std::strerror(errno) : refusal;
        return false;
    }
    std::vector<uint8_t> bytes;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || size > kMaxFileBytes || std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        if (error) *error = size > kMaxFileBytes ? "file too large" : "cannot read the file";
        return false;
    }
    bytes.resize(static_cast<size_t>(size));
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (got != bytes.size()) {
        if (error) *error = "cannot read the file";
        return false;
    }
    kvotextures::Pixels pixels;
    std::string failure;
    if (!kvotextures::DecodeImage(bytes.data(), bytes.size(), 4, maxSide, pixels, failure)) {
        if (error) *error = failure;
        return false;
    }
    out->width = pixels.width;
    out->height = pixels.height;
    out->rgba = std::move(pixels.data);
    return true;
}

}  // namespace kvoview
