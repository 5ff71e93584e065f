// The reader on hostile input: limits, impossible counts, deep nesting,
// every truncated prefix and corrupted bytes. A refused load must leave the
// geode empty with a cause; the sanitizer build catches any bad access.
#include <gtest/gtest.h>

#include "kvo/kvo_geode.h"
#include "kvo_test_support.h"

using namespace kvotest;

namespace {

Bytes RichFile() {
    TempDir dir;
    KvoGeode geode("unused");
    auto scene = MakeRichScene();
    scene->AttachTo(geode);
    return SaveToBytes(geode, dir);
}

void ExpectRefused(KvoGeode& geode) {
    EXPECT_FALSE(geode.loaded);
    EXPECT_EQ(geode.materialCount, 0);
    EXPECT_EQ(geode.geobCount, 0);
    EXPECT_FALSE(geode.error.empty());
    for (KvoMaterial* m : geode.materials) EXPECT_EQ(m, nullptr);
    for (KvoGeob* g : geode.geobs) EXPECT_EQ(g, nullptr);
}

Bytes GeobWith(const Bytes& chunk) {
    ByteBuilder b;
    b.Open("GOB1").Append(chunk).Tag("GEND").Close();
    return b.bytes;
}

Bytes MaterialWith(const Bytes& chunk) {
    ByteBuilder b;
    b.Open("MAT0").Append(chunk).Tag("MEND").Close();
    return b.bytes;
}

Bytes Repeat(const Bytes& block, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) out.insert(out.end(), block.begin(), block.end());
    return out;
}

// A table chunk holding `count` in its count field and `blocks` after it.
Bytes TableFile(const char* tag, int32_t count, const Bytes& blocks) {
    ByteBuilder b;
    b.Open("KVO1").Open(tag).I32(count).Append(blocks).Close().Tag("EKVO").Close();
    return b.bytes;
}

Bytes WithoutTail(Bytes bytes, size_t count) {
    bytes.resize(bytes.size() - count);
    return bytes;
}

// A material nested `depth` levels below the top-level one.
Bytes NestedMaterial(int depth) {
    Bytes block = MaterialBlock("leaf");
    for (int i = 0; i < depth; ++i) block = MaterialBlock("level", {}, {block});
    return block;
}

}  // namespace

TEST(ReaderHostile, CountsAtAndBeyondTheLimits) {
    const Bytes triangle = GeobWith({});
    Bytes textures;
    for (int i = 0; i < 11; ++i) textures.insert(textures.end(), {1, 0, 't'});
    struct Case {
        const char* name;
        Bytes file;
        bool loads;
        const char* cause;  // part of the recorded error when refused
    } cases[] = {
        {"250 materials", TableFile("MATS", 250, Repeat(MaterialBlock(""), 250)), true, ""},
        {"251 materials", TableFile("MATS", 251, Repeat(MaterialBlock(""), 251)), false,
         "count 251 outside 0..250"},
        {"negative materials", TableFile("MATS", -1, {}), false, "count -1"},
        {"200 geobs", TableFile("GEOB", 200, Repeat(triangle, 200)), true, ""},
        {"201 geobs", TableFile("GEOB", 201, Repeat(triangle, 201)), false,
         "count 201 outside 0..200"},
        {"10 textures",
         FileWith({MaterialWith(
                      ByteBuilder().Open("MTEX").I32(10).Raw(textures.data(), 30).Close().bytes)},
                  {}),
         true, ""},
        {"11 textures",
         FileWith({MaterialWith(ByteBuilder().Open("MTEX").I32(11).Append(textures).Close().bytes)},
                  {}),
         false, "MTEX chunk"},
        {"100 sub-materials",
         FileWith({MaterialWith(ByteBuilder()
                                    .Open("MSUB")
                                    .I32(100)
                                    .Append(Repeat(MaterialBlock(""), 100))
                                    .Close()
                                    .bytes)},
                  {}),
         true, ""},
        {"101 sub-materials",
         FileWith({MaterialWith(ByteBuilder()
                                    .Open("MSUB")
                                    .I32(101)
                                    .Append(Repeat(MaterialBlock(""), 101))
                                    .Close()
                                    .bytes)},
                  {}),
         false, "MSUB chunk"},
        {"100 bursts",
         FileWith(
             {},
             {GeobWith(ByteBuilder().Open("BRST").I32(100).Append(Bytes(1600, 1)).Close().bytes)}),
         true, ""},
        {"101 bursts",
         FileWith(
             {},
             {GeobWith(ByteBuilder().Open("BRST").I32(101).Append(Bytes(1616, 1)).Close().bytes)}),
         false, "BRST chunk"},
        {"negative bursts",
         FileWith({}, {GeobWith(ByteBuilder().Open("BRST").I32(-5).Close().bytes)}), false,
         "count -5"},
        {"negative index count",
         FileWith({}, {GeobWith(ByteBuilder().Open("INDI").I32(-1).Close().bytes)}), false,
         "count -1"},
        {"index count beyond the file",
         FileWith({}, {GeobWith(ByteBuilder().Open("INDI").I32(0x7fffffff).I32(0).Close().bytes)}),
         false, "does not fit"},
        {"vertex bytes overflow 32 bits",
         FileWith({}, {GeobWith(ByteBuilder().Open("VERT").I32(0x40000000).I32(0).Close().bytes)}),
         false, "does not fit"},
        {"normal bytes overflow 32 bits",
         FileWith({}, {GeobWith(ByteBuilder().Open("NORM").I32(0x15555556).Close().bytes)}), false,
         "does not fit"},
        {"texture coordinates one short",
         FileWith({},
                  {GeobWith(ByteBuilder().Open("TVER").I32(2).Append(Bytes(15, 0)).Close().bytes)}),
         false, "truncated"},
        {"negative string length reads as empty",
         FileWith({MaterialWith(ByteBuilder().Open("MHDR").I16(-3).I16(0).Close().bytes)}, {}),
         true, ""},
        {"chunk length past the end",
         ByteBuilder().Tag("KVO1").U32(0).Tag("ZZZZ").U32(1000).Tag("EKVO").bytes, false,
         "ZZZZ chunk at offset 8: length 1000 reaches past the end"},
        {"no end tag", ByteBuilder().Tag("KVO1").U32(0).Tag("ZZZZ").U32(0).bytes, false,
         "truncated chunk list"},
        {"empty file", {}, false, "truncated file header"},
        {"magic only", ByteBuilder().Tag("KVO1").bytes, false, "truncated file header"},
        {"32 nested levels", FileWith({NestedMaterial(32)}, {}), true, ""},
        {"33 nested levels", FileWith({NestedMaterial(33)}, {}), false,
         "sub-materials nested deeper than 32"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KvoGeode geode("unused");
        EXPECT_EQ(LoadBytes(geode, c.file), c.loads) << geode.error;
        if (c.loads) continue;
        ExpectRefused(geode);
        EXPECT_NE(geode.error.find(c.cause), std::string::npos) << geode.error;
    }
}

TEST(ReaderHostile, RefusalNamesTheChunkAndItsOffset) {
    // The geob block starts at 32, its INDI chunk at 40.
    ByteBuilder indi;
    indi.Tag("INDI").U32(1000).I32(1).I16(0);
    struct Case {
        Bytes file;
        const char* error;
    } cases[] = {
        {FileWith({}, {GeobWith(indi.bytes)}),
         "INDI chunk at offset 40: length 1000 reaches past the end"},
        {ByteBuilder().Tag("KVO1").U32(0).Tag("MATS").I16(0).bytes,
         "truncated MATS chunk at offset 8"},
        {WithoutTail(FileWith({}, {GeobWith({})}), 6),
         "GEOB chunk at offset 20: length 16 reaches past the end"},
        {ByteBuilder().Tag("KVO1").U32(0).Tag("GEOB").U32(6).I32(1).I16(0).Tag("EKVO").bytes,
         "truncated geob block at offset 20"},
        {ByteBuilder()
             .Tag("KVO1")
             .U32(0)
             .Tag("GEOB")
             .U32(12)
             .I32(1)
             .Tag("GOB1")
             .U32(500)
             .Tag("EKVO")
             .bytes,
         "GOB1 block at offset 20: length 500 reaches past the end"},
        {ByteBuilder()
             .Tag("KVO1")
             .U32(0)
             .Tag("MATS")
             .U32(12)
             .I32(1)
             .Tag("MAT0")
             .U32(4)
             .Tag("MCOL")
             .bytes,
         "truncated MCOL chunk at offset 28"},
    };
    for (const Case& c : cases) {
        KvoGeode geode("unused");
        EXPECT_FALSE(LoadBytes(geode, c.file));
        EXPECT_EQ(geode.error, c.error);
    }
}

TEST(ReaderHostile, EveryTruncatedPrefixIsRefused) {
    const Bytes file = RichFile();
    ASSERT_GT(file.size(), 1000u);
    for (size_t size = 0; size < file.size(); ++size) {
        KvoGeode geode("unused");
        const Bytes prefix(file.begin(), file.begin() + static_cast<ptrdiff_t>(size));
        ASSERT_FALSE(LoadBytes(geode, prefix)) << "prefix of " << size << " bytes";
        ExpectRefused(geode);
    }
    KvoGeode whole("unused");
    EXPECT_TRUE(LoadBytes(whole, file)) << whole.error;
}

// Every byte of a rich file replaced by a few hostile values: the load either
// succeeds with a consistent geode or refuses cleanly.
TEST(ReaderHostile, CorruptedBytesNeverBreakTheReader) {
    const Bytes file = RichFile();
    size_t refused = 0, loaded = 0;
    for (size_t at = 0; at < file.size(); ++at) {
        for (uint8_t value :
             {uint8_t{0x00}, uint8_t{0xFF}, uint8_t{0x7F}, uint8_t(file[at] ^ 0x41)}) {
            Bytes copy = file;
            copy[at] = value;
            KvoGeode geode("unused");
            if (LoadBytes(geode, copy)) {
                ++loaded;
                ASSERT_LE(geode.materialCount, KvoGeode::kMaxMaterials);
                ASSERT_LE(geode.geobCount, KvoGeode::kMaxGeobs);
                for (int i = 0; i < geode.geobCount; ++i) {
                    if (geode.geobs[i]) {
                        ASSERT_LE(geode.geobs[i]->burstCount, KvoGeob::kMaxBursts);
                    }
                }
            } else {
                ++refused;
                ExpectRefused(geode);
            }
        }
    }
    // Both outcomes occur: float payloads survive, structure damage is refused.
    EXPECT_GT(loaded, 0u);
    EXPECT_GT(refused, 0u);
}

TEST(ReaderHostile, NegativeStringLengthIsTheEmptyStringAndConsumesNothingMore) {
    const Bytes header = ByteBuilder().Open("MHDR").I16(-3).I16(2).Append({'a', 'b'}).Close().bytes;
    KvoGeode geode("unused");
    ASSERT_TRUE(LoadBytes(geode, FileWith({MaterialWith(header)}, {}))) << geode.error;
    ASSERT_EQ(geode.materialCount, 1);
    EXPECT_EQ(geode.materials[0]->name, "");
    EXPECT_EQ(geode.materials[0]->secondaryName, "ab");
}
