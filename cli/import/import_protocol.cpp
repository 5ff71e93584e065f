#include "cli/import/import_protocol.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

namespace kvoimport {

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = read(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::vector<uint8_t> EncodeRequest(const std::string& path, const ImportSettings& settings,
                                   const AnswerFileRef* file) {
    std::vector<uint8_t> bytes;
    bytes.reserve(path.size() + 6 + kFrameRequestBytes + kAnswerFileRequestBytes);
    bytes.push_back(kRequestTag);
    const uint32_t n = static_cast<uint32_t>(path.size());
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(n >> (8 * i)));
    bytes.insert(bytes.end(), path.begin(), path.end());
    bytes.push_back(
        static_cast<uint8_t>((settings.collapse ? 1 : 0) | (settings.joinVertices ? 2 : 0) |
                             (settings.embeddedImages ? 4 : 0) | 8 | (file != nullptr ? 16 : 0)));
    const FrameSettings& frame = settings.frame;
    bytes.push_back(static_cast<uint8_t>(frame.units));
    bytes.push_back(static_cast<uint8_t>(frame.fileUnits));
    bytes.push_back(static_cast<uint8_t>(frame.up));
    uint64_t bits;
    std::memcpy(&bits, &frame.scale, sizeof bits);
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    if (file != nullptr) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(file->fd >> (8 * i)));
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(file->inode >> (8 * i)));
    }
    return bytes;
}

bool DecodeFrameRequest(const uint8_t bytes[kFrameRequestBytes], FrameSettings& frame) {
    if (bytes[0] > kLastUnit || bytes[1] > kLastUnit || bytes[2] > kLastUpChoice) return false;
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(bytes[3 + i]) << (8 * i);
    double scale;
    std::memcpy(&scale, &bits, sizeof scale);
    if (!(scale > 0) || !std::isfinite(scale)) return false;
    frame.units = static_cast<Unit>(bytes[0]);
    frame.fileUnits = static_cast<Unit>(bytes[1]);
    frame.up = static_cast<UpChoice>(bytes[2]);
    frame.scale = scale;
    return true;
}

std::vector<uint8_t> EncodeFileList(const std::vector<std::string>& paths) {
    std::vector<uint8_t> bytes;
    for (const std::string& path : paths) {
        const uint32_t n = static_cast<uint32_t>(path.size());
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(n >> (8 * i)));
        bytes.insert(bytes.end(), path.begin(), path.end());
    }
    return bytes;
}

bool DecodeFileList(const uint8_t* data, size_t size, std::vector<std::string>& paths,
                    std::string& error) {
    paths.clear();
    for (size_t at = 0; at < size;) {
        if (size - at < 4) {
            error = "a list of files read cut inside a length";
            return false;
        }
        const uint32_t n =
            static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
            static_cast<uint32_t>(data[at + 2]) << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
        at += 4;
        if (n == 0 || n > kMaxRequestPath) {
            error = "a file read with a path of " + std::to_string(n) + " bytes";
            return false;
        }
        if (n > size - at) {
            error = "a list of files read cut inside a path";
            return false;
        }
        std::string path(reinterpret_cast<const char*>(data + at), n);
        if (path.find('\0') != std::string::npos) {
            error = "a file read whose path holds a NUL byte";
            return false;
        }
        paths.push_back(std::move(path));
        at += n;
    }
    return true;
}

AnswerHead MakeAnswerHead(uint8_t kind, uint64_t length) {
    AnswerHead head{};
    head[0] = kind;
    for (size_t i = 0; i < 8; ++i) head[1 + i] = static_cast<uint8_t>(length >> (8 * i));
    return head;
}

bool AnswerBytes::Allocate(size_t size) {
    // Default-initialised: the pages are touched only by the bytes written.
    data_.reset(size == 0 ? nullptr : new (std::nothrow) uint8_t[size]);
    size_ = data_ || size == 0 ? size : 0;
    return size_ == size;
}

void AnswerReader::HeadArrived() {
    uint64_t length = 0;
    for (size_t i = 0; i < 8; ++i) length |= static_cast<uint64_t>(head_[1 + i]) << (8 * i);
    const uint8_t kind = head_[0];
    length_ = length;
    if (kind != kSceneFollows && kind != kErrorFollows && kind != kFilesFollow &&
        kind != kImagesFollow && kind != kSceneInFile) {
        state_ = State::Refused;
        refusal_ = "an answer of unknown kind";
        return;
    }
    const uint64_t limit = kind == kSceneFollows || kind == kSceneInFile ? maxScene_
                           : kind == kFilesFollow                        ? kMaxFileList
                           : kind == kImagesFollow                       ? kMaxEmbeddedImages
                                                                         : kMaxErrorText;
    if (length > limit || length > SIZE_MAX) {
        state_ = State::Refused;
        refusal_ = "an answer of " + std::to_string(length) + " bytes, more than the " +
                   std::to_string(limit) + " accepted";
        return;
    }
    if (kind == kSceneInFile) {  // the form is in the answer file: nothing follows here
        state_ = State::Complete;
        return;
    }
    if (!body_.Allocate(static_cast<size_t>(length))) {
        state_ = State::Refused;
        refusal_ = "no memory for the import process's answer";
        return;
    }
    state_ = length == 0 ? State::Complete : State::Body;
}

uint8_t* AnswerReader::Space(size_t& room) {
    switch (state_) {
        case State::Head:
            room = kAnswerHeadSize - headGot_;
            return head_ + headGot_;
        case State::Body:
            room = body_.size() - bodyGot_;
            return body_.data() + bodyGot_;
        default:
            room = 0;
            return nullptr;
    }
}

void AnswerReader::Took(size_t n) {
    if (state_ == State::Head) {
        headGot_ += n;
        if (headGot_ == kAnswerHeadSize) HeadArrived();
    } else if (state_ == State::Body) {
        bodyGot_ += n;
        if (bodyGot_ == body_.size()) state_ = State::Complete;
    }
}

uint8_t* ReplyReader::Space(size_t& room) {
    if (!refusal_.empty()) {
        room = 0;
        return nullptr;
    }
    return answer_.Space(room);
}

void ReplyReader::Took(size_t n) {
    answer_.Took(n);
    if (!answer_.Complete()) return;
    if (answer_.Kind() == kFilesFollow) {
        if (haveFiles_) {
            refusal_ = "two lists of files read";
            return;
        }
        const AnswerBytes body = answer_.TakeBody();
        std::string error;
        if (!DecodeFileList(body.data(), body.size(), files_, error)) {
            refusal_ = error;
            return;
        }
        haveFiles_ = true;
        answer_ = AnswerReader(maxScene_);  // the scene or an error follows
    } else if (answer_.Kind() == kImagesFollow) {
        if (!haveFiles_ || haveImages_) {
            refusal_ = haveImages_ ? "two lists of embedded images"
                                   : "embedded images before the list of files read";
            return;
        }
        const AnswerBytes body = answer_.TakeBody();
        std::string error;
        if (!DecodeEmbeddedImages(body.data(), body.size(), images_, error)) {
            refusal_ = error;
            return;
        }
        haveImages_ = true;
        answer_ = AnswerReader(maxScene_);  // the scene or an error follows
    } else if ((answer_.Kind() == kSceneFollows || answer_.Kind() == kSceneInFile) && !haveFiles_) {
        refusal_ = "a scene without the list of files read";
    }
}

}  // namespace kvoimport
