#include "cli/child_answer.h"

#include <new>
#include <stdexcept>

namespace kvoscene {

SceneAnswerHead MakeSceneAnswerHead(uint64_t length) {
    SceneAnswerHead head{};
    head[0] = kSceneFollows;
    for (size_t i = 0; i < 8; ++i) head[1 + i] = static_cast<uint8_t>(length >> (8 * i));
    return head;
}

namespace {

// Room given at once to a scene; larger ones grow as their bytes arrive.
constexpr size_t kSceneRoomAtOnce = size_t{64} << 20;
constexpr size_t kFirstErrorRoom = 4096;

}  // namespace

bool AnswerReader::InHead() const {
    return headGot_ == 0 || (IsScene() && headGot_ < kSceneAnswerHeadSize);
}

uint64_t AnswerReader::Announced() const {
    uint64_t length = 0;
    for (size_t i = 0; i < 8; ++i) length |= static_cast<uint64_t>(head_[1 + i]) << (8 * i);
    return length;
}

uint8_t* AnswerReader::Space(size_t& room) {
    if (InHead()) {
        room = headGot_ == 0 ? 1 : kSceneAnswerHeadSize - headGot_;
        return head_ + headGot_;
    }
    if (bodyGot_ == body_.size()) {
        const uint64_t announced = Announced();
        if (IsScene() && bodyGot_ >= announced) {  // more than announced: counted, then refused
            room = sizeof surplus_;
            return surplus_;
        }
        size_t grown =
            body_.empty() ? (IsScene() ? kSceneRoomAtOnce : kFirstErrorRoom) : body_.size() * 2;
        if (IsScene() && grown > announced) grown = static_cast<size_t>(announced);
        try {
            body_.resize(grown);
        } catch (const std::bad_alloc&) {
            return nullptr;
        } catch (const std::length_error&) {
            return nullptr;
        }
    }
    room = body_.size() - bodyGot_;
    return body_.data() + bodyGot_;
}

void AnswerReader::Took(size_t n) {
    if (InHead()) {
        headGot_ += n;
    } else if (IsScene() && bodyGot_ == body_.size() && bodyGot_ >= Announced()) {
        surplusBytes_ += n;
    } else {
        bodyGot_ += n;
    }
}

bool AnswerReader::SceneComplete() const {
    return IsScene() && headGot_ == kSceneAnswerHeadSize && bodyGot_ == Announced() &&
           surplusBytes_ == 0;
}

std::vector<uint8_t> AnswerReader::TakeBody() {
    body_.resize(bodyGot_);
    return std::move(body_);
}

}  // namespace kvoscene
