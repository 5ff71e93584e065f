// The invariant checks behind `kvo validate` and `kvo optimize`.
#include <gtest/gtest.h>

#include <functional>

#include "kvo/kvo_validate.h"
#include "kvo_test_support.h"

using namespace kvotest;

TEST(Validate, EachBrokenInvariantIsReported) {
    struct Case {
        const char* name;
        std::function<void(SampleScene&)> spoil;
        const char* problem;  // empty: the geode is valid
    } cases[] = {
        {"sound", [](SampleScene&) {}, ""},
        {"index at the vertex count", [](SampleScene& s) { s.geobs[1].indices[4] = 12; },
         "geob 1: index 12 at position 4 is not below the vertex count 12"},
        {"short normals", [](SampleScene& s) { s.geobs[0].normalCount = 39; },
         "geob 0: normal count 39 is below the vertex count 40"},
        {"short colours", [](SampleScene& s) { s.geobs[2].colorCount = 0; },
         "geob 2: colour count 0 is below the vertex count 9"},
        {"short texture coordinates", [](SampleScene& s) { s.geobs[0].texCoordCount = 1; },
         "geob 0: texture coordinate count 1"},
        {"no bursts", [](SampleScene& s) { s.geobs[3].burstCount = 0; },
         "geob 3: burst count 0 outside 1..100"},
        {"negative burst material", [](SampleScene& s) { s.geobs[2].burstMaterial[2] = -1; },
         "geob 2: burst 2 has the negative material number -1"},
        {"material beyond the table", [](SampleScene& s) { s.geobs[4].materialIndex = 3; },
         "geob 4: material index 3 outside the material table of 3"},
        {"negative material", [](SampleScene& s) { s.geobs[0].materialIndex = -1; },
         "geob 0: material index -1"},
        {"too many textures", [](SampleScene& s) { s.materials[2].textureCount = 11; },
         "material 2: texture count 11 outside 0..10"},
        {"indices without an array", [](SampleScene& s) { s.geobs[4].indexCount = 3; },
         "geob 4: index or vertex count does not match its array"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto scene = MakeRichScene();
        c.spoil(*scene);
        KvoGeode geode("unused");
        scene->AttachTo(geode);
        const std::vector<std::string> problems = ValidateGeode(geode);
        if (std::string(c.problem).empty()) {
            EXPECT_TRUE(problems.empty()) << problems[0];
        } else {
            ASSERT_EQ(problems.size(), 1u);
            EXPECT_EQ(problems[0].rfind(c.problem, 0), 0u) << problems[0];
        }
        scene->materials[2].textureCount = 0;
        scene->geobs[4].indexCount = 0;
    }
}

TEST(Validate, NullGeobsFromOldBlocksAreAccepted) {
    KvoMaterial material;
    KvoGeode geode("unused");
    geode.SetMaterials(1, &material);
    geode.geobCount = 1;  // entry 0 stays null, as after a skipped GOB0 block
    EXPECT_TRUE(ValidateGeode(geode).empty());
}
