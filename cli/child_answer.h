// The import process's answer on its pipe: 'S', the length of the compact
// scene form as a little-endian u64, then the form; or 'E' and the error text
// up to the end of the pipe.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvoscene {

constexpr uint8_t kSceneFollows = 'S';
constexpr uint8_t kErrorFollows = 'E';
constexpr size_t kSceneAnswerHeadSize = 9;

using SceneAnswerHead = std::array<uint8_t, kSceneAnswerHeadSize>;
SceneAnswerHead MakeSceneAnswerHead(uint64_t length);

// Collects an answer as it arrives, straight into its final buffer. A scene
// gets one buffer of its announced length; beyond 64 MiB the buffer grows
// with what arrives, so a wrong length cannot claim memory nobody sends.
class AnswerReader {
public:
    // Where the next bytes go, and how many fit there (at least one); null
    // when no memory is left for them.
    uint8_t* Space(size_t& room);
    // Takes `n` bytes just placed at Space().
    void Took(size_t n);

    bool Empty() const { return headGot_ == 0; }
    uint8_t Kind() const { return head_[0]; }
    // A scene answer of exactly its announced length (nothing missing, nothing after).
    bool SceneComplete() const;
    // The scene's bytes or the error text received so far.
    std::vector<uint8_t> TakeBody();

private:
    bool InHead() const;
    bool IsScene() const { return head_[0] == kSceneFollows; }
    uint64_t Announced() const;

    uint8_t head_[kSceneAnswerHeadSize] = {};
    size_t headGot_ = 0;
    std::vector<uint8_t> body_;  // its size is the room so far
    size_t bodyGot_ = 0;
    uint8_t surplus_[256] = {};  // bytes past the announced length land here
    size_t surplusBytes_ = 0;
};

}  // namespace kvoscene
