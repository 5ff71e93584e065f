// The extra render normals of one vertex: a vector of RNormal in one pointer,
// so that a render vertex takes 32 bytes instead of 48. Most vertices have
// none; a mesh holds one render vertex per vertex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

template <class Normal>
class RNormalList {
    static_assert(std::is_trivially_copyable<Normal>::value, "normals are copied as bytes");

public:
    RNormalList() = default;
    RNormalList(const RNormalList& other) { Assign(other.begin(), other.size()); }
    RNormalList(RNormalList&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    RNormalList& operator=(const RNormalList& other) {
        if (this != &other) Assign(other.begin(), other.size());
        return *this;
    }
    RNormalList& operator=(RNormalList&& other) noexcept {
        std::swap(block_, other.block_);
        return *this;
    }
    RNormalList& operator=(const std::vector<Normal>& normals) {
        Assign(normals.data(), normals.size());
        return *this;
    }
    ~RNormalList() { std::free(block_); }

    size_t size() const { return block_ ? block_->size : 0; }
    size_t capacity() const { return block_ ? block_->capacity : 0; }
    bool empty() const { return size() == 0; }
    Normal& operator[](size_t i) { return begin()[i]; }
    const Normal& operator[](size_t i) const { return begin()[i]; }
    Normal* begin() { return block_ ? Items(block_) : nullptr; }
    Normal* end() { return begin() + size(); }
    const Normal* begin() const { return block_ ? Items(block_) : nullptr; }
    const Normal* end() const { return begin() + size(); }

    void clear() {
        if (block_) block_->size = 0;
    }
    void push_back(const Normal& normal) {
        const size_t n = size();
        if (n == capacity()) Reserve(n < 2 ? 2 : 2 * n);
        Items(block_)[n] = normal;
        block_->size = static_cast<uint32_t>(n + 1);
    }

private:
    struct Block {
        uint32_t size;
        uint32_t capacity;
    };
    static constexpr size_t kItemsAt =
        (sizeof(Block) + alignof(Normal) - 1) / alignof(Normal) * alignof(Normal);
    static Normal* Items(Block* block) {
        return reinterpret_cast<Normal*>(reinterpret_cast<unsigned char*>(block) + kItemsAt);
    }
    static const Normal* Items(const Block* block) {
        return reinterpret_cast<const Normal*>(reinterpret_cast<const unsigned char*>(block) +
                                               kItemsAt);
    }
    void Reserve(size_t capacity) {
        if (capacity > UINT32_MAX) throw std::bad_alloc();
        void* grown = std::realloc(block_, kItemsAt + capacity * sizeof(Normal));
        if (!grown) throw std::bad_alloc();
        const bool fresh = block_ == nullptr;
        block_ = static_cast<Block*>(grown);
        if (fresh) block_->size = 0;
        block_->capacity = static_cast<uint32_t>(capacity);
    }
    void Assign(const Normal* normals, size_t count) {
        clear();
        if (count == 0) return;
        if (count > capacity()) Reserve(count);
        std::memcpy(Items(block_), normals, count * sizeof(Normal));
        block_->size = static_cast<uint32_t>(count);
    }

    Block* block_ = nullptr;
};
