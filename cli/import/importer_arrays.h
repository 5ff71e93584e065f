// Checks the arrays of a scene the importer handed over against the counts it
// claims, before the conversion reads any of them. The importer allocates each
// array with new[] and frees it with delete[], so the allocator knows its size;
// a malformed file can make it hand over fewer elements than it counts. The
// allocator reports a block's usable size, which may exceed what was asked for
// by its rounding; a claim within that slack reads only the block's own bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct aiScene;

namespace kvoimport {

// True when `p` is a heap block of at least `count` elements of `size` bytes
// (or `count` is 0). `p` must be null or the start of a block from new[]/malloc.
bool BlockHolds(const void* p, uint64_t count, size_t size);

// Every array the conversion reads: the scene's tables, each mesh's vertices,
// normals, first texture coordinates and colours, faces and their indices, the
// materials' properties, the node tree's children and mesh lists, and the
// names. On a short or missing array, false with the cause in `error`.
bool CheckImporterArrays(const aiScene* scene, std::string& error);

}  // namespace kvoimport
