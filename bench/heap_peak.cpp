// The malloc family and the global operator new and delete of a benchmark
// program, forwarding to the allocator it would use anyway (mimalloc where the
// console host links it, else the C library's) and counting usable bytes. The
// program's own definitions take precedence over the libraries' (mimalloc
// defines operator new too), so the plug-in module and the host stand-ins
// allocate through them as well.
#include "bench/heap_peak.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <new>

#ifdef KVOEXP_WITH_MIMALLOC
#include <mimalloc.h>
#else
#include <malloc.h>
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}
#endif

namespace {

std::atomic<size_t> live{0};
std::atomic<size_t> peak{0};

#ifdef KVOEXP_WITH_MIMALLOC
void* RawMalloc(size_t size) {
    return mi_malloc(size);
}
void* RawCalloc(size_t count, size_t size) {
    return mi_calloc(count, size);
}
void* RawRealloc(void* block, size_t size) {
    return mi_realloc(block, size);
}
void* RawAligned(size_t alignment, size_t size) {
    return mi_malloc_aligned(size, alignment);
}
void RawFree(void* block) {
    mi_free(block);
}
size_t UsableSize(void* block) {
    return mi_usable_size(block);
}
#else
void* RawMalloc(size_t size) {
    return __libc_malloc(size);
}
void* RawCalloc(size_t count, size_t size) {
    return __libc_calloc(count, size);
}
void* RawRealloc(void* block, size_t size) {
    return __libc_realloc(block, size);
}
void* RawAligned(size_t alignment, size_t size) {
    return __libc_memalign(alignment, size);
}
void RawFree(void* block) {
    __libc_free(block);
}
size_t UsableSize(void* block) {
    return malloc_usable_size(block);
}
#endif

void Added(void* block) {
    if (block == nullptr) return;
    const size_t now =
        live.fetch_add(UsableSize(block), std::memory_order_relaxed) + UsableSize(block);
    size_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

void Removed(void* block) {
    if (block != nullptr) live.fetch_sub(UsableSize(block), std::memory_order_relaxed);
}

}  // namespace

namespace heap_peak {

size_t LiveBytes() {
    return live.load(std::memory_order_relaxed);
}

void ResetPeak() {
    peak.store(live.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

size_t PeakBytes() {
    return peak.load(std::memory_order_relaxed);
}

}  // namespace heap_peak

extern "C" {

void* malloc(size_t size) {
    void* block = RawMalloc(size);
    Added(block);
    return block;
}

void* calloc(size_t count, size_t size) {
    void* block = RawCalloc(count, size);
    Added(block);
    return block;
}

void* realloc(void* block, size_t size) {
    if (block == nullptr) return malloc(size);
    const size_t before = UsableSize(block);
    void* moved = RawRealloc(block, size);
    if (moved == nullptr) return nullptr;  // the old block stays, and its count
    live.fetch_sub(before, std::memory_order_relaxed);
    Added(moved);
    return moved;
}

void free(void* block) {
    Removed(block);
    RawFree(block);
}

void* memalign(size_t alignment, size_t size) {
    void* block = RawAligned(alignment, size);
    Added(block);
    return block;
}

void* aligned_alloc(size_t alignment, size_t size) {
    return memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* block = memalign(alignment, size);
    if (block == nullptr) return ENOMEM;
    *result = block;
    return 0;
}

void* valloc(size_t size) {
    return memalign(4096, size);
}

void* pvalloc(size_t size) {
    return memalign(4096, (size + 4095) / 4096 * 4096);
}

#ifdef KVOEXP_WITH_MIMALLOC
// Blocks are mimalloc's, so the C library cannot size them.
size_t malloc_usable_size(void* block) {
    return block != nullptr ? UsableSize(block) : 0;
}
#endif

}  // extern "C"

// operator new and delete in every form, through the counted malloc family.
namespace {

void* New(size_t size) {
    void* block = malloc(size != 0 ? size : 1);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* NewAligned(size_t size, std::align_val_t alignment) {
    void* block = memalign(static_cast<size_t>(alignment), size != 0 ? size : 1);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

void* operator new(size_t size) {
    return New(size);
}
void* operator new[](size_t size) {
    return New(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return malloc(size ? size : 1);
}
void* operator new(size_t size, std::align_val_t alignment) {
    return NewAligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment) {
    return NewAligned(size, alignment);
}
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return memalign(static_cast<size_t>(alignment), size ? size : 1);
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return memalign(static_cast<size_t>(alignment), size ? size : 1);
}
void operator delete(void* block) noexcept {
    free(block);
}
void operator delete[](void* block) noexcept {
    free(block);
}
void operator delete(void* block, size_t) noexcept {
    free(block);
}
void operator delete[](void* block, size_t) noexcept {
    free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    free(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    free(block);
}
void operator delete(void* block, size_t, std::align_val_t) noexcept {
    free(block);
}
void operator delete[](void* block, size_t, std::align_val_t) noexcept {
    free(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    free(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    free(block);
}
