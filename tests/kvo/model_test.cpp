// Defaults and ownership of the object model.
#include <gtest/gtest.h>

#include "kvo/kvo_geode.h"
#include "kvo_test_support.h"

using namespace kvotest;

namespace {
uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}
}  // namespace

TEST(Model, DefaultMaterial) {
    const KvoMaterial m;
    const uint32_t ambient[] = {0x3E4CCCCD, 0x3E4CCCCD, 0x3E4CCCCD, 0x3E4CCCCD};
    const uint32_t diffuse[] = {0x3F4CCCCD, 0x3F4CCCCD, 0x3F4CCCCD, 0x3F800000};
    const uint32_t dark[] = {0, 0, 0, 0x3F800000};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Bits(m.ambient[i]), ambient[i]);
        EXPECT_EQ(Bits(m.diffuse[i]), diffuse[i]);
        EXPECT_EQ(Bits(m.specular[i]), dark[i]);
        EXPECT_EQ(Bits(m.emission[i]), dark[i]);
    }
    const float uv[] = {0, 0, 1, 1, 0, 0, 0};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(m.uvTransform[i], uv[i]);
    EXPECT_EQ(m.shininess, 0.0f);
    EXPECT_EQ(m.transparency, 0.0f);
    EXPECT_EQ(m.transparencyMode, 0);
    EXPECT_EQ(m.flags, 0);
    EXPECT_EQ(m.textureCount, 0);
    EXPECT_EQ(m.subMaterialCount, 0);
    for (int i = 0; i < KvoMaterial::kMaxTextures; ++i) {
        EXPECT_EQ(m.textures[i], nullptr);
        EXPECT_EQ(m.textureSlotBytes[i], 0);
    }
    for (KvoMaterial* sub : m.subMaterials) EXPECT_EQ(sub, nullptr);
}

TEST(Model, DefaultGeobHasOneTriangleBurst) {
    const KvoGeob g;
    EXPECT_EQ(g.burstCount, 1);
    EXPECT_EQ(g.burstStart[0], 0);
    EXPECT_EQ(g.burstLength[0], 0);
    EXPECT_EQ(g.burstMaterial[0], 0);
    EXPECT_EQ(g.burstVertsPerPrim[0], 3);
    EXPECT_EQ(g.indices, nullptr);
    EXPECT_EQ(g.vertices, nullptr);
    EXPECT_EQ(g.normals, nullptr);
    EXPECT_EQ(g.colors, nullptr);
    EXPECT_EQ(g.texCoords, nullptr);
    EXPECT_EQ(g.indexCount + g.vertexCount + g.normalCount + g.colorCount + g.texCoordCount, 0);
    EXPECT_EQ(g.headerWord0 | g.headerWord1 | g.materialIndex, 0);
}

TEST(Model, FreshGeode) {
    KvoGeode geode("dir/sub\\name.kvo");
    EXPECT_FALSE(geode.loaded);
    EXPECT_FALSE(geode.readAttempted);
    EXPECT_EQ(geode.buffer, nullptr);
    EXPECT_EQ(geode.error, "");
    EXPECT_EQ(geode.materialCount, 0);
    EXPECT_EQ(geode.geobCount, 0);
    EXPECT_EQ(geode.GetPath(), "dir/sub\\name.kvo");
    EXPECT_EQ(geode.GetExtension(), "KVO");
}

TEST(Model, DirectoryAndExtension) {
    struct Case {
        const char* path;
        const char* directory;
        const char* extension;
    } cases[] = {
        {"a/b/c.kvo", "a/b/", "KVO"},
        {"a\\b\\c.Kvo", "a\\b\\", "KVO"},
        {"a\\b/c.x.tga", "a\\b/", "TGA"},  // "/" wins over "\\"
        {"plain", "", ""},
        {"out/noext", "out/", ""},
        {"dir.d/noext", "dir.d/", "D/NOEXT"},  // the last "." of the whole path
        {"C:\\maps\\x.tGa", "C:\\maps\\", "TGA"},
    };
    for (const Case& c : cases) {
        KvoGeode geode(c.path);
        EXPECT_EQ(geode.directory, c.directory) << c.path;
        EXPECT_EQ(geode.GetExtension(), c.extension) << c.path;
    }
}

TEST(Model, CallerOwnedRecordsSurviveTheGeode) {
    auto scene = MakeRichScene();
    {
        KvoGeode geode("unused");
        scene->AttachTo(geode);
        EXPECT_EQ(geode.materialCount, 3);
        EXPECT_EQ(geode.geobCount, 5);
        EXPECT_EQ(geode.materials[2], &scene->materials[2]);
        EXPECT_EQ(geode.geobs[4], &scene->geobs[4]);
    }
    // Still intact: the sanitizer build would flag a double free or a use after free.
    EXPECT_EQ(scene->materials[0].name, "stone_wall");
    EXPECT_EQ(*scene->materials[0].textures[1], "maps\\stone_bump.tga");
    EXPECT_EQ(scene->geobs[0].vertexCount, 40);
}

TEST(Model, ReadLineSkipsEmptyLines) {
    TempDir dir;
    const std::string text = "first\r\n\r\nsecond\nthird";
    WriteAll(dir.File("lines.txt"), Bytes(text.begin(), text.end()));
    KvoGeode resource(dir.File("lines.txt"));
    ASSERT_TRUE(resource.PrepareBuffer());
    uint32_t position = 0;
    std::string line;
    std::vector<std::string> lines;
    for (resource.ReadLine(position, line); !line.empty(); resource.ReadLine(position, line)) {
        lines.push_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "third"}));
    resource.Release();
    EXPECT_EQ(resource.buffer, nullptr);
    EXPECT_FALSE(resource.PrepareBuffer());  // read once only
}

// A resource that only holds its file, to see the base's buffer handling alone.
class TextResource : public DResource {
public:
    TextResource(const std::string& path, bool readNow) : DResource(path, readNow) {}
    bool Load() override { return PrepareBuffer(); }
    bool Save(const std::string&) override { return false; }
    void Unload() override { ++unloads; }
    int unloads = 0;
};

TEST(Model, AFailedOpenIsTriedAgainAndAnImmediateReadHappensAtConstruction) {
    TempDir dir;
    const std::string path = dir.File("later.txt");
    TextResource resource(path, true);
    EXPECT_FALSE(resource.readAttempted);
    EXPECT_EQ(resource.error, "Could not open file");
    EXPECT_FALSE(resource.PrepareBuffer());
    EXPECT_FALSE(resource.readAttempted);

    WriteAll(path, Bytes{'a', '\n', 'b'});
    ASSERT_TRUE(resource.PrepareBuffer());
    EXPECT_TRUE(resource.readAttempted);
    ASSERT_EQ(resource.bufferSize, 3u);
    EXPECT_EQ(resource.buffer[2], 'b');

    TextResource immediate(path, true);
    EXPECT_TRUE(immediate.readAttempted);
    EXPECT_EQ(immediate.bufferSize, 3u);
    EXPECT_EQ(immediate.error, "");
    TextResource deferred(path, false);
    EXPECT_FALSE(deferred.readAttempted);
    EXPECT_EQ(deferred.buffer, nullptr);

    immediate.Release();
    EXPECT_EQ(immediate.unloads, 1);
    EXPECT_EQ(immediate.buffer, nullptr);
    EXPECT_TRUE(immediate.readAttempted);
    EXPECT_FALSE(immediate.PrepareBuffer());
}
