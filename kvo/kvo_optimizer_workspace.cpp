// The optimiser's scratch block: sizes checked against overflow, arrays laid
// out one after the other on their natural boundaries.
#include <algorithm>

#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {
namespace {

// Hands out aligned offsets into a block that does not exist yet; any size
// that would overflow marks the whole layout as failed.
class Layout {
public:
    size_t Take(size_t count, size_t elementSize, size_t alignment) {
        if (failed_ || count > SIZE_MAX / elementSize) return Fail();
        const size_t start = (size_ + alignment - 1) / alignment * alignment;
        if (start < size_ || elementSize * count > SIZE_MAX - start) return Fail();
        size_ = start + elementSize * count;
        return start;
    }
    bool failed() const { return failed_; }
    size_t size() const { return size_; }

private:
    size_t Fail() {
        failed_ = true;
        return 0;
    }
    size_t size_ = 0;
    bool failed_ = false;
};

// Room for up to one class per vertex at the weld's highest load of 1/4.
size_t TableCapacityFor(size_t vertexCount) {
    size_t capacity = Workspace::kMinimumTableSize;
    while (capacity / 4 < vertexCount) {
        if (capacity > SIZE_MAX / 2) return 0;
        capacity *= 2;
    }
    return capacity;
}

}  // namespace

bool Workspace::Reserve(size_t vertexCount) {
    if (block_.ok() && vertexCount <= vertexCapacity_) return true;
    const size_t tableCapacity = TableCapacityFor(vertexCount);
    const size_t indexable = std::min(vertexCount, kIndexableVertices);
    Layout layout;
    const size_t keys = layout.Take(vertexCount, kKeyBytes, kKeyAlignment);
    const size_t members = layout.Take(vertexCount, sizeof(uint32_t), alignof(uint32_t));
    const size_t lowest = layout.Take(vertexCount, sizeof(uint32_t), alignof(uint32_t));
    const size_t table = layout.Take(tableCapacity, sizeof(uint32_t), alignof(uint32_t));
    const size_t classOf = layout.Take(indexable, sizeof(uint16_t), alignof(uint16_t));
    const size_t labelOf = layout.Take(indexable, sizeof(uint32_t), alignof(uint32_t));
    const size_t source = layout.Take(indexable, sizeof(uint32_t), alignof(uint32_t));
    // malloc's own alignment may be less than a key's.
    if (tableCapacity == 0 || layout.failed() || layout.size() > SIZE_MAX - kKeyAlignment ||
        !block_.Allocate(layout.size() + kKeyAlignment)) {
        vertexCapacity_ = 0;
        return false;
    }
    const uintptr_t address = reinterpret_cast<uintptr_t>(block_.get());
    unsigned char* base = block_.get() + (kKeyAlignment - address % kKeyAlignment) % kKeyAlignment;
    keys_ = base + keys;
    members_ = reinterpret_cast<uint32_t*>(base + members);
    lowest_ = reinterpret_cast<uint32_t*>(base + lowest);
    table_ = reinterpret_cast<uint32_t*>(base + table);
    classOf_ = reinterpret_cast<uint16_t*>(base + classOf);
    labelOf_ = reinterpret_cast<uint32_t*>(base + labelOf);
    source_ = reinterpret_cast<uint32_t*>(base + source);
    vertexCapacity_ = vertexCount;
    tableCapacity_ = tableCapacity;
    return true;
}

}  // namespace kvo_optimizer
