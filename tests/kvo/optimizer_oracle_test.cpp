// The optimiser against the literal pairwise reference, bit by bit, on random
// small geobs, a mid-sized exported mesh and whole geodes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "tests/kvo/literal_optimizer.h"
#include "tests/kvo/optimizer_corner_mesh.h"
#include "tests/kvo/optimizer_random_geob.h"
#include "tests/kvo/optimizer_support.h"

namespace {

using Counts = std::vector<int32_t>;
using Step = Counts (*)(KvoGeode& geode, KvoGeob* geob, int32_t a, int32_t b);

struct StepPair {
    const char* name;
    Step ours;
    Step literal;
};

const StepPair kSteps[] = {
    {"MergeBursts",
     [](KvoGeode& g, KvoGeob* o, int32_t, int32_t) { return Counts{g.MergeBursts(o)}; },
     [](KvoGeode& g, KvoGeob* o, int32_t, int32_t) { return Counts{literal::MergeBursts(g, o)}; }},
    {"WeldVertices",
     [](KvoGeode& g, KvoGeob* o, int32_t, int32_t) { return Counts{g.WeldVertices(o)}; },
     [](KvoGeode&, KvoGeob* o, int32_t, int32_t) { return Counts{literal::WeldVertices(o)}; }},
    {"CompactVertices",
     [](KvoGeode& g, KvoGeob* o, int32_t, int32_t) { return Counts{g.CompactVertices(o)}; },
     [](KvoGeode&, KvoGeob* o, int32_t, int32_t) { return Counts{literal::CompactVertices(o)}; }},
    {"ReorderVertices",
     [](KvoGeode& g, KvoGeob* o, int32_t, int32_t) {
         g.ReorderVertices(o);
         return Counts{};
     },
     [](KvoGeode&, KvoGeob* o, int32_t, int32_t) {
         literal::ReorderVertices(o);
         return Counts{};
     }},
    {"SwapVertices",
     [](KvoGeode& g, KvoGeob* o, int32_t a, int32_t b) {
         g.SwapVertices(o, a, b);
         return Counts{};
     },
     [](KvoGeode&, KvoGeob* o, int32_t a, int32_t b) {
         literal::SwapVertices(o, a, b);
         return Counts{};
     }},
    {"OptimizeGeob",
     [](KvoGeode& g, KvoGeob* o, int32_t a, int32_t b) {
         Counts counts = {a, b, 7};
         g.OptimizeGeob(o, &counts[0], &counts[1], &counts[2]);
         return counts;
     },
     [](KvoGeode& g, KvoGeob* o, int32_t a, int32_t b) {
         Counts counts = {a, b, 7};
         literal::OptimizeGeob(g, o, &counts[0], &counts[1], &counts[2]);
         return counts;
     }},
};

constexpr GeobFlaw kFlaws[] = {GeobFlaw::kIndexTooLarge, GeobFlaw::kShortStream,
                               GeobFlaw::kBurstCountOutOfRange, GeobFlaw::kNegativeBurstMaterial,
                               GeobFlaw::kNegativeCount};

// Every sixth geob breaks one invariant; a quarter see an empty material table.
void MakeCase(uint32_t seed, std::mt19937& rng, KvoGeob& geob) {
    FillRandomGeob(rng, geob);
    if (seed % 6 == 5) BreakGeob(rng, kFlaws[(seed / 6) % 5], geob);
}

TEST(OptimizerOracle, EveryStepMatchesTheLiteralAlgorithmOnRandomGeobs) {
    for (const StepPair& step : kSteps) {
        for (uint32_t seed = 0; seed < 3000; ++seed) {
            SCOPED_TRACE(std::string(step.name) + " seed " + std::to_string(seed));
            std::mt19937 rng(seed);
            TestGeode materials(seed % 4 != 0);
            OwnedGeob source;
            MakeCase(seed, rng, source.geob);
            const int32_t a = std::uniform_int_distribution<int32_t>(-1, 25)(rng);
            const int32_t b = std::uniform_int_distribution<int32_t>(-1, 25)(rng);
            OwnedGeob ours;
            OwnedGeob expected;
            CopyGeob(source.geob, ours.geob);
            CopyGeob(source.geob, expected.geob);
            const Counts oursCounts = step.ours(materials.geode, &ours.geob, a, b);
            const Counts literalCounts = step.literal(materials.geode, &expected.geob, a, b);
            ASSERT_EQ(oursCounts, literalCounts);
            ASSERT_EQ(DescribeDifference(ours.geob, expected.geob), "");
        }
    }
}

TEST(OptimizerOracle, ResolveBurstMaterialMatchesTheLiteralRule) {
    for (bool withMaterials : {true, false}) {
        TestGeode materials(withMaterials);
        KvoGeob geob;
        for (int32_t index = -2; index <= 7; ++index) {
            geob.materialIndex = index;
            for (int32_t number = -3; number <= 5; ++number) {
                EXPECT_EQ(materials.geode.ResolveBurstMaterial(&geob, number),
                          literal::ResolveBurstMaterial(materials.geode, &geob, number))
                    << "material " << index << " burst " << number;
            }
        }
    }
}

TEST(OptimizerOracle, OptimizeMatchesOverWholeGeodes) {
    for (uint32_t seed = 0; seed < 400; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        TestGeode oursGeode(seed % 3 != 0);
        TestGeode literalGeode(seed % 3 != 0);
        const int32_t geobCount = std::uniform_int_distribution<int32_t>(0, 6)(rng);
        std::vector<OwnedGeob> ours(geobCount);
        std::vector<OwnedGeob> expected(geobCount);
        for (int32_t g = 0; g < geobCount; ++g) {
            OwnedGeob source;
            MakeCase(seed * 7 + g, rng, source.geob);
            CopyGeob(source.geob, ours[g].geob);
            CopyGeob(source.geob, expected[g].geob);
            const bool skip = g == 2;  // a null entry in the table
            oursGeode.geode.geobs[g] = skip ? nullptr : &ours[g].geob;
            literalGeode.geode.geobs[g] = skip ? nullptr : &expected[g].geob;
        }
        oursGeode.geode.geobCount = geobCount;
        literalGeode.geode.geobCount = geobCount;
        int32_t oursCounts[3] = {1, 2, 3};
        int32_t literalCounts[3] = {1, 2, 3};
        oursGeode.geode.Optimize(&oursCounts[0], &oursCounts[1], &oursCounts[2]);
        literal::Optimize(literalGeode.geode, &literalCounts[0], &literalCounts[1],
                          &literalCounts[2]);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(oursCounts[i], literalCounts[i]) << "counter " << i;
        for (int32_t g = 0; g < geobCount; ++g) {
            ASSERT_EQ(DescribeDifference(ours[g].geob, expected[g].geob), "") << "geob " << g;
        }
    }
}

TEST(OptimizerOracle, ExportedMeshMatchesTheLiteralAlgorithm) {
    TestGeode materials(true);
    OwnedGeob ours;
    OwnedGeob expected;
    FillCornerMesh(ours.geob, 1500, 800, 42);
    CopyGeob(ours.geob, expected.geob);
    int32_t oursCounts[3] = {};
    int32_t literalCounts[3] = {};
    materials.geode.OptimizeGeob(&ours.geob, &oursCounts[0], &oursCounts[1], &oursCounts[2]);
    literal::OptimizeGeob(materials.geode, &expected.geob, &literalCounts[0], &literalCounts[1],
                          &literalCounts[2]);
    EXPECT_GT(literalCounts[0], 0);
    EXPECT_EQ(oursCounts[0], literalCounts[0]);
    EXPECT_EQ(oursCounts[1], literalCounts[1]);
    EXPECT_EQ(oursCounts[2], literalCounts[2]);
    EXPECT_EQ(DescribeDifference(ours.geob, expected.geob), "");
}

TEST(OptimizerOracle, MostlyDistinctVerticesWithNaNsAndSignedZerosMatch) {
    // Enough distinct vertices that the weld's tables must grow while NaN
    // vertices, which never enter the table, are among the classes.
    TestGeode materials(true);
    OwnedGeob source;
    FillCornerMesh(source.geob, 2500, 6000, 9);
    for (int32_t v = 0; v < source.geob.vertexCount; ++v) {
        if (v % 7 == 0) source.geob.normals[v * 3] = std::numeric_limits<float>::quiet_NaN();
        if (v % 5 == 0) source.geob.vertices[v * 3 + 1] = v % 2 ? 0.0f : -0.0f;
    }
    // The same mesh with colours: two of three vertices share one, so seams and welds mix.
    OwnedGeob coloured;
    CopyGeob(source.geob, coloured.geob);
    coloured.geob.colors =
        static_cast<float*>(std::malloc(3 * sizeof(float) * size_t(coloured.geob.vertexCount)));
    coloured.geob.colorCount = coloured.geob.vertexCount;
    for (int32_t v = 0; v < coloured.geob.vertexCount; ++v) {
        const float shade = v % 3 == 0 ? float(v % 4) : (v % 2 ? 0.0f : -0.0f);
        for (int c = 0; c < 3; ++c) coloured.geob.colors[v * 3 + c] = shade;
    }
    for (int pass = 0; pass < 4; ++pass) {
        const bool fullPass = pass % 2 == 1;
        const KvoGeob& input = pass < 2 ? source.geob : coloured.geob;
        SCOPED_TRACE(std::string(fullPass ? "OptimizeGeob" : "WeldVertices") +
                     (pass < 2 ? "" : " with colours"));
        OwnedGeob ours;
        OwnedGeob expected;
        CopyGeob(input, ours.geob);
        CopyGeob(input, expected.geob);
        int32_t oursCounts[3] = {};
        int32_t literalCounts[3] = {};
        if (fullPass) {
            materials.geode.OptimizeGeob(&ours.geob, &oursCounts[0], &oursCounts[1],
                                         &oursCounts[2]);
            literal::OptimizeGeob(materials.geode, &expected.geob, &literalCounts[0],
                                  &literalCounts[1], &literalCounts[2]);
        } else {
            oursCounts[0] = materials.geode.WeldVertices(&ours.geob);
            literalCounts[0] = literal::WeldVertices(&expected.geob);
        }
        EXPECT_GT(literalCounts[0], 0);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(oursCounts[i], literalCounts[i]) << "counter " << i;
        EXPECT_EQ(DescribeDifference(ours.geob, expected.geob), "");
    }
}

}  // namespace
