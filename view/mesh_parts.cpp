// From the records of a loaded geode to checked, compacted mesh parts.
#include "view/mesh_parts.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kvoview {

namespace {

// Index entries [begin, end) of one burst, with its material number.
struct Range {
    int64_t begin;
    int64_t end;
    int32_t material;
};

// One burst covers the whole list. With several, start and length are three
// times an index position and count, as the optimiser's burst merge reads them.
// A count outside 1..100 leaves only burst 0 trustworthy.
std::vector<Range> BurstRanges(const KvoGeob& geob) {
    if (geob.burstCount <= 1 || geob.burstCount > KvoGeob::kMaxBursts) {
        return {{0, geob.indexCount, geob.burstMaterial[0]}};
    }
    std::vector<Range> ranges;
    for (int32_t b = 0; b < geob.burstCount; ++b) {
        const int64_t begin = std::clamp<int64_t>(geob.burstStart[b] / 3, 0, geob.indexCount);
        const int64_t length = std::max<int64_t>(geob.burstLength[b] / 3, 0);
        ranges.push_back(
            {begin, std::min<int64_t>(begin + length, geob.indexCount), geob.burstMaterial[b]});
    }
    return ranges;
}

// The stream when it covers every vertex; otherwise null and a warning.
const float* UsableStream(const float* data, int32_t count, int32_t vertexCount, const char* name,
                          const std::string& where, std::vector<std::string>* warnings) {
    if (!data) return nullptr;
    if (count >= vertexCount) return data;
    warnings->push_back(where + ": " + std::to_string(count) + " " + name + " for " +
                        std::to_string(vertexCount) + " vertices; left out");
    return nullptr;
}

bool Finite(const float* p) {
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

// Streams of one geob after the checks.
struct GeobStreams {
    const KvoGeob* geob;
    const float* normals;
    const float* texCoords;
    const float* colors;
};

// Copies the triangles of index entries [begin, end) and the vertices they use.
MeshPart BuildPart(const GeobStreams& s, int64_t begin, int64_t end, std::vector<int32_t>& remap,
                   int64_t* badIndex, int64_t* nonFinite) {
    const KvoGeob& geob = *s.geob;
    MeshPart part;
    std::fill(remap.begin(), remap.end(), -1);
    std::vector<uint16_t> sources;  // old number of each new vertex
    // Whole triangles only: the first entry at a multiple of three inside the range.
    for (int64_t i = (begin + 2) / 3 * 3; i + 3 <= end; i += 3) {
        const uint16_t* t = geob.indices + i;
        if (t[0] >= geob.vertexCount || t[1] >= geob.vertexCount || t[2] >= geob.vertexCount) {
            ++*badIndex;
            continue;
        }
        if (!Finite(geob.vertices + 3 * size_t{t[0]}) ||
            !Finite(geob.vertices + 3 * size_t{t[1]}) ||
            !Finite(geob.vertices + 3 * size_t{t[2]})) {
            ++*nonFinite;
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            if (remap[t[k]] < 0) {
                remap[t[k]] = static_cast<int32_t>(sources.size());
                sources.push_back(t[k]);
            }
            part.indices.push_back(static_cast<uint32_t>(remap[t[k]]));
        }
    }
    // The used vertices' streams, in their new order.
    const auto gather = [&](const float* from, int width, std::vector<float>& to) {
        if (!from) return;
        to.resize(sources.size() * width);
        for (size_t v = 0; v < sources.size(); ++v) {
            std::copy_n(from + size_t{sources[v]} * width, width, &to[v * width]);
        }
    };
    gather(geob.vertices, 3, part.positions);
    gather(s.normals, 3, part.normals);
    gather(s.texCoords, 2, part.texCoords);
    gather(s.colors, 3, part.colors);
    return part;
}

// Index of `material` in the set's table, adding it on first use.
int MaterialSlot(const KvoMaterial* material, const std::string& folder,
                 std::map<const KvoMaterial*, int>& slots, MeshSet* out) {
    if (!material) return -1;
    const auto found = slots.find(material);
    if (found != slots.end()) return found->second;
    MaterialInfo info;
    info.name = material->name;
    std::copy(material->diffuse, material->diffuse + 4, info.diffuse);
    if (material->textureCount > 0 && material->textures[0]) info.texture = *material->textures[0];
    info.folder = folder;
    out->materials.push_back(info);
    const int slot = static_cast<int>(out->materials.size()) - 1;
    slots.emplace(material, slot);
    return slot;
}

void AddGeob(const KvoGeode& geode, int32_t g, const std::string& where, const std::string& folder,
             std::map<const KvoMaterial*, int>& slots, MeshSet* out,
             std::vector<std::string>* warnings) {
    const KvoGeob& geob = *geode.geobs[g];
    if (geob.indexCount <= 0) return;
    if (!geob.indices || !geob.vertices || geob.vertexCount <= 0) {
        warnings->push_back(where + ": " + std::to_string(geob.indexCount) +
                            " indices but no vertices; left out");
        return;
    }
    const int32_t vertexCount = std::min(geob.vertexCount, 65536);
    GeobStreams s{
        &geob,
        UsableStream(geob.normals, geob.normalCount, vertexCount, "normals", where, warnings),
        UsableStream(geob.texCoords, geob.texCoordCount, vertexCount, "texture coordinates", where,
                     warnings),
        UsableStream(geob.colors, geob.colorCount, vertexCount, "colours", where, warnings)};
    if (geob.indexCount % 3 != 0) {
        warnings->push_back(where + ": " + std::to_string(geob.indexCount) +
                            " indices are not whole triangles; the last " +
                            std::to_string(geob.indexCount % 3) + " left out");
    }
    if (geob.burstCount < 1 || geob.burstCount > KvoGeob::kMaxBursts) {
        warnings->push_back(where + ": burst count " + std::to_string(geob.burstCount) +
                            " outside 1..100; drawn as one burst");
    }
    std::vector<int32_t> remap(static_cast<size_t>(vertexCount));
    const std::vector<Range> ranges = BurstRanges(geob);
    int64_t badIndex = 0, nonFinite = 0, covered = 0;
    for (size_t b = 0; b < ranges.size(); ++b) {
        MeshPart part = BuildPart(s, ranges[b].begin, ranges[b].end, remap, &badIndex, &nonFinite);
        covered += std::max<int64_t>(ranges[b].end - ranges[b].begin, 0) / 3;
        if (part.indices.empty()) continue;
        part.label = ranges.size() == 1 ? where : where + " burst " + std::to_string(b);
        part.geob = g;
        part.burst = ranges.size() == 1 ? -1 : static_cast<int>(b);
        part.material =
            MaterialSlot(geode.ResolveBurstMaterial(&geob, ranges[b].material), folder, slots, out);
        out->parts.push_back(std::move(part));
    }
    if (badIndex > 0) {
        warnings->push_back(where + ": " + std::to_string(badIndex) +
                            " triangles with indices past the " + std::to_string(geob.vertexCount) +
                            " vertices left out");
    }
    if (nonFinite > 0) {
        warnings->push_back(where + ": " + std::to_string(nonFinite) +
                            " triangles with non-finite positions left out");
    }
    if (ranges.size() > 1 && covered < geob.indexCount / 3) {
        warnings->push_back(where + ": its bursts cover " + std::to_string(covered) + " of " +
                            std::to_string(geob.indexCount / 3) + " triangles");
    }
}

}  // namespace

size_t MeshSet::TriangleCount() const {
    size_t triangles = 0;
    for (const MeshPart& part : parts) triangles += part.indices.size() / 3;
    return triangles;
}

void ExtractMeshParts(const KvoGeode& geode, const std::string& label, const std::string& folder,
                      MeshSet* out, std::vector<std::string>* warnings) {
    std::map<const KvoMaterial*, int> slots;
    const int32_t geobs = std::clamp(geode.geobCount, 0, KvoGeode::kMaxGeobs);
    for (int32_t g = 0; g < geobs; ++g) {
        const std::string where = label + ": geob " + std::to_string(g);
        if (!geode.geobs[g]) {
            warnings->push_back(where + ": missing (the reader refused it)");
            continue;
        }
        AddGeob(geode, g, where, folder, slots, out, warnings);
    }
}

bool UsedBounds(const MeshSet& set, float min[3], float max[3]) {
    bool any = false;
    for (const MeshPart& part : set.parts) {
        // Parts hold only used vertices, all finite.
        for (size_t v = 0; v < part.VertexCount(); ++v) {
            for (int axis = 0; axis < 3; ++axis) {
                const float value = part.positions[3 * v + axis];
                if (!any || value < min[axis]) min[axis] = value;
                if (!any || value > max[axis]) max[axis] = value;
            }
            any = true;
        }
    }
    return any;
}

}  // namespace kvoview
