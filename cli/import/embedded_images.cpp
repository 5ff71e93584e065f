#include "cli/import/embedded_images.h"

namespace kvoimport {

namespace {

constexpr uint32_t kMaxField = 1 << 16;

void PutLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutText(std::vector<uint8_t>& out, const std::string& text) {
    PutLe(out, text.size(), 4);
    out.insert(out.end(), text.begin(), text.end());
}

class Cursor {
public:
    Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Left() const { return size_ - at_; }
    bool Le(int bytes, uint64_t& value) {
        if (Left() < static_cast<size_t>(bytes)) return false;
        value = 0;
        for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(data_[at_ + i]) << (8 * i);
        at_ += static_cast<size_t>(bytes);
        return true;
    }
    bool Text(std::string& text) {
        uint64_t n = 0;
        if (!Le(4, n) || n > kMaxField || n > Left()) return false;
        text.assign(reinterpret_cast<const char*>(data_ + at_), static_cast<size_t>(n));
        at_ += static_cast<size_t>(n);
        return true;
    }
    bool Bytes(std::vector<uint8_t>& bytes) {
        uint64_t n = 0;
        if (!Le(8, n) || n > Left()) return false;
        bytes.assign(data_ + at_, data_ + at_ + n);
        at_ += static_cast<size_t>(n);
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodeEmbeddedImages(const std::vector<EmbeddedImage>& images) {
    std::vector<uint8_t> out;
    for (const EmbeddedImage& image : images) {
        PutText(out, image.reference);
        PutText(out, image.name);
        PutLe(out, image.bytes.size(), 8);
        out.insert(out.end(), image.bytes.begin(), image.bytes.end());
    }
    return out;
}

bool DecodeEmbeddedImages(const uint8_t* data, size_t size, std::vector<EmbeddedImage>& images,
                          std::string& error) {
    images.clear();
    Cursor cursor(data, data == nullptr ? 0 : size);
    while (cursor.Left() > 0) {
        EmbeddedImage image;
        if (!cursor.Text(image.reference) || !cursor.Text(image.name) ||
            !cursor.Bytes(image.bytes)) {
            error = "a damaged list of embedded images";
            return false;
        }
        if (image.reference.empty()) {
            error = "an embedded image without a reference";
            return false;
        }
        images.push_back(std::move(image));
    }
    return true;
}

}  // namespace kvoimport
