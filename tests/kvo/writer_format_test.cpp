// The writer's byte layout, pinned with literal byte vectors.
#include <gtest/gtest.h>

#include "kvo/kvo_geode.h"
#include "kvo_test_support.h"

using namespace kvotest;

namespace {

uint32_t U32At(const Bytes& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}

std::string TagAt(const Bytes& b, size_t at) {
    return std::string(reinterpret_cast<const char*>(&b[at]), 4);
}

// Offset of the first material block in a file written by Save.
constexpr size_t kFirstMaterial = 20;

// The sub-chunk tags of the block at `at`, in order, up to its end tag.
std::vector<std::string> ChunkTags(const Bytes& b, size_t at, const std::string& endTag) {
    std::vector<std::string> tags;
    size_t p = at + 8;
    while (TagAt(b, p) != endTag) {
        tags.push_back(TagAt(b, p));
        p += 8 + U32At(b, p + 4);
    }
    return tags;
}

}  // namespace

TEST(WriterFormat, EmptyGeodeIs36Bytes) {
    TempDir dir;
    KvoGeode geode(dir.File("empty.kvo"));
    const Bytes expected = {'K', 'V', 'O', '1', 28, 0, 0, 0, 'M', 'A', 'T', 'S',
                            4,   0,   0,   0,   0,  0, 0, 0, 'G', 'E', 'O', 'B',
                            4,   0,   0,   0,   0,  0, 0, 0, 'E', 'K', 'V', 'O'};
    EXPECT_EQ(SaveToBytes(geode, dir), expected);
}

TEST(WriterFormat, DefaultMaterialBlockIs188Bytes) {
    TempDir dir;
    KvoGeode geode("unused");
    KvoMaterial material;
    geode.SetMaterials(1, &material);
    const Bytes file = SaveToBytes(geode, dir);
    ASSERT_EQ(file.size(), 36u + 188u);

    ByteBuilder b;
    b.Tag("MAT0").U32(180).Tag("MHDR").U32(4).I16(0).I16(0).Tag("MCOL").U32(68);
    for (float f : {0.2f, 0.2f, 0.2f, 0.2f, 0.8f, 0.8f, 0.8f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f,
                    0.0f, 0.0f, 1.0f, 0.0f}) {
        b.F32(f);
    }
    b.Tag("MUVW").U32(28);
    for (float f : {0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f}) b.F32(f);
    b.Tag("MTRA").U32(8).F32(0).I32(0).Tag("MCFL").U32(4).I32(0);
    b.Tag("MTEX").U32(4).I32(0).Tag("MSUB").U32(4).I32(0).Tag("MEND");
    ASSERT_EQ(b.bytes.size(), 188u);
    EXPECT_EQ(Bytes(file.begin() + kFirstMaterial, file.begin() + kFirstMaterial + 188), b.bytes);
    // The float constants as the format stores them.
    EXPECT_EQ(U32At(file, kFirstMaterial + 28), 0x3E4CCCCDu);  // ambient red 0.2
    EXPECT_EQ(U32At(file, kFirstMaterial + 44), 0x3F4CCCCDu);  // diffuse red 0.8
    EXPECT_EQ(U32At(file, kFirstMaterial + 56), 0x3F800000u);  // diffuse alpha 1.0
}

TEST(WriterFormat, StringsAreCountedBytes) {
    TempDir dir;
    KvoGeode geode("unused");
    KvoMaterial material;
    material.name = "abc";
    geode.SetMaterials(1, &material);
    const Bytes file = SaveToBytes(geode, dir);
    // MHDR sits right after the MAT0 header: its body is "abc" and an empty string.
    const size_t mhdr = kFirstMaterial + 8;
    EXPECT_EQ(TagAt(file, mhdr), "MHDR");
    EXPECT_EQ(U32At(file, mhdr + 4), 7u);
    EXPECT_EQ(Bytes(file.begin() + mhdr + 8, file.begin() + mhdr + 15),
              (Bytes{0x03, 0x00, 0x61, 0x62, 0x63, 0x00, 0x00}));
}

TEST(WriterFormat, OverlongStringIsCutTo32767Bytes) {
    TempDir dir;
    KvoGeode geode("unused");
    KvoMaterial material;
    material.name = std::string(40000, 'n');
    geode.SetMaterials(1, &material);
    const Bytes file = SaveToBytes(geode, dir);
    const size_t mhdr = kFirstMaterial + 8;
    EXPECT_EQ(U32At(file, mhdr + 4), 2u + 32767u + 2u);
    EXPECT_EQ(file[mhdr + 8], 0xFF);
    EXPECT_EQ(file[mhdr + 9], 0x7F);

    KvoGeode loaded("unused");
    ASSERT_TRUE(LoadBytes(loaded, file)) << loaded.error;
    EXPECT_EQ(loaded.materials[0]->name, std::string(32767, 'n'));
}

TEST(WriterFormat, GeobChunkPresenceAndOrder) {
    struct Case {
        bool uv, normals, colours;
        std::vector<std::string> tags;
    } cases[] = {
        {false, false, false, {"GHDR", "INDI", "VERT", "BRST"}},
        {true, true, false, {"GHDR", "INDI", "VERT", "TVER", "NORM", "BRST"}},
        {false, true, true, {"GHDR", "INDI", "VERT", "NORM", "VCOL", "BRST"}},
        {true, true, true, {"GHDR", "INDI", "VERT", "TVER", "NORM", "VCOL", "BRST"}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        KvoGeode geode("unused");
        SampleScene scene(0, 1);
        FillGeob(scene.geobs[0], 4, 2, c.uv, c.normals, c.colours, 9);
        scene.AttachTo(geode);
        const Bytes file = SaveToBytes(geode, dir);
        // The geob block follows "GEOB", its length and the count.
        const size_t block = 8 + 12 + 8 + 4;
        ASSERT_EQ(TagAt(file, block), "GOB1");
        EXPECT_EQ(ChunkTags(file, block, "GEND"), c.tags);
    }
}

TEST(WriterFormat, EmptyGeobStillHasIndexAndVertexChunks) {
    TempDir dir;
    KvoGeode geode("unused");
    KvoGeob geob;
    geode.SetGeobs(1, &geob);
    const Bytes file = SaveToBytes(geode, dir);
    ByteBuilder b;
    b.Tag("GOB1").U32(20 + 12 + 12 + 28 + 4).Tag("GHDR").U32(12).I32(0).I32(0).I32(0);
    b.Tag("INDI").U32(4).I32(0).Tag("VERT").U32(4).I32(0);
    b.Tag("BRST").U32(20).I32(1).I32(0).I32(0).I32(0).I32(3).Tag("GEND");
    EXPECT_EQ(Bytes(file.begin() + 32, file.end() - 4), b.bytes);
}

TEST(WriterFormat, ArraysAreMemoryImages) {
    TempDir dir;
    KvoGeode geode("unused");
    SampleScene scene(0, 1);
    KvoGeob& g = scene.geobs[0];
    FillGeob(g, 2, 1, true, false, false, 5);
    g.indices[0] = 0x0102;
    g.burstCount = 2;
    g.burstStart[1] = 11;
    g.burstLength[1] = 12;
    g.burstMaterial[1] = 13;
    g.burstVertsPerPrim[1] = 14;
    scene.AttachTo(geode);
    const Bytes file = SaveToBytes(geode, dir);
    const size_t indi = 32 + 8 + 20;
    EXPECT_EQ(TagAt(file, indi), "INDI");
    EXPECT_EQ(U32At(file, indi + 4), 4u + 6u);
    EXPECT_EQ(U32At(file, indi + 8), 3u);
    EXPECT_EQ(file[indi + 12], 0x02);
    EXPECT_EQ(file[indi + 13], 0x01);
    const size_t vert = indi + 18;
    EXPECT_EQ(TagAt(file, vert), "VERT");
    EXPECT_EQ(U32At(file, vert + 4), 4u + 24u);
    EXPECT_EQ(std::memcmp(&file[vert + 12], g.vertices, 24), 0);
    const size_t tver = vert + 36;
    EXPECT_EQ(TagAt(file, tver), "TVER");
    EXPECT_EQ(U32At(file, tver + 4), 4u + 16u);
    EXPECT_EQ(std::memcmp(&file[tver + 12], g.texCoords, 16), 0);
    // Four separate runs, not interleaved.
    const size_t brst = tver + 28;
    ASSERT_EQ(TagAt(file, brst), "BRST");
    EXPECT_EQ(U32At(file, brst + 4), 4u + 32u);
    const uint32_t runs[] = {2, 0, 11, 6, 12, 0, 13, 3, 14};
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(U32At(file, brst + 8 + 4 * i), runs[i]) << i;
}

// Walks every chunk of a rich file and checks each back-patched length.
TEST(WriterFormat, BackPatchedLengthsMatchChunkExtents) {
    TempDir dir;
    KvoGeode geode("unused");
    auto scene = MakeRichScene();
    scene->AttachTo(geode);
    const Bytes file = SaveToBytes(geode, dir);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(U32At(file, 4), file.size() - 8);

    // The multi-material's MSUB holds two blocks: 4 + their sizes.
    size_t p = kFirstMaterial;
    p += 8 + U32At(file, p + 4);  // skip material 0
    ASSERT_EQ(TagAt(file, p), "MAT0");
    size_t q = p + 8;
    while (TagAt(file, q) != "MSUB") q += 8 + U32At(file, q + 4);
    const size_t sub0 = q + 12;
    const size_t sub1 = sub0 + 8 + U32At(file, sub0 + 4);
    const size_t subsEnd = sub1 + 8 + U32At(file, sub1 + 4);
    EXPECT_EQ(U32At(file, q + 4), subsEnd - (q + 8));
    EXPECT_EQ(TagAt(file, subsEnd), "MEND");
    EXPECT_EQ(U32At(file, p + 4), subsEnd + 4 - (p + 8));

    // Every top-level table length reaches exactly to the next tag.
    const size_t mats = 8;
    const size_t geob = mats + 8 + U32At(file, mats + 4);
    ASSERT_EQ(TagAt(file, geob), "GEOB");
    EXPECT_EQ(geob + 8 + U32At(file, geob + 4), file.size() - 4);
    EXPECT_EQ(TagAt(file, file.size() - 4), "EKVO");
}

TEST(WriterFormat, NullEntriesAreSkippedAndNotCounted) {
    TempDir dir;
    KvoGeode geode("unused");
    KvoMaterial a, b;
    a.name = "a";
    b.name = "b";
    a.textureCount = 3;
    a.textures[1] = new std::string("only.tga");
    KvoGeob g1, g2;
    g2.materialIndex = 1;
    geode.materialCount = 3;
    geode.materials[0] = &a;
    geode.materials[2] = &b;
    geode.geobCount = 3;
    geode.geobs[1] = &g1;
    geode.geobs[2] = &g2;
    const Bytes file = SaveToBytes(geode, dir);
    ASSERT_FALSE(file.empty()) << geode.error;

    KvoGeode loaded("unused");
    ASSERT_TRUE(LoadBytes(loaded, file)) << loaded.error;
    ASSERT_EQ(loaded.materialCount, 2);
    EXPECT_EQ(loaded.materials[0]->name, "a");
    EXPECT_EQ(loaded.materials[1]->name, "b");
    ASSERT_EQ(loaded.materials[0]->textureCount, 1);
    EXPECT_EQ(*loaded.materials[0]->textures[0], "only.tga");
    ASSERT_EQ(loaded.geobCount, 2);
    EXPECT_EQ(loaded.geobs[1]->materialIndex, 1);
}
