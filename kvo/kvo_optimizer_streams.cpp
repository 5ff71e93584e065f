// Moving vertex data of all streams at once: positions, then the optional
// normals, colours and texture coordinates that the geob has.
#include <cstring>

#include "kvo/kvo_optimizer_internal.h"

namespace kvo_optimizer {
namespace {

struct Stream {
    float** data;
    int32_t* count;
    size_t components;
};

// Positions first, then the present optional streams; returns how many.
int CollectStreams(KvoGeob& geob, Stream streams[4]) {
    int n = 0;
    streams[n++] = {&geob.vertices, &geob.vertexCount, 3};
    if (geob.normals != nullptr) streams[n++] = {&geob.normals, &geob.normalCount, 3};
    if (geob.colors != nullptr) streams[n++] = {&geob.colors, &geob.colorCount, 3};
    if (geob.texCoords != nullptr) streams[n++] = {&geob.texCoords, &geob.texCoordCount, 2};
    return n;
}

// Copies as bytes so that every bit pattern, NaN payloads included, survives.
template <size_t Components>
void GatherEntries(float* to, const float* from, const uint32_t* source, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        std::memcpy(to + i * Components, from + size_t{source[i]} * Components,
                    Components * sizeof(float));
    }
}

void Gather(float* to, const float* from, const uint32_t* source, size_t count, size_t components) {
    if (components == 3) {
        GatherEntries<3>(to, from, source, count);
    } else {
        GatherEntries<2>(to, from, source, count);
    }
}

}  // namespace

bool GatherVertices(KvoGeob& geob, const uint32_t* source, int32_t newCount) {
    Stream streams[4];
    const int streamCount = CollectStreams(geob, streams);
    const size_t count = static_cast<size_t>(newCount);
    float* fresh[4] = {};
    for (int s = 0; s < streamCount; ++s) {
        fresh[s] = static_cast<float*>(std::malloc(count * streams[s].components * sizeof(float)));
        if (fresh[s] == nullptr) {
            for (int t = 0; t < s; ++t) std::free(fresh[t]);
            return false;
        }
    }
    for (int s = 0; s < streamCount; ++s) {
        Gather(fresh[s], *streams[s].data, source, count, streams[s].components);
        std::free(*streams[s].data);
        *streams[s].data = fresh[s];
        *streams[s].count = newCount;
    }
    return true;
}

void GatherVerticesInPlace(KvoGeob& geob, const uint32_t* source, int32_t newCount,
                           float* staging) {
    Stream streams[4];
    const int streamCount = CollectStreams(geob, streams);
    const size_t count = static_cast<size_t>(newCount);
    for (int s = 0; s < streamCount; ++s) {
        const size_t bytes = count * streams[s].components * sizeof(float);
        Gather(staging, *streams[s].data, source, count, streams[s].components);
        std::memcpy(*streams[s].data, staging, bytes);
        *streams[s].count = newCount;
        // Shrinking keeps the data; should it fail, the longer array serves as well.
        if (bytes > 0) {
            float* shrunk = static_cast<float*>(std::realloc(*streams[s].data, bytes));
            if (shrunk != nullptr) *streams[s].data = shrunk;
        }
    }
}

void PermuteVertices(KvoGeob& geob, const uint32_t* source, float* staging) {
    Stream streams[4];
    const int streamCount = CollectStreams(geob, streams);
    const size_t count = static_cast<size_t>(geob.vertexCount);
    for (int s = 0; s < streamCount; ++s) {
        // Only the first vertexCount entries move; longer optional streams keep their tail.
        Gather(staging, *streams[s].data, source, count, streams[s].components);
        std::memcpy(*streams[s].data, staging, count * streams[s].components * sizeof(float));
    }
}

}  // namespace kvo_optimizer
