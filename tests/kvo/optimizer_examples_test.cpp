// The optimiser's documented cases, each checked by value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "tests/kvo/optimizer_support.h"

namespace {

float* FloatArray(const std::vector<float>& values) {
    float* data = static_cast<float*>(std::malloc(values.size() * sizeof(float) + 1));
    std::memcpy(data, values.data(), values.size() * sizeof(float));
    return data;
}

void SetIndices(KvoGeob& geob, const std::vector<uint16_t>& values) {
    std::free(geob.indices);
    geob.indices = static_cast<uint16_t*>(std::malloc(values.size() * sizeof(uint16_t) + 1));
    std::memcpy(geob.indices, values.data(), values.size() * sizeof(uint16_t));
    geob.indexCount = int32_t(values.size());
}

// Vertex v sits at (v, 10v, 100v), with colour (v, v, v).
void SetNumberedVertices(KvoGeob& geob, int32_t count, bool withColors) {
    std::vector<float> positions;
    std::vector<float> colors;
    for (int32_t v = 0; v < count; ++v) {
        positions.insert(positions.end(), {float(v), 10.0f * v, 100.0f * v});
        colors.insert(colors.end(), {float(v), float(v), float(v)});
    }
    geob.vertices = FloatArray(positions);
    geob.vertexCount = count;
    if (withColors) {
        geob.colors = FloatArray(colors);
        geob.colorCount = count;
    }
}

std::vector<uint16_t> Indices(const KvoGeob& geob) {
    return std::vector<uint16_t>(geob.indices, geob.indices + geob.indexCount);
}

std::vector<float> Floats(const float* data, int32_t count) {
    return std::vector<float>(data, data + count);
}

TEST(OptimizerExamples, CompactionFillsHolesWithTheHighestVertex) {
    TestGeode materials(true);
    OwnedGeob owned;
    KvoGeob& geob = owned.geob;
    SetNumberedVertices(geob, 6, true);
    SetIndices(geob, {0, 2, 5});

    EXPECT_EQ(materials.geode.CompactVertices(&geob), 3);
    EXPECT_EQ(geob.vertexCount, 3);
    EXPECT_EQ(geob.colorCount, 3);
    EXPECT_EQ(Indices(geob), (std::vector<uint16_t>{0, 2, 1}));
    EXPECT_EQ(Floats(geob.vertices, 9), (std::vector<float>{0, 0, 0, 5, 50, 500, 2, 20, 200}));
    EXPECT_EQ(Floats(geob.colors, 9), (std::vector<float>{0, 0, 0, 5, 5, 5, 2, 2, 2}));

    materials.geode.ReorderVertices(&geob);
    EXPECT_EQ(Indices(geob), (std::vector<uint16_t>{0, 1, 2}));
    EXPECT_EQ(Floats(geob.vertices, 9), (std::vector<float>{0, 0, 0, 2, 20, 200, 5, 50, 500}));
}

TEST(OptimizerExamples, CompactionDropsVerticesAboveTheHighestWithoutCountingThem) {
    TestGeode materials(true);
    OwnedGeob owned;
    KvoGeob& geob = owned.geob;
    SetNumberedVertices(geob, 5, false);
    SetIndices(geob, {0, 1, 2, 0, 2, 3});

    EXPECT_EQ(materials.geode.CompactVertices(&geob), 0);
    EXPECT_EQ(geob.vertexCount, 4);
    EXPECT_EQ(Indices(geob), (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(Floats(geob.vertices, 12),
              (std::vector<float>{0, 0, 0, 1, 10, 100, 2, 20, 200, 3, 30, 300}));
    EXPECT_EQ(geob.colors, nullptr);
}

TEST(OptimizerExamples, WeldKeepsColourSeamsApart) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        bool withColours;
        std::vector<float> colour3;  // vertex 3's colour; vertex 1's is (0, 1, 0)
        int32_t pairs;
        std::vector<uint16_t> indices;
        int32_t vertexCount;
    };
    const Case cases[] = {
        {"a seam stays", true, {9, 9, 9}, 0, {0, 1, 2, 0, 2, 3}, 4},
        {"equal colours weld", true, {0, 1, 0}, 1, {0, 1, 2, 0, 2, 1}, 3},
        {"minus zero equals zero", true, {-0.0f, 1, -0.0f}, 1, {0, 1, 2, 0, 2, 1}, 3},
        {"NaN equals nothing", true, {nan, 1, 0}, 0, {0, 1, 2, 0, 2, 3}, 4},
        {"without colours", false, {}, 1, {0, 1, 2, 0, 2, 1}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestGeode materials(true);
        OwnedGeob owned;
        KvoGeob& geob = owned.geob;
        // Vertex 3 repeats vertex 1 in position, normal and texture coordinates.
        geob.vertices = FloatArray({0, 0, 0, 1, 1, 1, 2, 2, 2, 1, 1, 1});
        geob.normals = FloatArray({0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0});
        geob.texCoords = FloatArray({0, 0, 0.5f, 0.5f, 1, 1, 0.5f, 0.5f});
        geob.vertexCount = geob.normalCount = geob.texCoordCount = 4;
        std::vector<float> colours = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        if (c.withColours) {
            colours.insert(colours.end(), c.colour3.begin(), c.colour3.end());
            geob.colors = FloatArray(colours);
            geob.colorCount = 4;
        }
        SetIndices(geob, {0, 1, 2, 0, 2, 3});
        geob.burstLength[0] = 12;

        int32_t counts[3] = {10, 20, 30};
        materials.geode.OptimizeGeob(&geob, &counts[0], &counts[1], &counts[2]);
        EXPECT_EQ(counts[0], 10 + c.pairs);
        EXPECT_EQ(counts[1], 20);  // a welded vertex 3 was above the highest index left
        EXPECT_EQ(counts[2], 30);
        EXPECT_EQ(Indices(geob), c.indices);
        EXPECT_EQ(geob.vertexCount, c.vertexCount);
        if (c.withColours) {
            ASSERT_EQ(geob.colorCount, c.vertexCount);
            // The first vertex's colour survives a weld, bit for bit.
            std::vector<float> kept(colours.begin(), colours.begin() + 3 * c.vertexCount);
            std::vector<float> actual = Floats(geob.colors, 3 * c.vertexCount);
            EXPECT_EQ(std::memcmp(actual.data(), kept.data(), kept.size() * sizeof(float)), 0);
        }
        EXPECT_EQ(geob.burstLength[0], 12);  // burst values stay as built
    }
}

TEST(OptimizerExamples, WeldComparesExactly) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        std::vector<float> positions;  // three vertices
        int32_t pairs;
        std::vector<uint16_t> indices;
    };
    const Case cases[] = {
        {"positions alone", {1, 2, 3, 1, 2, 3, 1, 2, 3}, 3, {0, 0, 0}},
        {"minus zero", {0, 0, 0, -0.0f, 0, -0.0f, 0, -0.0f, 0}, 3, {0, 0, 0}},
        {"NaN equals nothing", {nan, 0, 0, nan, 0, 0, 1, 1, 1}, 0, {0, 1, 2}},
        {"no tolerance", {1, 1, 1, std::nextafter(1.0f, 2.0f), 1, 1, 1, 1, 1}, 1, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestGeode materials(true);
        OwnedGeob owned;
        owned.geob.vertices = FloatArray(c.positions);
        owned.geob.vertexCount = 3;
        SetIndices(owned.geob, {0, 1, 2});
        EXPECT_EQ(materials.geode.WeldVertices(&owned.geob), c.pairs);
        EXPECT_EQ(Indices(owned.geob), c.indices);
    }
}

TEST(OptimizerExamples, EmptyIndexListStillCountsPairsButChangesNothing) {
    TestGeode materials(true);
    OwnedGeob owned;
    KvoGeob& geob = owned.geob;
    geob.vertices = FloatArray({1, 1, 1, 1, 1, 1});
    geob.vertexCount = 2;
    geob.burstCount = 2;
    geob.burstMaterial[1] = 0;
    geob.burstStart[1] = geob.burstLength[1] = 0;
    geob.burstVertsPerPrim[1] = 3;
    OwnedGeob before;
    CopyGeob(geob, before.geob);

    int32_t counts[3] = {};
    materials.geode.OptimizeGeob(&geob, &counts[0], &counts[1], &counts[2]);
    EXPECT_EQ(counts[0], 1);
    EXPECT_EQ(counts[1], 0);
    EXPECT_EQ(counts[2], 0);
    EXPECT_EQ(DescribeDifference(geob, before.geob), "");
}

// Three bursts of two triangles each over the list 0..17, material numbers given.
void SetThreeBursts(KvoGeob& geob, int32_t materialIndex, std::vector<int32_t> numbers) {
    SetNumberedVertices(geob, 18, false);
    std::vector<uint16_t> indices(18);
    for (int i = 0; i < 18; ++i) indices[i] = uint16_t(i);
    SetIndices(geob, indices);
    geob.materialIndex = materialIndex;
    geob.burstCount = 3;
    for (int b = 0; b < 3; ++b) {
        geob.burstStart[b] = 3 * 6 * b;
        geob.burstLength[b] = 3 * 6;
        geob.burstMaterial[b] = numbers[b];
        geob.burstVertsPerPrim[b] = 3 + b;
    }
}

TEST(OptimizerExamples, BurstsResolvingToTheSameMaterialMerge) {
    TestGeode materials(true);
    {
        SCOPED_TRACE("multi-material: numbers 2 and 7 both clamp to sub-material 2");
        OwnedGeob owned;
        KvoGeob& geob = owned.geob;
        SetThreeBursts(geob, 1, {2, 0, 7});
        EXPECT_EQ(materials.geode.MergeBursts(&geob), 1);
        EXPECT_EQ(geob.burstCount, 2);
        EXPECT_EQ(Indices(geob), (std::vector<uint16_t>{0, 1, 2, 3, 4, 5, 12, 13, 14, 15, 16, 17, 6,
                                                        7, 8, 9, 10, 11}));
        EXPECT_EQ(
            (std::vector<int32_t>{geob.burstStart[0], geob.burstLength[0], geob.burstMaterial[0],
                                  geob.burstStart[1], geob.burstLength[1], geob.burstMaterial[1]}),
            (std::vector<int32_t>{0, 36, 2, 36, 18, 0}));
        EXPECT_EQ((std::vector<int32_t>{geob.burstVertsPerPrim[0], geob.burstVertsPerPrim[1],
                                        geob.burstVertsPerPrim[2], geob.burstMaterial[2]}),
                  (std::vector<int32_t>{3, 4, 5, -1}));
    }
    {
        SCOPED_TRACE("plain material: every burst merges");
        OwnedGeob owned;
        KvoGeob& geob = owned.geob;
        SetThreeBursts(geob, 0, {4, 1, 9});
        EXPECT_EQ(materials.geode.MergeBursts(&geob), 2);
        EXPECT_EQ(geob.burstCount, 1);
        EXPECT_EQ(geob.burstStart[0], 0);
        EXPECT_EQ(geob.burstLength[0], 54);
        EXPECT_EQ(geob.burstMaterial[0], 4);
    }
}

// Bursts 0 and 2 cover entries 0..5 and 12..17; the cases move burst 1.
TEST(OptimizerExamples, MergeLeavesOneBurstAndBurstsThatDoNotTileTheListAlone) {
    TestGeode materials(true);
    struct Case {
        const char* name;
        int32_t burstCount;
        int32_t secondStart;
        int32_t secondLength;
    };
    const Case cases[] = {
        {"one burst", 1, 18, 18},
        {"range past the end", 3, 18, 18 + 3 * 13},
        {"negative start", 3, -3, 18},
        {"ranges overlap beyond the list's length", 3, 0, 36},
        {"a gap: entries 9..11 in no burst", 3, 18, 9},
        {"an overlap with the right total", 3, 9, 18},
        {"start not a whole position", 3, 19, 18},
        {"length not a whole count", 3, 18, 17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OwnedGeob owned;
        SetThreeBursts(owned.geob, 0, {4, 1, 9});
        owned.geob.burstCount = c.burstCount;
        owned.geob.burstStart[1] = c.secondStart;
        owned.geob.burstLength[1] = c.secondLength;
        OwnedGeob before;
        CopyGeob(owned.geob, before.geob);
        EXPECT_EQ(materials.geode.MergeBursts(&owned.geob), 0);
        EXPECT_EQ(DescribeDifference(owned.geob, before.geob), "");
    }
}

TEST(OptimizerExamples, MergeTakesBurstsInAnyOrderAndEmptyOnes) {
    TestGeode materials(true);
    OwnedGeob owned;
    KvoGeob& geob = owned.geob;
    SetThreeBursts(geob, 0, {4, 1, 9});
    std::swap(geob.burstStart[0], geob.burstStart[2]);  // pieces stored last to first
    geob.burstCount = 4;
    geob.burstStart[3] = 54;  // an empty burst at the list's end
    geob.burstLength[3] = 0;
    geob.burstMaterial[3] = 2;
    EXPECT_EQ(materials.geode.MergeBursts(&geob), 3);
    EXPECT_EQ(Indices(geob), (std::vector<uint16_t>{12, 13, 14, 15, 16, 17, 6, 7, 8, 9, 10, 11, 0,
                                                    1, 2, 3, 4, 5}));
    EXPECT_EQ(geob.burstLength[0], 54);
}

// The list (0,1,2,2,1,0) with bursts over its first two entries only was
// merged into (0,1,0,0,0,0); now the whole optimisation keeps it.
TEST(OptimizerExamples, UncoveredEntriesSurviveTheOptimisation) {
    TestGeode materials(true);
    OwnedGeob owned;
    KvoGeob& geob = owned.geob;
    SetNumberedVertices(geob, 3, false);
    SetIndices(geob, {0, 1, 2, 2, 1, 0});
    geob.burstCount = 2;
    geob.burstStart[0] = 0;
    geob.burstLength[0] = 6;
    geob.burstStart[1] = 6;
    geob.burstLength[1] = 0;
    geob.burstMaterial[0] = geob.burstMaterial[1] = 0;
    OwnedGeob before;
    CopyGeob(geob, before.geob);
    int32_t counts[3] = {};
    materials.geode.OptimizeGeob(&geob, &counts[0], &counts[1], &counts[2]);
    EXPECT_EQ(counts[0] + counts[1] + counts[2], 0);
    EXPECT_EQ(DescribeDifference(geob, before.geob), "");
}

TEST(OptimizerExamples, CountersSumOverGeobsAndSaturate) {
    TestGeode materials(true);
    OwnedGeob first;
    OwnedGeob second;
    for (KvoGeob* geob : {&first.geob, &second.geob}) {
        geob->vertices = FloatArray({1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2});
        geob->vertexCount = 4;
        SetIndices(*geob, {0, 3, 2});
    }
    materials.geode.geobs[0] = &first.geob;
    materials.geode.geobs[2] = &second.geob;
    materials.geode.geobCount = 3;
    int32_t counts[3] = {5, std::numeric_limits<int32_t>::max() - 1, 0};
    materials.geode.Optimize(&counts[0], &counts[1], &counts[2]);
    EXPECT_EQ(counts[0], 5 + 3 + 3);  // three identical vertices give three pairs each
    EXPECT_EQ(counts[1], std::numeric_limits<int32_t>::max());  // one hole each, saturated
    EXPECT_EQ(counts[2], 0);
    EXPECT_EQ(Indices(second.geob), (std::vector<uint16_t>{0, 1, 0}));
}

TEST(OptimizerExamples, ResolveClampsNumbersAndIgnoresBadTables) {
    TestGeode materials(true);
    KvoGeob geob;
    KvoGeode& geode = materials.geode;
    geob.materialIndex = 1;
    EXPECT_EQ(geode.ResolveBurstMaterial(&geob, -4), materials.records[1].subMaterials[0]);
    EXPECT_EQ(geode.ResolveBurstMaterial(&geob, 99), materials.records[1].subMaterials[2]);
    geob.materialIndex = 4;
    EXPECT_EQ(geode.ResolveBurstMaterial(&geob, 3), &materials.records[4]);
    geob.materialIndex = 2;  // null entry
    EXPECT_EQ(geode.ResolveBurstMaterial(&geob, 0), nullptr);
    EXPECT_EQ(geode.ResolveBurstMaterial(nullptr, 0), nullptr);

    // Counts beyond the fixed tables are not followed out of them.
    materials.records[1].subMaterialCount = 150;
    geob.materialIndex = 1;
    EXPECT_EQ(geode.ResolveBurstMaterial(&geob, 120), nullptr);  // entry 99, unset
    geode.materialCount = 300;
    geob.materialIndex = 260;
    EXPECT_EQ(geode.ResolveBurstMaterial(&geob, 0), nullptr);
    materials.records[1].subMaterialCount = 3;
}

TEST(OptimizerExamples, BrokenGeobsAreLeftAloneByEveryOperation) {
    TestGeode materials(true);
    OwnedGeob owned;
    KvoGeob& geob = owned.geob;
    SetNumberedVertices(geob, 4, true);
    SetIndices(geob, {3, 3, 1, 0, 0, 0});
    geob.normals = FloatArray({0, 0, 0, 0, 0, 0, 0, 0, 0});
    geob.normalCount = 3;  // one entry short
    OwnedGeob before;
    CopyGeob(geob, before.geob);

    KvoGeode& geode = materials.geode;
    EXPECT_EQ(geode.MergeBursts(&geob), 0);
    EXPECT_EQ(geode.WeldVertices(&geob), 0);
    EXPECT_EQ(geode.CompactVertices(&geob), 0);
    geode.ReorderVertices(&geob);
    geode.SwapVertices(&geob, 0, 3);
    int32_t counts[3] = {};
    geode.OptimizeGeob(&geob, &counts[0], &counts[1], &counts[2]);
    EXPECT_EQ(counts[0] + counts[1] + counts[2], 0);
    EXPECT_EQ(DescribeDifference(geob, before.geob), "");
    geode.OptimizeGeob(nullptr, &counts[0], &counts[1], &counts[2]);
}

}  // namespace
