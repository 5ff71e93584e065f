// What a load may allocate is bounded by the file's size: a small file of
// many bare nested blocks is refused with the cause, and every file the
// writer makes stays inside the bound.
#include <gtest/gtest.h>

#include <cstdio>

#include "kvo/kvo_geode.h"
#include "kvo_test_support.h"

using namespace kvotest;

namespace {

// A material block with nothing but `subs` sub-material blocks (no MHDR,
// MCOL...): 12 bytes of file for a whole record when `subs` is empty.
Bytes BareMaterial(const std::vector<Bytes>& subs) {
    ByteBuilder b;
    b.Open("MAT0");
    if (!subs.empty()) {
        b.Open("MSUB").I32(static_cast<int32_t>(subs.size()));
        for (const Bytes& sub : subs) b.Append(sub);
        b.Close();
    }
    b.Tag("MEND").Close();
    return b.bytes;
}

// `top` materials, each with `fanOut` sub-materials of `fanOut` sub-materials.
Bytes NestedEmptyFile(int top, int fanOut) {
    const Bytes leaf = BareMaterial({});
    const Bytes middle = BareMaterial(std::vector<Bytes>(fanOut, leaf));
    const Bytes upper = BareMaterial(std::vector<Bytes>(fanOut, middle));
    return FileWith(std::vector<Bytes>(top, upper), {});
}

uint64_t LimitFor(size_t fileSize) {
    return KvoGeode::kLoadFixedBytes + KvoGeode::kLoadBytesPerFileByte * fileSize;
}

}  // namespace

TEST(ReaderMemory, NestedEmptySubMaterialsBeyondTheBoundAreRefused) {
    struct Case {
        int top;
        int fanOut;
        bool accepted;
    } cases[] = {
        {1, 10, true},     // 111 records of ~1 KB each from a 1.3 KB file
        {1, 25, true},     // 651 records, ~0.7 MB, from 8 KB
        {10, 100, false},  // 101,010 records, ~108 MB, from 1.2 MB
        {25, 100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.top) + " x " + std::to_string(c.fanOut));
        const Bytes file = NestedEmptyFile(c.top, c.fanOut);
        KvoGeode geode("unused");
        const bool loaded = geode.LoadFromMemory(file.data(), file.size());
        EXPECT_EQ(loaded, c.accepted) << geode.error;
        if (loaded) {
            EXPECT_EQ(geode.materialCount, c.top);
            EXPECT_EQ(geode.materials[0]->subMaterials[0]->subMaterialCount, c.fanOut);
            continue;
        }
        SCOPED_TRACE(geode.error);
        EXPECT_FALSE(geode.loaded);
        EXPECT_EQ(geode.materialCount, 0);
        EXPECT_EQ(geode.materials[0], nullptr);
        unsigned long offset = 0;
        unsigned long long limit = 0;
        ASSERT_EQ(std::sscanf(geode.error.c_str(),
                              "out of the memory allowed for this file at offset %lu: its "
                              "records would take more than %llu bytes (8 per file byte + 1 MiB)",
                              &offset, &limit),
                  2);
        EXPECT_EQ(limit, LimitFor(file.size()));
        // The load stops where the bound is reached, not at the end of the file.
        EXPECT_LT(offset, file.size());
    }
}

// The writer's densest records: default materials with ten empty texture
// names, a hundred sub-materials each, and a full table of empty geobs.
TEST(ReaderMemory, WriterFilesStayWithinTheRatio) {
    TempDir dir;
    SampleScene scene(50, KvoGeode::kMaxGeobs);
    for (KvoMaterial& material : scene.materials) {
        material.subMaterialCount = KvoMaterial::kMaxSubMaterials;
        for (KvoMaterial*& sub : material.subMaterials) {
            sub = new KvoMaterial();
            sub->textureCount = KvoMaterial::kMaxTextures;
            for (std::string*& texture : sub->textures) texture = new std::string();
        }
    }
    KvoGeode writer("unused");
    scene.AttachTo(writer);
    const Bytes file = SaveToBytes(writer, dir);

    KvoGeode geode("unused");
    ASSERT_TRUE(geode.LoadFromMemory(file.data(), file.size())) << geode.error;
    EXPECT_EQ(geode.materialCount, 50);
    EXPECT_EQ(geode.geobCount, KvoGeode::kMaxGeobs);
    // What the records took fits the per-byte ratio alone, without the fixed allowance.
    const uint64_t used = LimitFor(file.size()) - geode.loadBytesLeft;
    EXPECT_GT(used, 50u * 101u * sizeof(KvoMaterial));
    EXPECT_LE(used, KvoGeode::kLoadBytesPerFileByte * file.size());
}
