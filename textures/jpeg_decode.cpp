#include "textures/jpeg_decode.h"

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
// After jpeglib.h: the message codes.
#include <jerror.h>

#include <csetjmp>
#include <cstdio>

namespace kvotextures {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
};

// libjpeg's errors end the process by default: jump back to the caller instead.
void OnError(j_common_ptr info) {
    ErrorManager* manager = reinterpret_cast<ErrorManager*>(info->err);
    manager->base.format_message(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings are not printed; data that ends early (which libjpeg would pad
// with grey) refuses the picture.
void OnMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
        reinterpret_cast<ErrorManager*>(info->err)->truncated = true;
    }
}

// CMYK as Adobe's tools write it is stored inverted (the APP14 marker says so).
void CmykToRgb(const uint8_t* cmyk, uint8_t* rgb, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
        for (int c = 0; c < 3; ++c) {
            const unsigned ink = inverted ? cmyk[c] : 255u - cmyk[c];
            rgb[c] = static_cast<uint8_t>((ink * k + 127) / 255);
        }
    }
}

// The decoding proper; no C++ object with a destructor lives across setjmp.
bool Decode(jpeg_decompress_struct& info, ErrorManager& errors, const uint8_t* bytes, size_t size,
            int maxSide, Pixels& out, std::vector<uint8_t>& row, std::string& cause) {
    if (setjmp(errors.jump)) {
        cause = errors.message;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width == 0 || info.image_height == 0 ||
        info.image_width > static_cast<unsigned>(maxSide) ||
        info.image_height > static_cast<unsigned>(maxSide)) {
        cause = "picture of " + std::to_string(info.image_width) + "x" +
                std::to_string(info.image_height) + " is larger than " + std::to_string(maxSide) +
                " on a side";
        return false;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    info.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.channels = grey ? 1 : 3;
    const size_t stride = static_cast<size_t>(out.width) * out.channels;
    out.data.resize(stride * static_cast<size_t>(out.height));
    row.resize(static_cast<size_t>(out.width) * info.output_components);
    while (info.output_scanline < info.output_height) {
        const size_t y = info.output_scanline;
        JSAMPROW target = cmyk ? row.data() : &out.data[y * stride];
        if (jpeg_read_scanlines(&info, &target, 1) != 1) break;
        if (cmyk) CmykToRgb(row.data(), &out.data[y * stride], out.width, info.saw_Adobe_marker);
    }
    if (errors.truncated || info.output_scanline < info.output_height) {
        cause = "truncated JPEG data";
        return false;
    }
    jpeg_finish_decompress(&info);
    return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* bytes, size_t size, int maxSide, Pixels& out, std::string& error) {
    if (size < 4 || size > static_cast<size_t>(~0ul)) {
        error = "not a JPEG file";
        return false;
    }
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = OnError;
    errors.base.emit_message = OnMessage;
    std::vector<uint8_t> row;
    std::string cause;
    Pixels pixels;
    const bool ok = Decode(info, errors, bytes, size, maxSide, pixels, row, cause);
    jpeg_destroy_decompress(&info);
    if (!ok) {
        error = cause;
        return false;
    }
    out = std::move(pixels);
    return true;
}

}  // namespace kvotextures
