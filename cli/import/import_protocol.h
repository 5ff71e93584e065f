// What the console host and an import worker say to each other over their
// two pipes. A request is 'R', a u32 path length, the path, and a u8 of
// settings (bit 0 collapse, bit 1 join vertices). An answer is a kind byte
// ('F' files read, 'T' embedded images, 'S' scene form, 'E' error text), a
// u64 length and that many bytes. A request's reply is an 'F' answer, a 'T'
// answer when settings bit 2 (embedded images) is set and the scene holds
// any, and an 'S' answer; or an 'E' answer. With settings bit 3 the frame
// follows the settings: u8 unit, u8 unit of files that declare none (0 none,
// 1 m, 2 cm, 3 mm, 4 in, 5 ft), u8 up (0 auto, 1 y, 2 z) and the f64 scale.
// With settings bit 4 the answer file follows (answer_file.h): a u32
// descriptor number in the host and the u64 inode of the file. A request that
// names one may be answered with an 'M' answer in place of the 'S' answer:
// its length is that of the scene form, which is in the file, not the pipe.
// All integers little-endian. One request is answered before the next is sent.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/import/assimp_import.h"
#include "cli/import/embedded_images.h"

namespace kvoimport {

constexpr uint8_t kRequestTag = 'R';
constexpr uint8_t kSceneFollows = 'S';
constexpr uint8_t kErrorFollows = 'E';
constexpr uint8_t kFilesFollow = 'F';
constexpr uint8_t kImagesFollow = 'T';
constexpr uint8_t kSceneInFile = 'M';
constexpr size_t kAnswerHeadSize = 9;
constexpr size_t kMaxRequestPath = 1 << 16;
// Longer error texts are refused: an importer's message is a line or two.
constexpr uint64_t kMaxErrorText = 1 << 16;
// No scene form is this long; a larger length is a damaged answer, refused
// before asking the allocator (which may abort instead of failing).
constexpr uint64_t kMaxSceneAnswer = uint64_t{1} << 38;
// The longest list of files read (about 100,000 textures' paths).
constexpr uint64_t kMaxFileList = uint64_t{1} << 24;

// Writes or reads exactly `size` bytes on a pipe, going on after a signal;
// false once the other end has gone or an error occurred.
bool WriteAll(int fd, const uint8_t* data, size_t size);
bool ReadAll(int fd, uint8_t* data, size_t size);

// The file a request offers for the scene form.
struct AnswerFileRef {
    uint32_t fd = 0;
    uint64_t inode = 0;
};
constexpr size_t kAnswerFileRequestBytes = 4 + 8;

std::vector<uint8_t> EncodeRequest(const std::string& path, const ImportSettings& settings,
                                   const AnswerFileRef* file = nullptr);
// The frame part of a request; false for unknown units or up axes, or a
// scale that is not a finite positive number.
constexpr size_t kFrameRequestBytes = 3 + 8;
bool DecodeFrameRequest(const uint8_t bytes[kFrameRequestBytes], FrameSettings& frame);
// Reads a request body (after the tag) from `read`, which fills exactly n
// bytes or says false. False for a malformed or ended stream. `file` says
// whether the request offers an answer file, and which.
template <typename ReadExactly>
bool ReadRequest(ReadExactly&& read, std::string& path, ImportSettings& settings,
                 bool* hasFile = nullptr, AnswerFileRef* file = nullptr);

// The body of an 'F' answer: per path a u32 length and its bytes.
std::vector<uint8_t> EncodeFileList(const std::vector<std::string>& paths);
// False with the cause for a damaged list: a cut length or path, an empty
// path, one longer than kMaxRequestPath or holding a NUL byte.
bool DecodeFileList(const uint8_t* data, size_t size, std::vector<std::string>& paths,
                    std::string& error);

using AnswerHead = std::array<uint8_t, kAnswerHeadSize>;
AnswerHead MakeAnswerHead(uint8_t kind, uint64_t length);

// The bytes of one answer, in a buffer of exactly the announced length that
// is reserved but not zero-filled: a scene form is written into it once, as
// it arrives, and never copied or regrown.
class AnswerBytes {
public:
    AnswerBytes() = default;
    // False when the memory cannot be had.
    bool Allocate(size_t size);
    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }
    void Free() {
        data_.reset();
        size_ = 0;
    }

private:
    std::unique_ptr<uint8_t[]> data_;
    size_t size_ = 0;
};

// Collects one answer as it arrives in reads of any size.
class AnswerReader {
public:
    // `maxScene`: the longest scene form accepted (a larger announced length
    // is refused before any memory is taken for it).
    explicit AnswerReader(uint64_t maxScene)
        : maxScene_(maxScene < kMaxSceneAnswer ? maxScene : kMaxSceneAnswer) {}

    // Where the next bytes go and how many belong to this answer (at least
    // one); null once the answer is complete or refused.
    uint8_t* Space(size_t& room);
    void Took(size_t n);

    bool Complete() const { return state_ == State::Complete; }
    // Why the answer was refused; empty while it is fine.
    const std::string& Refusal() const { return refusal_; }
    bool Started() const { return headGot_ > 0; }
    uint8_t Kind() const { return head_[0]; }
    // The announced length (for an 'M' answer, the answer file's).
    uint64_t Length() const { return length_; }
    AnswerBytes TakeBody() { return std::move(body_); }

private:
    enum class State { Head, Body, Complete, Refused };
    void HeadArrived();

    uint64_t maxScene_;
    State state_ = State::Head;
    uint8_t head_[kAnswerHeadSize] = {};
    size_t headGot_ = 0;
    uint64_t length_ = 0;
    AnswerBytes body_;
    size_t bodyGot_ = 0;
    std::string refusal_;
};

// Collects the reply to one request: the files read, then the scene or an
// error. The reads are as AnswerReader's; a reply that breaks the order (a
// scene without its files, two lists) is refused.
class ReplyReader {
public:
    explicit ReplyReader(uint64_t maxScene) : maxScene_(maxScene), answer_(maxScene) {}

    uint8_t* Space(size_t& room);
    void Took(size_t n);

    // The reply's last answer ('S', 'M' or 'E') is complete.
    bool Complete() const { return refusal_.empty() && answer_.Complete(); }
    const std::string& Refusal() const { return refusal_.empty() ? answer_.Refusal() : refusal_; }
    bool Started() const { return haveFiles_ || answer_.Started(); }
    // The last answer's kind and body.
    uint8_t Kind() const { return answer_.Kind(); }
    uint64_t Length() const { return answer_.Length(); }
    AnswerBytes TakeBody() { return answer_.TakeBody(); }
    std::vector<std::string> TakeFilesRead() { return std::move(files_); }
    std::vector<EmbeddedImage> TakeEmbeddedImages() { return std::move(images_); }

private:
    uint64_t maxScene_;
    AnswerReader answer_;
    bool haveFiles_ = false;
    std::vector<std::string> files_;
    bool haveImages_ = false;
    std::vector<EmbeddedImage> images_;
    std::string refusal_;
};

// ---- template body

template <typename ReadExactly>
bool ReadRequest(ReadExactly&& read, std::string& path, ImportSettings& settings, bool* hasFile,
                 AnswerFileRef* file) {
    uint8_t length[4];
    if (!read(length, 4)) return false;
    const uint32_t n = static_cast<uint32_t>(length[0]) | static_cast<uint32_t>(length[1]) << 8 |
                       static_cast<uint32_t>(length[2]) << 16 |
                       static_cast<uint32_t>(length[3]) << 24;
    if (n > kMaxRequestPath) return false;
    path.assign(n, '\0');
    uint8_t flags = 0;
    if ((n > 0 && !read(reinterpret_cast<uint8_t*>(&path[0]), n)) || !read(&flags, 1)) {
        return false;
    }
    if (flags > 31) return false;
    settings.collapse = (flags & 1) != 0;
    settings.joinVertices = (flags & 2) != 0;
    settings.embeddedImages = (flags & 4) != 0;
    settings.frame = FrameSettings();
    if (hasFile != nullptr) *hasFile = (flags & 16) != 0;
    uint8_t frame[kFrameRequestBytes];
    if ((flags & 8) != 0 &&
        !(read(frame, kFrameRequestBytes) && DecodeFrameRequest(frame, settings.frame))) {
        return false;
    }
    if ((flags & 16) == 0) return true;
    uint8_t ref[kAnswerFileRequestBytes];
    if (!read(ref, kAnswerFileRequestBytes)) return false;
    AnswerFileRef got;
    for (int i = 0; i < 4; ++i) got.fd |= static_cast<uint32_t>(ref[i]) << (8 * i);
    for (int i = 0; i < 8; ++i) got.inode |= static_cast<uint64_t>(ref[4 + i]) << (8 * i);
    if (file != nullptr) *file = got;
    return true;
}

}  // namespace kvoimport
