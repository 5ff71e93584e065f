// The tolerant reader: chunk order, unknown chunks, end tags, strings,
// missing chunks and the GOB0 block.
#include <gtest/gtest.h>

#include "kvo/kvo_geode.h"
#include "kvo_test_support.h"

using namespace kvotest;

namespace {

// A geob block with the given sub-chunks, each a complete chunk.
Bytes GeobBlock(const std::vector<Bytes>& chunks, const char* tag = "GOB1") {
    ByteBuilder b;
    b.Open(tag);
    for (const Bytes& c : chunks) b.Append(c);
    b.Tag("GEND").Close();
    return b.bytes;
}

Bytes Chunk(const char* tag, const Bytes& body) {
    return ByteBuilder().Tag(tag).U32(static_cast<uint32_t>(body.size())).Append(body).bytes;
}

Bytes Header(int32_t w0, int32_t w1, int32_t material) {
    return Chunk("GHDR", ByteBuilder().I32(w0).I32(w1).I32(material).bytes);
}

Bytes Indices(std::vector<uint16_t> v) {
    ByteBuilder b;
    b.I32(static_cast<int32_t>(v.size())).Raw(v.data(), 2 * v.size());
    return Chunk("INDI", b.bytes);
}

Bytes Floats(const char* tag, int32_t count, std::vector<float> v) {
    ByteBuilder b;
    b.I32(count).Raw(v.data(), 4 * v.size());
    return Chunk(tag, b.bytes);
}

Bytes OneTriangle() {
    return GeobBlock(
        {Header(1, 2, 0), Indices({0, 1, 2}), Floats("VERT", 3, {0, 0, 0, 1, 0, 0, 0, 1, 0})});
}

}  // namespace

TEST(Reader, EmptyGeodeLoads) {
    KvoGeode geode("unused");
    ASSERT_TRUE(LoadBytes(geode, FileWith({}, {}))) << geode.error;
    EXPECT_TRUE(geode.loaded);
    EXPECT_EQ(geode.materialCount, 0);
    EXPECT_EQ(geode.geobCount, 0);
}

TEST(Reader, LoadsFromItsPathAndReportsAMissingFile) {
    TempDir dir;
    WriteAll(dir.File("one.kvo"), FileWith({MaterialBlock("m")}, {OneTriangle()}));
    KvoGeode geode(dir.File("one.kvo"));
    ASSERT_TRUE(geode.Load()) << geode.error;
    EXPECT_EQ(geode.materials[0]->name, "m");
    EXPECT_EQ(geode.geobs[0]->indexCount, 3);

    KvoGeode missing(dir.File("missing.kvo"));
    EXPECT_FALSE(missing.Load());
    EXPECT_EQ(missing.error, "Could not open file");
    EXPECT_FALSE(missing.readAttempted);
}

TEST(Reader, WrongMagicLoadsNothing) {
    Bytes file = FileWith({MaterialBlock("m")}, {});
    file[3] = '2';
    KvoGeode geode("unused");
    EXPECT_FALSE(LoadBytes(geode, file));
    EXPECT_FALSE(geode.loaded);
    EXPECT_EQ(geode.materialCount, 0);
    EXPECT_NE(geode.error.find("KVO2"), std::string::npos) << geode.error;
}

TEST(Reader, ZeroTagEndsTheChunkList) {
    Bytes file = FileWith({MaterialBlock("m")}, {OneTriangle()});
    std::memset(&file[file.size() - 4], 0, 4);
    file.insert(file.end(), {'j', 'u', 'n', 'k'});  // never read
    KvoGeode geode("unused");
    ASSERT_TRUE(LoadBytes(geode, file)) << geode.error;
    EXPECT_EQ(geode.materialCount, 1);
    EXPECT_EQ(geode.geobCount, 1);
}

TEST(Reader, UnknownChunksAreSkippedAndDroppedOnSave) {
    const Bytes junk = Chunk("ZZZZ", Bytes(13, 0xAB));
    Bytes material = MaterialBlock("m");
    material.insert(material.begin() + 8, junk.begin(), junk.end());
    ByteBuilder b;
    b.Open("KVO1").Append(junk).Open("MATS").I32(1).Append(material).Close();
    b.Open("GEOB").I32(1);
    b.Append(GeobBlock({Header(1, 2, 0), junk, Indices({0, 1, 2}),
                        Floats("VERT", 3, {0, 0, 0, 1, 0, 0, 0, 1, 0})}));
    b.Close().Append(junk).Tag("EKVO").Close();
    // The same content without the unknown chunks.
    TempDir dir;
    KvoGeode withJunk("unused"), plain("unused");
    ASSERT_TRUE(LoadBytes(withJunk, b.bytes)) << withJunk.error;
    ASSERT_TRUE(LoadBytes(plain, FileWith({MaterialBlock("m")}, {OneTriangle()})));
    ExpectSameGeode(withJunk, plain);
    EXPECT_EQ(SaveToBytes(withJunk, dir, "a.kvo"), SaveToBytes(plain, dir, "b.kvo"));
}

TEST(Reader, ChunksInAnyOrderLoadTheSameValues) {
    // Reverse the sub-chunks of every material and geob block, and put GEOB before MATS.
    ByteBuilder b;
    b.Open("KVO1").Open("GEOB").I32(2);
    b.Append(GeobBlock({Floats("VERT", 3, {0, 0, 0, 1, 0, 0, 0, 1, 0}), Indices({0, 1, 2}),
                        Chunk("BRST", ByteBuilder().I32(1).I32(0).I32(9).I32(0).I32(3).bytes),
                        Floats("NORM", 3, {0, 1, 0, 0, 1, 0, 0, 1, 0}), Header(1, 2, 0)}));
    b.Append(OneTriangle()).Close();
    b.Open("MATS").I32(1).Open("MAT0").Tag("MCFL").U32(4).I32(7);
    b.Tag("MTRA").U32(8).F32(0.25f).I32(2).Tag("MUVW").U32(28);
    for (int i = 0; i < 7; ++i) b.F32(0.5f * static_cast<float>(i));
    b.Tag("MCOL").U32(68);
    for (int i = 0; i < 17; ++i) b.F32(static_cast<float>(i));
    b.Open("MSUB").I32(0).Close().Open("MTEX").I32(1).Str("t.tga").Close();
    b.Open("MHDR").Str("m").Str("").Close().Tag("MEND").Close().Close().Tag("EKVO").Close();

    KvoGeode reordered("unused"), written("unused");
    ASSERT_TRUE(LoadBytes(reordered, b.bytes)) << reordered.error;
    ASSERT_TRUE(LoadBytes(
        written,
        FileWith(
            {MaterialBlock("m", {"t.tga"})},
            {GeobBlock({Header(1, 2, 0), Indices({0, 1, 2}),
                        Floats("VERT", 3, {0, 0, 0, 1, 0, 0, 0, 1, 0}),
                        Floats("NORM", 3, {0, 1, 0, 0, 1, 0, 0, 1, 0}),
                        Chunk("BRST", ByteBuilder().I32(1).I32(0).I32(9).I32(0).I32(3).bytes)}),
             OneTriangle()})));
    ExpectSameGeode(reordered, written);
    // Saving writes the writer's order.
    TempDir dir;
    EXPECT_EQ(SaveToBytes(reordered, dir, "a.kvo"), SaveToBytes(written, dir, "b.kvo"));
}

TEST(Reader, RepeatedChunksKeepTheLaterValues) {
    ByteBuilder m;
    m.Open("MAT0").Open("MTEX").I32(2).Str("a").Str("b").Close();
    m.Open("MTEX").I32(1).Str("c").Close();
    m.Open("MSUB").I32(1).Append(MaterialBlock("s1")).Close();
    m.Open("MSUB").I32(1).Append(MaterialBlock("s2")).Close().Tag("MEND").Close();
    const Bytes geob = GeobBlock(
        {Indices({0, 1, 2, 2}), Indices({1}), Floats("NORM", 1, {1, 2, 3}), Floats("NORM", 0, {})});
    // MATS twice: the second table replaces the first.
    ByteBuilder b;
    b.Open("KVO1").Open("MATS").I32(2).Append(MaterialBlock("x")).Append(MaterialBlock("y"));
    b.Close().Open("MATS").I32(1).Append(m.bytes).Close();
    b.Open("GEOB").I32(1).Append(geob).Close().Tag("EKVO").Close();
    KvoGeode geode("unused");
    ASSERT_TRUE(LoadBytes(geode, b.bytes)) << geode.error;
    ASSERT_EQ(geode.materialCount, 1);
    const KvoMaterial& material = *geode.materials[0];
    ASSERT_EQ(material.textureCount, 1);
    EXPECT_EQ(*material.textures[0], "c");
    EXPECT_EQ(material.textures[1], nullptr);
    ASSERT_EQ(material.subMaterialCount, 1);
    EXPECT_EQ(material.subMaterials[0]->name, "s2");
    EXPECT_EQ(geode.materials[1], nullptr);
    ASSERT_EQ(geode.geobs[0]->indexCount, 1);
    EXPECT_EQ(geode.geobs[0]->indices[0], 1);
    EXPECT_EQ(geode.geobs[0]->normals, nullptr);
}

TEST(Reader, StringsStopAtTheirFirstZeroByte) {
    ByteBuilder m;
    m.Open("MAT0").Tag("MHDR").U32(9).I16(5).Raw("ab\0cd", 5).I16(0);
    m.Tag("MCFL").U32(4).I32(42).Tag("MEND").Close();
    KvoGeode geode("unused");
    ASSERT_TRUE(LoadBytes(geode, FileWith({m.bytes}, {}))) << geode.error;
    EXPECT_EQ(geode.materials[0]->name, "ab");
    EXPECT_EQ(geode.materials[0]->secondaryName, "");
    EXPECT_EQ(geode.materials[0]->flags, 42);  // the cursor moved past all five bytes
}

TEST(Reader, ReadStringResults) {
    KvoGeode geode("unused");
    const Bytes bytes = ByteBuilder().I16(3).Raw("abc", 3).I16(0).I16(4).Raw("xy", 2).bytes;
    EXPECT_FALSE(geode.LoadFromMemory(bytes.data(), bytes.size()));  // keeps the buffer
    geode.error.clear();
    size_t cursor = 0;
    std::string text = "old";
    EXPECT_EQ(geode.ReadString(cursor, text), 3);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(geode.ReadString(cursor, text), -1);  // the empty string
    EXPECT_EQ(text, "");
    EXPECT_TRUE(geode.error.empty());
    EXPECT_EQ(cursor, 7u);
    EXPECT_EQ(geode.ReadString(cursor, text), -1);  // 4 bytes announced, 2 present
    EXPECT_FALSE(geode.error.empty());
}

TEST(Reader, ZeroCountStreamsStayAbsentAndAreNotSaved) {
    const Bytes geob =
        GeobBlock({Indices({0, 0, 0}), Floats("VERT", 1, {1, 2, 3}), Floats("NORM", 0, {}),
                   Floats("VCOL", 0, {}), Floats("TVER", 0, {})});
    KvoGeode geode("unused");
    ASSERT_TRUE(LoadBytes(geode, FileWith({}, {geob}))) << geode.error;
    const KvoGeob& g = *geode.geobs[0];
    EXPECT_EQ(g.normals, nullptr);
    EXPECT_EQ(g.colors, nullptr);
    EXPECT_EQ(g.texCoords, nullptr);
    TempDir dir;
    const Bytes saved = SaveToBytes(geode, dir);
    const size_t block = 32;
    EXPECT_EQ(saved.size(), block + 8 + 20 + 18 + 24 + 28 + 4 + 4);
}

TEST(Reader, MissingChunksKeepTheDefaults) {
    ByteBuilder m;
    m.Open("MAT0").Tag("MEND").Close();
    KvoGeode geode("unused");
    ASSERT_TRUE(LoadBytes(geode, FileWith({m.bytes}, {GeobBlock({})}))) << geode.error;
    const KvoMaterial defaults;
    ExpectSameMaterial(*geode.materials[0], defaults);
    const KvoGeob& g = *geode.geobs[0];
    EXPECT_EQ(g.indices, nullptr);
    EXPECT_EQ(g.vertices, nullptr);
    EXPECT_EQ(g.indexCount, 0);
    EXPECT_EQ(g.burstCount, 1);
    EXPECT_EQ(g.burstVertsPerPrim[0], 3);
}

TEST(Reader, SubMaterialsStayWithTheirParent) {
    const Bytes parent = MaterialBlock(
        "parent", {}, {MaterialBlock("s0"), MaterialBlock("s1", {}, {MaterialBlock("ss")})});
    KvoGeode geode("unused");
    ASSERT_TRUE(LoadBytes(geode, FileWith({parent, MaterialBlock("second")}, {}))) << geode.error;
    ASSERT_EQ(geode.materialCount, 2);
    EXPECT_EQ(geode.materials[1]->name, "second");
    const KvoMaterial& p = *geode.materials[0];
    ASSERT_EQ(p.subMaterialCount, 2);
    EXPECT_EQ(p.subMaterials[1]->name, "s1");
    ASSERT_EQ(p.subMaterials[1]->subMaterialCount, 1);
    EXPECT_EQ(p.subMaterials[1]->subMaterials[0]->name, "ss");
    EXPECT_EQ(geode.materials[2], nullptr);
}

TEST(Reader, Gob0BlockIsSkippedByItsLength) {
    // A GOB0 block whose body would parse as garbage if it were read.
    const Bytes old = GeobBlock({Indices({9, 9, 9}), Chunk("GEND", {})}, "GOB0");
    KvoGeode geode("unused");
    ASSERT_TRUE(LoadBytes(geode, FileWith({}, {OneTriangle(), old, OneTriangle()}))) << geode.error;
    ASSERT_EQ(geode.geobCount, 3);
    EXPECT_NE(geode.geobs[0], nullptr);
    EXPECT_EQ(geode.geobs[1], nullptr);
    ASSERT_NE(geode.geobs[2], nullptr);
    EXPECT_EQ(geode.geobs[2]->indexCount, 3);
    EXPECT_EQ(geode.geobs[2]->headerWord1, 2);

    TempDir dir;
    KvoGeode resaved("unused");
    ASSERT_TRUE(LoadBytes(resaved, SaveToBytes(geode, dir)));
    EXPECT_EQ(resaved.geobCount, 2);
}

TEST(Reader, ALoadReplacesAnEarlierOne) {
    KvoGeode geode("unused");
    ASSERT_TRUE(
        LoadBytes(geode, FileWith({MaterialBlock("a"), MaterialBlock("b")}, {OneTriangle()})));
    ASSERT_TRUE(LoadBytes(geode, FileWith({MaterialBlock("c")}, {})));
    EXPECT_EQ(geode.materialCount, 1);
    EXPECT_EQ(geode.materials[0]->name, "c");
    EXPECT_EQ(geode.materials[1], nullptr);
    EXPECT_EQ(geode.geobs[0], nullptr);
}

TEST(Reader, BlockTagsOtherThanGob0AreNotChecked) {
    // Whatever tag a material block has, it is read as "MAT0"; any geob tag but "GOB0"
    // as "GOB1". A sub-material block is no different.
    Bytes sub = MaterialBlock("sub");
    std::memcpy(sub.data(), "MATX", 4);
    Bytes material = MaterialBlock("m", {"t.tga"}, {sub});
    std::memcpy(material.data(), "\0AT1", 4);
    Bytes geob = OneTriangle();
    std::memcpy(geob.data(), "GOB2", 4);
    KvoGeode geode("unused");
    ASSERT_TRUE(LoadBytes(geode, FileWith({material}, {geob}))) << geode.error;
    ASSERT_EQ(geode.materialCount, 1);
    EXPECT_EQ(geode.materials[0]->name, "m");
    ASSERT_EQ(geode.materials[0]->subMaterialCount, 1);
    EXPECT_EQ(geode.materials[0]->subMaterials[0]->name, "sub");
    ASSERT_EQ(geode.geobCount, 1);
    ASSERT_NE(geode.geobs[0], nullptr);
    EXPECT_EQ(geode.geobs[0]->indexCount, 3);

    // Saved again, the blocks carry the writer's tags.
    TempDir dir;
    KvoGeode normal("unused");
    ASSERT_TRUE(LoadBytes(normal, FileWith({MaterialBlock("m", {"t.tga"}, {MaterialBlock("sub")})},
                                           {OneTriangle()})));
    EXPECT_EQ(SaveToBytes(geode, dir, "a.kvo"), SaveToBytes(normal, dir, "b.kvo"));
}
