// A counts-only load keeps the tables and counts of a full load and no array,
// and refuses exactly the files a full load refuses; a buffer handed over is
// loaded without a copy.
#include <gtest/gtest.h>

#include <memory>

#include "kvo/kvo_geode.h"
#include "kvo_test_support.h"

using namespace kvotest;

namespace {

Bytes SampleFile(const TempDir& dir) {
    SampleScene scene(2, 3);
    FillGeob(scene.geobs[0], 40, 30, true, true, false, 1);
    FillGeob(scene.geobs[1], 9, 4, true, false, true, 2);
    FillGeob(scene.geobs[2], 3, 1, false, false, false, 3);
    scene.geobs[1].materialIndex = 1;
    KvoGeode writer("unused");
    scene.AttachTo(writer);
    return SaveToBytes(writer, dir);
}

bool Load(const Bytes& file, bool countsOnly, KvoGeode& geode) {
    geode.countsOnly = countsOnly;
    return geode.LoadFromMemory(file.data(), file.size());
}

}  // namespace

TEST(ReaderCountsOnly, SameTablesAndCountsWithoutArrays) {
    TempDir dir;
    const Bytes file = SampleFile(dir);
    KvoGeode full("unused"), counts("unused");
    ASSERT_TRUE(Load(file, false, full)) << full.error;
    ASSERT_TRUE(Load(file, true, counts)) << counts.error;
    ASSERT_EQ(counts.materialCount, full.materialCount);
    ASSERT_EQ(counts.geobCount, 3);
    ASSERT_EQ(counts.geobCount, full.geobCount);
    for (int i = 0; i < full.geobCount; ++i) {
        SCOPED_TRACE(i);
        const KvoGeob& a = *full.geobs[i];
        const KvoGeob& b = *counts.geobs[i];
        EXPECT_EQ(b.materialIndex, a.materialIndex);
        EXPECT_EQ(b.indexCount, a.indexCount);
        EXPECT_EQ(b.vertexCount, a.vertexCount);
        EXPECT_EQ(b.normalCount, a.normalCount);
        EXPECT_EQ(b.colorCount, a.colorCount);
        EXPECT_EQ(b.texCoordCount, a.texCoordCount);
        EXPECT_EQ(b.burstCount, a.burstCount);
        EXPECT_EQ(b.burstLength[0], a.burstLength[0]);
        EXPECT_NE(a.vertices, nullptr);
        EXPECT_EQ(b.indices, nullptr);
        EXPECT_EQ(b.vertices, nullptr);
        EXPECT_EQ(b.normals, nullptr);
        EXPECT_EQ(b.colors, nullptr);
        EXPECT_EQ(b.texCoords, nullptr);
    }
}

// Every cut of the file, and a corrupted array length at every position of
// the geob table, is accepted or refused alike, with the same cause.
TEST(ReaderCountsOnly, RefusesWhatAFullLoadRefuses) {
    TempDir dir;
    const Bytes file = SampleFile(dir);
    std::vector<Bytes> variants;
    for (size_t cut = 0; cut < file.size(); ++cut)
        variants.emplace_back(file.begin(), file.begin() + cut);
    for (size_t at = 0; at + 4 <= file.size(); at += 4) {
        Bytes corrupted = file;
        corrupted[at + 3] ^= 0x40;  // a count or length grows by 2^30
        variants.push_back(corrupted);
    }
    int refused = 0;
    for (size_t v = 0; v < variants.size(); ++v) {
        KvoGeode full("unused"), counts("unused");
        const bool fullLoaded = Load(variants[v], false, full);
        EXPECT_EQ(Load(variants[v], true, counts), fullLoaded) << "variant " << v;
        EXPECT_EQ(counts.error, full.error) << "variant " << v;
        EXPECT_EQ(counts.geobCount, full.geobCount) << "variant " << v;
        refused += fullLoaded ? 0 : 1;
    }
    EXPECT_GT(refused, static_cast<int>(file.size()) / 2);
}

TEST(ReaderCountsOnly, AHandedOverBufferIsLoadedInPlace) {
    TempDir dir;
    const Bytes file = SampleFile(dir);
    std::unique_ptr<uint8_t[]> data(new uint8_t[file.size()]);
    std::copy(file.begin(), file.end(), data.get());
    const uint8_t* raw = data.get();
    KvoGeode geode("unused");
    ASSERT_TRUE(geode.LoadFromBuffer(std::move(data), file.size())) << geode.error;
    EXPECT_EQ(geode.buffer, raw);
    EXPECT_EQ(geode.geobCount, 3);
    // An empty buffer is a file without a header, and no buffer for announced
    // bytes (a failed allocation) is refused before anything is read.
    for (size_t size : {size_t{0}, file.size()}) {
        KvoGeode none("unused");
        EXPECT_FALSE(none.LoadFromBuffer(nullptr, size)) << size;
        EXPECT_FALSE(none.error.empty()) << size;
        EXPECT_EQ(none.geobCount, 0) << size;
    }
}
