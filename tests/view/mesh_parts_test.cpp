// Extraction of drawable parts from geodes with sound and broken contents, and
// from every truncated prefix of a file.
#include "view/mesh_parts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>

#include "view/render.h"
#include "view_test_support.h"

namespace {

using kvoview::MeshPart;
using kvoview::MeshSet;

template <typename T>
T* Array(std::initializer_list<T> values) {
    T* out = static_cast<T*>(std::malloc(values.size() * sizeof(T)));
    std::copy(values.begin(), values.end(), out);
    return out;
}

// A geode over caller-owned records: two materials (the second with two
// sub-materials) and one geob of two triangles over four vertices.
struct Fixture {
    KvoMaterial materials[2];
    KvoMaterial* subs[2] = {new KvoMaterial, new KvoMaterial};
    KvoGeob geob;
    KvoGeode geode{"x.kvo"};

    Fixture() {
        materials[0].name = "plain";
        materials[1].name = "multi";
        subs[0]->name = "sub0";
        subs[1]->name = "sub1";
        materials[1].subMaterials[0] = subs[0];
        materials[1].subMaterials[1] = subs[1];
        materials[1].subMaterialCount = 2;
        geob.vertices = Array<float>({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
        geob.vertexCount = 4;
        geob.normals = Array<float>({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1});
        geob.normalCount = 4;
        geob.texCoords = Array<float>({0, 0, 1, 0, 1, 1, 0, 1});
        geob.texCoordCount = 4;
        geob.indices = Array<uint16_t>({0, 1, 2, 0, 2, 3});
        geob.indexCount = 6;
        geode.SetMaterials(2, materials);
        geode.SetGeobs(1, &geob);
    }
    ~Fixture() { geob.FreeArrays(); }  // the materials delete their sub-materials

    MeshSet Extract(std::vector<std::string>* warnings) {
        MeshSet set;
        kvoview::ExtractMeshParts(geode, "x.kvo", "dir", &set, warnings);
        return set;
    }
};

// Every part keeps its invariants whatever the input was.
void ExpectSound(const MeshSet& set) {
    for (const MeshPart& part : set.parts) {
        const size_t vertices = part.VertexCount();
        EXPECT_EQ(part.positions.size(), 3 * vertices);
        EXPECT_TRUE(part.normals.empty() || part.normals.size() == 3 * vertices);
        EXPECT_TRUE(part.texCoords.empty() || part.texCoords.size() == 2 * vertices);
        EXPECT_TRUE(part.colors.empty() || part.colors.size() == 3 * vertices);
        EXPECT_EQ(part.indices.size() % 3, 0u);
        for (uint32_t i : part.indices) EXPECT_LT(i, vertices);
        for (float p : part.positions) EXPECT_TRUE(std::isfinite(p));
        EXPECT_LT(part.material, static_cast<int>(set.materials.size()));
    }
}

struct BrokenCase {
    const char* name;
    std::function<void(Fixture&)> breakIt;
    size_t triangles;     // what is left to draw
    const char* warning;  // part of the one expected warning; "" for none
};

class BrokenGeob : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenGeob, KeepsWhatIsSoundAndSaysWhatWasLeftOut) {
    const BrokenCase& c = GetParam();
    Fixture f;
    c.breakIt(f);
    std::vector<std::string> warnings;
    const MeshSet set = f.Extract(&warnings);
    ExpectSound(set);
    EXPECT_EQ(set.TriangleCount(), c.triangles);
    if (*c.warning) {
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << warnings[0];
        EXPECT_EQ(warnings[0].rfind("x.kvo: geob 0", 0), 0u) << warnings[0];
    } else {
        EXPECT_TRUE(warnings.empty()) << warnings[0];
    }
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenGeob,
    ::testing::Values(
        BrokenCase{"Sound", [](Fixture&) {}, 2, ""},
        BrokenCase{"IndexPastVertices", [](Fixture& f) { f.geob.indices[4] = 4; }, 1,
                   "1 triangles with indices past the 4 vertices"},
        BrokenCase{"MaxIndexOverFewVertices", [](Fixture& f) { f.geob.indices[0] = 65535; }, 1,
                   "indices past"},
        BrokenCase{"ShortNormals", [](Fixture& f) { f.geob.normalCount = 3; }, 2,
                   "3 normals for 4 vertices"},
        BrokenCase{"ShortTexCoords", [](Fixture& f) { f.geob.texCoordCount = 0; }, 2,
                   "texture coordinates for 4"},
        BrokenCase{"NaNPosition", [](Fixture& f) { f.geob.vertices[10] = kNaN; }, 1,
                   "non-finite positions"},
        BrokenCase{"InfinitePosition",
                   [](Fixture& f) { f.geob.vertices[0] = std::numeric_limits<float>::infinity(); },
                   0, "2 triangles with non-finite"},
        BrokenCase{"PartialTriangle", [](Fixture& f) { f.geob.indexCount = 5; }, 1,
                   "not whole triangles"},
        BrokenCase{"NoVertexArray",
                   [](Fixture& f) {
                       std::free(f.geob.vertices);
                       f.geob.vertices = nullptr;
                   },
                   0, "no vertices"},
        BrokenCase{"NegativeIndexCount", [](Fixture& f) { f.geob.indexCount = -6; }, 0, ""},
        BrokenCase{"MaterialOutsideTable", [](Fixture& f) { f.geob.materialIndex = 7; }, 2, ""},
        BrokenCase{"BurstsCoverOneTriangle",
                   [](Fixture& f) {
                       f.geob.burstCount = 2;
                       f.geob.burstStart[0] = 0;
                       f.geob.burstLength[0] = 9;
                       f.geob.burstStart[1] = 9;
                       f.geob.burstLength[1] = 0;
                       f.geob.burstMaterial[1] = 0;
                   },
                   1, "bursts cover 1 of 2 triangles"},
        BrokenCase{"BurstPastTheEnd",
                   [](Fixture& f) {
                       f.geob.burstCount = 2;
                       f.geob.burstStart[0] = 0;
                       f.geob.burstLength[0] = 9;
                       f.geob.burstStart[1] = 9;
                       f.geob.burstLength[1] = 1 << 30;
                       f.geob.burstMaterial[1] = 0;
                   },
                   2, ""},
        BrokenCase{"NegativeBurstValues",
                   [](Fixture& f) {
                       f.geob.burstCount = 2;
                       f.geob.burstStart[0] = -300;
                       f.geob.burstLength[0] = 27;
                       f.geob.burstStart[1] = 9;
                       f.geob.burstLength[1] = -9;
                       f.geob.burstMaterial[1] = 0;
                   },
                   2, ""},
        BrokenCase{"BurstCountOutOfRange", [](Fixture& f) { f.geob.burstCount = 1000; }, 2,
                   "burst count 1000 outside 1..100"},
        BrokenCase{"NoBursts", [](Fixture& f) { f.geob.burstCount = 0; }, 2, "burst count 0"}),
    [](const ::testing::TestParamInfo<BrokenCase>& info) { return info.param.name; });

TEST(MeshParts, CopiesStreamsAndResolvesThePlainMaterial) {
    Fixture f;
    f.materials[0].diffuse[1] = 0.25f;
    f.materials[0].textureCount = 1;
    f.materials[0].textures[0] = new std::string("wood.tga");
    std::vector<std::string> warnings;
    const MeshSet set = f.Extract(&warnings);
    ASSERT_EQ(set.parts.size(), 1u);
    const MeshPart& part = set.parts[0];
    EXPECT_EQ(part.label, "x.kvo: geob 0");
    EXPECT_EQ(part.indices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(part.positions, (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}));
    EXPECT_EQ(part.texCoords, (std::vector<float>{0, 0, 1, 0, 1, 1, 0, 1}));
    EXPECT_EQ(part.normals.size(), 12u);
    EXPECT_TRUE(part.colors.empty());
    ASSERT_EQ(part.material, 0);
    EXPECT_EQ(set.materials[0].name, "plain");
    EXPECT_EQ(set.materials[0].texture, "wood.tga");
    EXPECT_EQ(set.materials[0].folder, "dir");
    EXPECT_EQ(set.materials[0].diffuse[1], 0.25f);
}

TEST(MeshParts, UnusedVerticesAreDroppedAndIndicesRenumbered) {
    Fixture f;
    f.geob.indices[0] = 3;  // triangles {3, 1, 2} and {0, 2, 3}: every vertex used, new order
    f.geob.indexCount = 3;  // only the first: vertex 0 unused
    std::vector<std::string> warnings;
    const MeshSet set = f.Extract(&warnings);
    ASSERT_EQ(set.parts.size(), 1u);
    EXPECT_EQ(set.parts[0].indices, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(set.parts[0].positions, (std::vector<float>{0, 1, 0, 1, 0, 0, 1, 1, 0}));
}

TEST(MeshParts, BurstsOfAMultiMaterialPickSubMaterials) {
    Fixture f;
    f.geob.materialIndex = 1;
    f.geob.burstCount = 2;
    f.geob.burstStart[0] = 0;
    f.geob.burstLength[0] = 9;  // three times the three index entries
    f.geob.burstMaterial[0] = 1;
    f.geob.burstStart[1] = 9;
    f.geob.burstLength[1] = 9;
    f.geob.burstMaterial[1] = 0;
    f.geob.burstVertsPerPrim[1] = 3;
    std::vector<std::string> warnings;
    const MeshSet set = f.Extract(&warnings);
    EXPECT_TRUE(warnings.empty());
    ASSERT_EQ(set.parts.size(), 2u);
    EXPECT_EQ(set.parts[0].label, "x.kvo: geob 0 burst 0");
    EXPECT_EQ(set.materials[set.parts[0].material].name, "sub1");
    EXPECT_EQ(set.materials[set.parts[1].material].name, "sub0");
    EXPECT_EQ(set.parts[1].positions, (std::vector<float>{0, 0, 0, 1, 1, 0, 0, 1, 0}));
}

TEST(MeshParts, BoundsCoverOnlyUsedVertices) {
    Fixture f;
    f.geob.vertices[9] = 100;  // vertex 3, left unused below
    f.geob.indexCount = 3;
    std::vector<std::string> warnings;
    const MeshSet set = f.Extract(&warnings);
    float min[3], max[3];
    ASSERT_TRUE(kvoview::UsedBounds(set, min, max));
    EXPECT_EQ(max[0], 1);
    EXPECT_EQ(min[0], 0);
    EXPECT_FALSE(kvoview::UsedBounds(MeshSet{}, min, max));
}

TEST(MeshParts, NullGeobEntryIsReported) {
    Fixture f;
    f.geode.geobs[0] = nullptr;
    std::vector<std::string> warnings;
    EXPECT_TRUE(f.Extract(&warnings).parts.empty());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("missing"), std::string::npos);
}

// Every truncated prefix of a textured quad's file either fails to load with a
// cause or renders; none crashes or reads out of bounds.
TEST(MeshParts, EveryTruncatedFileLoadsOrFailsCleanly) {
    viewtest::ScratchDir dir;
    viewtest::WriteKvo(dir.Path("quad.kvo"), {viewtest::Quad("t.png"), viewtest::Cube()});
    const std::string bytes = viewtest::ReadFile(dir.Path("quad.kvo"));
    ASSERT_GT(bytes.size(), 100u);
    int loaded = 0;
    for (size_t length = 0; length < bytes.size(); ++length) {
        KvoGeode geode("cut.kvo");
        if (!geode.LoadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), length)) {
            EXPECT_FALSE(geode.error.empty()) << length;
            continue;
        }
        ++loaded;
        MeshSet set;
        std::vector<std::string> warnings;
        kvoview::ExtractMeshParts(geode, "cut.kvo", ".", &set, &warnings);
        ExpectSound(set);
    }
    // Render a few cut files through the whole path, too.
    for (size_t length : {size_t{0}, bytes.size() / 3, bytes.size() / 2, bytes.size() - 1}) {
        const std::string cut = dir.Path("cut" + std::to_string(length) + ".kvo");
        std::FILE* out = std::fopen(cut.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(bytes.data(), 1, length, out);
        std::fclose(out);
        kvoview::RenderOptions options;
        options.width = options.height = 16;
        kvoview::Image image;
        std::vector<std::string> warnings;
        std::string error;
        if (!kvoview::RenderKvoFiles({cut}, options, &image, &warnings, &error)) {
            EXPECT_NE(error.find("cannot load"), std::string::npos) << error;
        } else {
            EXPECT_EQ(image.width, 16);
        }
    }
    RecordProperty("prefixes_loaded", loaded);
}

}  // namespace
