#include "kvo/kvo_warnings.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

// Counts the entries of `count` triples with a non-finite component.
void CheckTriples(const float* data, int32_t count, const char* what, const std::string& where,
                  std::vector<std::string>& warnings) {
    if (!data || count <= 0) return;
    int64_t bad = 0;
    int32_t first = -1;
    for (int32_t v = 0; v < count; ++v) {
        const float* p = data + 3 * static_cast<size_t>(v);
        if (std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2])) continue;
        if (bad++ == 0) first = v;
    }
    if (bad == 0) return;
    warnings.push_back(where + ": " + std::to_string(bad) + (bad == 1 ? " vertex" : " vertices") +
                       " with a non-finite " + what + ", the first is vertex " +
                       std::to_string(first));
}

}  // namespace

std::vector<std::string> GeodeWarnings(const KvoGeode& geode) {
    std::vector<std::string> warnings;
    if (geode.geobCount < 0 || geode.geobCount > KvoGeode::kMaxGeobs) return warnings;
    for (int32_t i = 0; i < geode.geobCount; ++i) {
        const KvoGeob* geob = geode.geobs[i];
        if (!geob) continue;
        const std::string where = "geob " + std::to_string(i);
        CheckTriples(geob->vertices, geob->vertexCount, "position", where, warnings);
        // Normal entries past the vertices belong to none and are not drawn.
        CheckTriples(geob->normals, std::min(geob->normalCount, geob->vertexCount), "normal", where,
                     warnings);
    }
    return warnings;
}
