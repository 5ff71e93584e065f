// The one checker behind the writer, the optimiser and `kvo validate`, at
// each of its strictness levels, and the warnings about non-finite values.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "kvo/kvo_invariants.h"
#include "kvo/kvo_warnings.h"
#include "kvo_test_support.h"

using namespace kvotest;

namespace {

// The first cause at `strictness`, or "" when the geode passes.
std::string FirstCause(const KvoGeode& geode, KvoStrictness strictness) {
    const std::vector<std::string> causes = CheckGeode(geode, strictness);
    return causes.empty() ? "" : causes.front();
}

}  // namespace

TEST(Invariants, EachLevelReportsWhatItChecks) {
    struct Case {
        const char* name;
        std::function<void(SampleScene&)> spoil;
        // Expected first cause at kWrite, kOptimize and kFile ("" accepted).
        const char* write;
        const char* optimize;
        const char* file;
    } cases[] = {
        {"sound", [](SampleScene&) {}, "", "", ""},
        {"index at the vertex count", [](SampleScene& s) { s.geobs[1].indices[4] = 12; }, "",
         "geob 1: index 12 at position 4 is not below the vertex count 12",
         "geob 1: index 12 at position 4 is not below the vertex count 12"},
        {"short normals", [](SampleScene& s) { s.geobs[0].normalCount = 39; }, "",
         "geob 0: normal count 39 is below the vertex count 40",
         "geob 0: normal count 39 is below the vertex count 40"},
        {"short colours", [](SampleScene& s) { s.geobs[2].colorCount = 0; }, "",
         "geob 2: colour count 0 is below the vertex count 9",
         "geob 2: colour count 0 is below the vertex count 9"},
        {"negative texture coordinates", [](SampleScene& s) { s.geobs[0].texCoordCount = -1; },
         "geob 0: texture coordinate count -1 is negative",
         "geob 0: texture coordinate count -1 is negative",
         "geob 0: texture coordinate count -1 is negative"},
        {"no bursts", [](SampleScene& s) { s.geobs[3].burstCount = 0; }, "",
         "geob 3: burst count 0 outside 1..100", "geob 3: burst count 0 outside 1..100"},
        {"too many bursts", [](SampleScene& s) { s.geobs[3].burstCount = 101; },
         "geob 3: burst count 101 outside 0..100", "geob 3: burst count 101 outside 1..100",
         "geob 3: burst count 101 outside 1..100"},
        {"negative burst material", [](SampleScene& s) { s.geobs[2].burstMaterial[2] = -1; }, "",
         "geob 2: burst 2 has the negative material number -1",
         "geob 2: burst 2 has the negative material number -1"},
        {"material beyond the table", [](SampleScene& s) { s.geobs[4].materialIndex = 3; }, "", "",
         "geob 4: material index 3 outside the material table of 3"},
        {"negative material", [](SampleScene& s) { s.geobs[0].materialIndex = -1; }, "", "",
         "geob 0: material index -1 outside the material table of 3"},
        {"too many textures", [](SampleScene& s) { s.materials[2].textureCount = 11; },
         "material 2: texture count 11 outside 0..10", "material 2: texture count 11 outside 0..10",
         "material 2: texture count 11 outside 0..10"},
        {"sub-material count",
         [](SampleScene& s) { s.materials[1].subMaterials[1]->subMaterialCount = -1; },
         "material 1 sub-material 1: sub-material count -1 outside 0..100",
         "material 1 sub-material 1: sub-material count -1 outside 0..100",
         "material 1 sub-material 1: sub-material count -1 outside 0..100"},
        {"indices without an array", [](SampleScene& s) { s.geobs[4].indexCount = 3; },
         "geob 4: index count 3 without an array", "geob 4: index count 3 without an array",
         "geob 4: index count 3 without an array"},
        {"negative vertex count", [](SampleScene& s) { s.geobs[1].vertexCount = -2; },
         "geob 1: vertex count -2 is negative", "geob 1: vertex count -2 is negative",
         "geob 1: vertex count -2 is negative"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto scene = MakeRichScene();
        const int32_t vertexCount = scene->geobs[1].vertexCount;
        c.spoil(*scene);
        KvoGeode geode("unused");
        scene->AttachTo(geode);
        EXPECT_EQ(FirstCause(geode, KvoStrictness::kWrite), c.write);
        EXPECT_EQ(FirstCause(geode, KvoStrictness::kOptimize), c.optimize);
        EXPECT_EQ(FirstCause(geode, KvoStrictness::kFile), c.file);
        // Each case breaks one invariant, so one cause is reported.
        EXPECT_LE(CheckGeode(geode, KvoStrictness::kFile).size(), 1u);
        scene->materials[2].textureCount = 0;
        scene->materials[1].subMaterials[1]->subMaterialCount = 1;
        scene->geobs[4].indexCount = 0;
        scene->geobs[1].vertexCount = vertexCount;
    }
}

TEST(Invariants, TableCountsAreCheckedFirst) {
    KvoGeode geode("unused");
    geode.materialCount = 251;
    geode.geobCount = -1;
    EXPECT_EQ(CheckGeode(geode, KvoStrictness::kWrite),
              (std::vector<std::string>{"material count 251 outside 0..250",
                                        "geob count -1 outside 0..200"}));
    geode.materialCount = 0;
    geode.geobCount = 0;
}

TEST(Invariants, NullGeobsFromOldBlocksAreAccepted) {
    KvoMaterial material;
    KvoGeode geode("unused");
    geode.SetMaterials(1, &material);
    geode.geobCount = 1;  // entry 0 stays null, as after a skipped GOB0 block
    EXPECT_TRUE(CheckGeode(geode, KvoStrictness::kFile).empty());
}

TEST(Warnings, NonFinitePositionsAndNormalsAreCounted) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    auto scene = MakeRichScene();
    KvoGeode geode("unused");
    scene->AttachTo(geode);
    EXPECT_TRUE(GeodeWarnings(geode).empty());

    scene->geobs[0].vertices[3 * 5 + 1] = nan;
    scene->geobs[0].vertices[3 * 9 + 2] = -inf;
    scene->geobs[3].normals[3 * 7] = inf;
    scene->geobs[2].colors[0] = nan;  // colours are not checked
    EXPECT_EQ(GeodeWarnings(geode),
              (std::vector<std::string>{
                  "geob 0: 2 vertices with a non-finite position, the first is vertex 5",
                  "geob 3: 1 vertex with a non-finite normal, the first is vertex 7"}));
}
