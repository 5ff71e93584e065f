// Load-save identity: a saved geode loads back field for field, and saving
// the loaded geode reproduces the same bytes.
#include <gtest/gtest.h>

#include <functional>

#include "kvo/kvo_geode.h"
#include "kvo_test_support.h"

using namespace kvotest;

TEST(RoundTrip, VariedGeodesSurviveSaveAndLoad) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<SampleScene>()> make;
    } cases[] = {
        {"empty", [] { return std::make_unique<SampleScene>(0, 0); }},
        {"rich", [] { return MakeRichScene(); }},
        {"materials only",
         [] {
             auto s = std::make_unique<SampleScene>(4, 0);
             for (size_t i = 0; i < 4; ++i) s->materials[i].name = "m" + std::to_string(i);
             return s;
         }},
        {"full tables",
         [] {
             auto s = std::make_unique<SampleScene>(KvoGeode::kMaxMaterials, KvoGeode::kMaxGeobs);
             for (size_t i = 0; i < s->geobs.size(); ++i) {
                 FillGeob(s->geobs[i], 3, 1, i % 2 == 0, i % 3 == 0, i % 5 == 0,
                          static_cast<uint32_t>(i));
                 s->geobs[i].materialIndex = static_cast<int32_t>(i);
             }
             return s;
         }},
        {"largest geob",
         [] {
             auto s = std::make_unique<SampleScene>(1, 1);
             FillGeob(s->geobs[0], 65535, 21845, true, true, true, 77);
             s->geobs[0].burstCount = KvoGeob::kMaxBursts;
             for (int b = 0; b < KvoGeob::kMaxBursts; ++b) {
                 s->geobs[0].burstStart[b] = b;
                 s->geobs[0].burstLength[b] = -b;
                 s->geobs[0].burstMaterial[b] = 2 * b;
                 s->geobs[0].burstVertsPerPrim[b] = 3;
             }
             return s;
         }},
        {"every texture slot",
         [] {
             auto s = std::make_unique<SampleScene>(1, 0);
             s->materials[0].textureCount = KvoMaterial::kMaxTextures;
             for (int i = 0; i < KvoMaterial::kMaxTextures; ++i) {
                 s->materials[0].textures[i] =
                     new std::string(i == 3 ? "" : "tex" + std::to_string(i));
             }
             return s;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        auto scene = c.make();
        KvoGeode original("unused");
        scene->AttachTo(original);
        const Bytes first = SaveToBytes(original, dir, "first.kvo");
        ASSERT_FALSE(first.empty()) << original.error;

        KvoGeode loaded(dir.File("first.kvo"));
        ASSERT_TRUE(loaded.Load()) << loaded.error;
        ExpectSameGeode(original, loaded);
        EXPECT_EQ(SaveToBytes(loaded, dir, "second.kvo"), first);
    }
}

TEST(RoundTrip, SavingOverTheLoadedFileKeepsItsContent) {
    TempDir dir;
    auto scene = MakeRichScene();
    KvoGeode original("unused");
    scene->AttachTo(original);
    const Bytes first = SaveToBytes(original, dir, "same.kvo");
    KvoGeode loaded(dir.File("same.kvo"));
    ASSERT_TRUE(loaded.Load());
    ASSERT_TRUE(loaded.Save(loaded.GetPath())) << loaded.error;
    EXPECT_EQ(ReadAll(dir.File("same.kvo")), first);
}
