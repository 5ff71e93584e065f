// The optimiser beyond what the literal reference can check in time: vertices
// that no 16-bit index can name, more than 65536 distinct vertices, and one
// scratch block shared by geobs of very different sizes in one Optimize call.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <vector>

#include "tests/kvo/literal_optimizer.h"
#include "tests/kvo/optimizer_corner_mesh.h"
#include "tests/kvo/optimizer_random_geob.h"
#include "tests/kvo/optimizer_support.h"

namespace {

constexpr int32_t kIndexable = 65536;

uint32_t Bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// The pairwise weld count, by grouping: k equal vertices make k(k-1)/2 pairs;
// -0 counts as +0 and a vertex with a NaN equals nothing.
int64_t EqualPairs(const KvoGeob& geob) {
    std::map<std::array<uint32_t, 8>, int64_t> groups;
    for (int32_t v = 0; v < geob.vertexCount; ++v) {
        std::array<uint32_t, 8> key = {};
        const float* values[3] = {geob.vertices + v * 3,
                                  geob.texCoords ? geob.texCoords + v * 2 : nullptr,
                                  geob.normals ? geob.normals + v * 3 : nullptr};
        const int components[3] = {3, 2, 3};
        bool nan = false;
        size_t k = 0;
        for (int s = 0; s < 3; ++s) {
            for (int c = 0; values[s] != nullptr && c < components[s]; ++c) {
                const float value = values[s][c];
                nan = nan || value != value;
                key[k++] = value == 0.0f ? 0u : Bits(value);
            }
        }
        if (!nan) ++groups[key];
    }
    int64_t pairs = 0;
    for (const auto& group : groups) pairs += group.second * (group.second - 1) / 2;
    return pairs;
}

float* GrowStream(float* data, int32_t oldCount, int32_t newCount, int components) {
    float* grown = static_cast<float*>(std::malloc(size_t(newCount) * components * sizeof(float)));
    std::memcpy(grown, data, size_t(oldCount) * components * sizeof(float));
    std::free(data);
    return grown;
}

// Appends vertices no index uses: copies of indexable vertices, copies of one
// another, fresh values (enough to pass 65536 distinct vertices), NaNs and -0.
void AppendUnindexedTail(KvoGeob& geob, int32_t tail, uint32_t seed) {
    std::mt19937 rng(seed);
    const int32_t oldCount = geob.vertexCount;
    const int32_t newCount = oldCount + tail;
    geob.vertices = GrowStream(geob.vertices, oldCount, newCount, 3);
    geob.texCoords = GrowStream(geob.texCoords, oldCount, newCount, 2);
    geob.normals = GrowStream(geob.normals, oldCount, newCount, 3);
    geob.vertexCount = geob.texCoordCount = geob.normalCount = newCount;
    std::uniform_int_distribution<int32_t> kind(0, 9);
    std::uniform_real_distribution<float> fresh(-50.0f, 50.0f);
    for (int32_t v = oldCount; v < newCount; ++v) {
        const int k = kind(rng);
        if (k < 6) {
            // A copy of an earlier vertex, indexable or not.
            const int32_t from = std::uniform_int_distribution<int32_t>(0, v - 1)(rng);
            std::memcpy(geob.vertices + v * 3, geob.vertices + from * 3, 3 * sizeof(float));
            std::memcpy(geob.texCoords + v * 2, geob.texCoords + from * 2, 2 * sizeof(float));
            std::memcpy(geob.normals + v * 3, geob.normals + from * 3, 3 * sizeof(float));
        } else {
            for (int c = 0; c < 3; ++c) geob.vertices[v * 3 + c] = fresh(rng);
            for (int c = 0; c < 2; ++c) geob.texCoords[v * 2 + c] = fresh(rng);
            for (int c = 0; c < 3; ++c) geob.normals[v * 3 + c] = fresh(rng);
        }
        if (k == 7) geob.normals[v * 3] = std::numeric_limits<float>::quiet_NaN();
        if (k == 8) geob.texCoords[v * 2 + 1] = (v % 2) ? 0.0f : -0.0f;
    }
}

TEST(OptimizerLargeGeobs, VerticesNoIndexCanNameOnlyAddWeldPairs) {
    TestGeode materials(true);
    // 65535 corners over mostly distinct values, indices naming each once.
    OwnedGeob indexable;
    FillCornerMesh(indexable.geob, 21845, 60000, 5);
    OwnedGeob tailed;
    CopyGeob(indexable.geob, tailed.geob);
    AppendUnindexedTail(tailed.geob, 40000, 6);
    ASSERT_GT(tailed.geob.vertexCount, kIndexable);

    for (bool fullPass : {false, true}) {
        SCOPED_TRACE(fullPass ? "OptimizeGeob" : "WeldVertices");
        OwnedGeob withoutTail;
        OwnedGeob withTail;
        CopyGeob(indexable.geob, withoutTail.geob);
        CopyGeob(tailed.geob, withTail.geob);
        int32_t without[3] = {};
        int32_t with[3] = {};
        if (fullPass) {
            materials.geode.OptimizeGeob(&withoutTail.geob, &without[0], &without[1], &without[2]);
            materials.geode.OptimizeGeob(&withTail.geob, &with[0], &with[1], &with[2]);
            // Vertices above the highest index are dropped without being counted.
            EXPECT_EQ(DescribeDifference(withTail.geob, withoutTail.geob), "");
        } else {
            without[0] = materials.geode.WeldVertices(&withoutTail.geob);
            with[0] = materials.geode.WeldVertices(&withTail.geob);
            EXPECT_EQ(
                std::vector<uint16_t>(withTail.geob.indices,
                                      withTail.geob.indices + withTail.geob.indexCount),
                std::vector<uint16_t>(withoutTail.geob.indices,
                                      withoutTail.geob.indices + withoutTail.geob.indexCount));
        }
        EXPECT_EQ(without[0], EqualPairs(indexable.geob));
        EXPECT_EQ(with[0], EqualPairs(tailed.geob));
        EXPECT_GT(with[0], without[0]);
        EXPECT_EQ(with[1], without[1]);
        EXPECT_EQ(with[2], without[2]);
    }
}

TEST(OptimizerLargeGeobs, OneOptimizeCallServesGeobsOfMixedSizes) {
    // Large, small, empty and mid-sized geobs in one geode, so the scratch
    // block grows between geobs and is reused with leftovers of a larger one.
    std::vector<OwnedGeob> ours(6);
    std::vector<OwnedGeob> expected(6);
    std::mt19937 rng(11);
    FillCornerMesh(ours[0].geob, 300, 200, 1);
    FillRandomGeob(rng, ours[1].geob);
    FillCornerMesh(ours[2].geob, 1200, 900, 2);
    FillRandomGeob(rng, ours[3].geob);
    FillCornerMesh(ours[4].geob, 40, 30, 3);
    FillCornerMesh(ours[5].geob, 900, 100, 4);
    for (int32_t v = 0; v < ours[2].geob.vertexCount; v += 9) {
        ours[2].geob.vertices[v * 3 + 2] = v % 2 ? std::numeric_limits<float>::quiet_NaN() : -0.0f;
    }
    TestGeode oursGeode(true);
    TestGeode literalGeode(true);
    for (size_t g = 0; g < ours.size(); ++g) {
        CopyGeob(ours[g].geob, expected[g].geob);
        oursGeode.geode.geobs[g] = &ours[g].geob;
        literalGeode.geode.geobs[g] = &expected[g].geob;
    }
    oursGeode.geode.geobCount = literalGeode.geode.geobCount = int32_t(ours.size());
    int32_t oursCounts[3] = {};
    int32_t literalCounts[3] = {};
    oursGeode.geode.Optimize(&oursCounts[0], &oursCounts[1], &oursCounts[2]);
    literal::Optimize(literalGeode.geode, &literalCounts[0], &literalCounts[1], &literalCounts[2]);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(oursCounts[i], literalCounts[i]) << "counter " << i;
    for (size_t g = 0; g < ours.size(); ++g) {
        EXPECT_EQ(DescribeDifference(ours[g].geob, expected[g].geob), "") << "geob " << g;
    }
}

}  // namespace
