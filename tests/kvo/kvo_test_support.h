// Shared helpers of the format tests: a byte builder for hand-made files,
// a rich sample geode, temporary directories and field-by-field comparison.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "kvo/kvo_geode.h"

namespace kvotest {

using Bytes = std::vector<uint8_t>;

// Little-endian byte builder with back-patched lengths, for hand-made files.
class ByteBuilder {
public:
    ByteBuilder& Tag(const char* tag) { return Raw(tag, 4); }
    ByteBuilder& U32(uint32_t v) { return Raw(&v, 4); }
    ByteBuilder& I32(int32_t v) { return Raw(&v, 4); }
    ByteBuilder& I16(int16_t v) { return Raw(&v, 2); }
    ByteBuilder& F32(float v) { return Raw(&v, 4); }
    ByteBuilder& Str(const std::string& s) {
        I16(static_cast<int16_t>(s.size()));
        return Raw(s.data(), s.size());
    }
    ByteBuilder& Raw(const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
        return *this;
    }
    ByteBuilder& Append(const Bytes& more) { return Raw(more.data(), more.size()); }
    // Tag plus a length placeholder; Close() patches the innermost open one.
    ByteBuilder& Open(const char* tag) {
        Tag(tag);
        open.push_back(bytes.size());
        return U32(0);
    }
    ByteBuilder& Close() {
        size_t at = open.back();
        open.pop_back();
        uint32_t length = static_cast<uint32_t>(bytes.size() - at - 4);
        std::memcpy(&bytes[at], &length, 4);
        return *this;
    }
    Bytes bytes;

private:
    std::vector<size_t> open;
};

// A material block as the writer lays it out, with optional extra content.
inline Bytes MaterialBlock(const std::string& name, const std::vector<std::string>& textures = {},
                           const std::vector<Bytes>& subs = {}) {
    ByteBuilder b;
    b.Open("MAT0").Open("MHDR").Str(name).Str("").Close();
    b.Tag("MCOL").U32(68);
    for (int i = 0; i < 17; ++i) b.F32(static_cast<float>(i));
    b.Tag("MUVW").U32(28);
    for (int i = 0; i < 7; ++i) b.F32(0.5f * static_cast<float>(i));
    b.Tag("MTRA").U32(8).F32(0.25f).I32(2).Tag("MCFL").U32(4).I32(7);
    b.Open("MTEX").I32(static_cast<int32_t>(textures.size()));
    for (const std::string& t : textures) b.Str(t);
    b.Close().Open("MSUB").I32(static_cast<int32_t>(subs.size()));
    for (const Bytes& s : subs) b.Append(s);
    b.Close().Tag("MEND").Close();
    return b.bytes;
}

// A whole file around the given material and geob blocks.
inline Bytes FileWith(const std::vector<Bytes>& materials, const std::vector<Bytes>& geobs) {
    ByteBuilder b;
    b.Open("KVO1").Open("MATS").I32(static_cast<int32_t>(materials.size()));
    for (const Bytes& m : materials) b.Append(m);
    b.Close().Open("GEOB").I32(static_cast<int32_t>(geobs.size()));
    for (const Bytes& g : geobs) b.Append(g);
    b.Close().Tag("EKVO").Close();
    return b.bytes;
}

// Records owned by the test, handed to a geode the way the exporter does.
struct SampleScene {
    std::vector<KvoMaterial> materials;
    std::vector<KvoGeob> geobs;
    SampleScene(size_t materialCount, size_t geobCount)
        : materials(materialCount), geobs(geobCount) {}
    ~SampleScene() {
        for (KvoGeob& g : geobs) g.FreeArrays();
    }
    void AttachTo(KvoGeode& geode) {
        geode.SetMaterials(static_cast<int32_t>(materials.size()), materials.data());
        geode.SetGeobs(static_cast<int32_t>(geobs.size()), geobs.data());
    }
};

template <typename T>
T* FilledArray(size_t count, uint32_t seed) {
    T* data = static_cast<T*>(std::malloc(count * sizeof(T) + 1));
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        data[i] = static_cast<T>(seed >> 16) / static_cast<T>(7);
    }
    return data;
}

// Fills a geob with `vertices` vertices, 3*`triangles` indices and the chosen streams.
inline void FillGeob(KvoGeob& g, int32_t vertices, int32_t triangles, bool uv, bool normals,
                     bool colours, uint32_t seed) {
    g.vertexCount = vertices;
    g.vertices = FilledArray<float>(3 * static_cast<size_t>(vertices), seed);
    g.indexCount = 3 * triangles;
    g.indices = static_cast<uint16_t*>(std::malloc(2 * static_cast<size_t>(g.indexCount) + 2));
    for (int32_t i = 0; i < g.indexCount; ++i) {
        g.indices[i] = static_cast<uint16_t>((i * 7 + seed) % static_cast<uint32_t>(vertices));
    }
    if (uv) {
        g.texCoordCount = vertices;
        g.texCoords = FilledArray<float>(2 * static_cast<size_t>(vertices), seed + 1);
    }
    if (normals) {
        g.normalCount = vertices;
        g.normals = FilledArray<float>(3 * static_cast<size_t>(vertices), seed + 2);
    }
    if (colours) {
        g.colorCount = vertices;
        g.colors = FilledArray<float>(3 * static_cast<size_t>(vertices), seed + 3);
    }
    g.burstLength[0] = 3 * vertices;
}

// Materials with names, textures and nested sub-materials; geobs with every
// combination of streams, an empty one and one with several bursts.
inline std::unique_ptr<SampleScene> MakeRichScene() {
    auto scene = std::make_unique<SampleScene>(3, 5);
    KvoMaterial& plain = scene->materials[0];
    plain.name = "stone_wall";
    plain.secondaryName = "extra";
    plain.diffuse[1] = 0.5f;
    plain.shininess = 12.5f;
    plain.transparency = 0.3f;
    plain.transparencyMode = 2;
    plain.flags = 0x11;
    plain.uvTransform[4] = 1.5f;
    plain.textureCount = 2;
    plain.textures[0] = new std::string("maps\\stone.tga");
    plain.textures[1] = new std::string("maps\\stone_bump.tga");

    KvoMaterial& multi = scene->materials[1];
    multi.name = "multi";
    multi.subMaterialCount = 2;
    multi.subMaterials[0] = new KvoMaterial();
    multi.subMaterials[0]->name = "sub_a";
    multi.subMaterials[1] = new KvoMaterial();
    multi.subMaterials[1]->name = "sub_b";
    multi.subMaterials[1]->subMaterialCount = 1;
    multi.subMaterials[1]->subMaterials[0] = new KvoMaterial();
    multi.subMaterials[1]->subMaterials[0]->name = "deep";
    multi.subMaterials[1]->subMaterials[0]->textureCount = 1;
    multi.subMaterials[1]->subMaterials[0]->textures[0] = new std::string("deep.png");
    // materials[2] keeps every default.

    std::vector<KvoGeob>& g = scene->geobs;
    FillGeob(g[0], 40, 30, true, true, true, 1);
    g[0].headerWord0 = 5;
    g[0].headerWord1 = -6;
    FillGeob(g[1], 12, 8, false, false, false, 2);
    g[1].materialIndex = 2;
    FillGeob(g[2], 9, 3, true, false, true, 3);
    g[2].materialIndex = 1;
    g[2].burstCount = 3;
    for (int b = 0; b < 3; ++b) {
        g[2].burstStart[b] = 9 * b;
        g[2].burstLength[b] = 9;
        g[2].burstMaterial[b] = b % 2;
        g[2].burstVertsPerPrim[b] = 3;
    }
    FillGeob(g[3], 20, 10, false, true, false, 4);
    // g[4] stays empty: no arrays, counts 0.
    return scene;
}

// A fresh directory under the system's temporary directory, removed afterwards.
class TempDir {
public:
    TempDir() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("kvo_test_") + (info ? info->test_suite_name() : "x") + "_" +
                           (info ? info->name() : "x") + "_" + std::to_string(std::rand());
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        path = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    std::string File(const std::string& name) const { return (path / name).string(); }
    std::filesystem::path path;
};

// Why device nodes cannot be made and opened in `dir` (not root, or a nodev
// mount); empty when they can.
inline std::string DeviceNodesUnavailable(const std::string& dir) {
    const std::string probe = (std::filesystem::path(dir) / "probe-null").string();
    if (mknod(probe.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        return std::string("mknod is not permitted here: ") + std::strerror(errno);
    }
    const int fd = open(probe.c_str(), O_WRONLY | O_CLOEXEC);
    const int cause = errno;
    std::filesystem::remove(probe);
    if (fd < 0) return std::string("device nodes cannot be opened here: ") + std::strerror(cause);
    close(fd);
    return "";
}

inline Bytes ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// Saves a geode and returns the file's bytes (empty when the save failed).
inline Bytes SaveToBytes(KvoGeode& geode, const TempDir& dir, const std::string& name = "out.kvo") {
    if (!geode.Save(dir.File(name))) return {};
    return ReadAll(dir.File(name));
}

inline bool SameFloats(const float* a, const float* b, size_t count) {
    return count == 0 || std::memcmp(a, b, count * sizeof(float)) == 0;
}

inline void ExpectSameMaterial(const KvoMaterial& a, const KvoMaterial& b) {
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.secondaryName, b.secondaryName);
    EXPECT_TRUE(SameFloats(a.ambient, b.ambient, 4));
    EXPECT_TRUE(SameFloats(a.diffuse, b.diffuse, 4));
    EXPECT_TRUE(SameFloats(a.specular, b.specular, 4));
    EXPECT_TRUE(SameFloats(a.emission, b.emission, 4));
    EXPECT_TRUE(SameFloats(&a.shininess, &b.shininess, 1));
    EXPECT_TRUE(SameFloats(&a.transparency, &b.transparency, 1));
    EXPECT_EQ(a.transparencyMode, b.transparencyMode);
    EXPECT_EQ(a.flags, b.flags);
    EXPECT_TRUE(SameFloats(a.uvTransform, b.uvTransform, 7));
    ASSERT_EQ(a.textureCount, b.textureCount);
    for (int i = 0; i < a.textureCount; ++i) {
        ASSERT_TRUE(a.textures[i] && b.textures[i]);
        EXPECT_EQ(*a.textures[i], *b.textures[i]);
    }
    ASSERT_EQ(a.subMaterialCount, b.subMaterialCount);
    for (int k = 0; k < a.subMaterialCount; ++k) {
        ASSERT_TRUE(a.subMaterials[k] && b.subMaterials[k]);
        ExpectSameMaterial(*a.subMaterials[k], *b.subMaterials[k]);
    }
}

inline void ExpectSameGeob(const KvoGeob& a, const KvoGeob& b) {
    EXPECT_EQ(a.headerWord0, b.headerWord0);
    EXPECT_EQ(a.headerWord1, b.headerWord1);
    EXPECT_EQ(a.materialIndex, b.materialIndex);
    ASSERT_EQ(a.indexCount, b.indexCount);
    EXPECT_TRUE(a.indexCount == 0 ||
                std::memcmp(a.indices, b.indices, 2 * static_cast<size_t>(a.indexCount)) == 0);
    ASSERT_EQ(a.vertexCount, b.vertexCount);
    EXPECT_TRUE(SameFloats(a.vertices, b.vertices, 3 * static_cast<size_t>(a.vertexCount)));
    const struct {
        const float* x;
        const float* y;
        int32_t nx, ny, width;
    } streams[] = {{a.normals, b.normals, a.normalCount, b.normalCount, 3},
                   {a.colors, b.colors, a.colorCount, b.colorCount, 3},
                   {a.texCoords, b.texCoords, a.texCoordCount, b.texCoordCount, 2}};
    for (const auto& s : streams) {
        ASSERT_EQ(s.x == nullptr, s.y == nullptr);
        if (!s.x) continue;
        ASSERT_EQ(s.nx, s.ny);
        EXPECT_TRUE(SameFloats(s.x, s.y, static_cast<size_t>(s.width) * s.nx));
    }
    ASSERT_EQ(a.burstCount, b.burstCount);
    for (int i = 0; i < a.burstCount; ++i) {
        EXPECT_EQ(a.burstStart[i], b.burstStart[i]);
        EXPECT_EQ(a.burstLength[i], b.burstLength[i]);
        EXPECT_EQ(a.burstMaterial[i], b.burstMaterial[i]);
        EXPECT_EQ(a.burstVertsPerPrim[i], b.burstVertsPerPrim[i]);
    }
}

inline void ExpectSameGeode(const KvoGeode& a, const KvoGeode& b) {
    ASSERT_EQ(a.materialCount, b.materialCount);
    for (int i = 0; i < a.materialCount; ++i) {
        ASSERT_TRUE(a.materials[i] && b.materials[i]);
        ExpectSameMaterial(*a.materials[i], *b.materials[i]);
    }
    ASSERT_EQ(a.geobCount, b.geobCount);
    for (int i = 0; i < a.geobCount; ++i) {
        ASSERT_TRUE(a.geobs[i] && b.geobs[i]);
        ExpectSameGeob(*a.geobs[i], *b.geobs[i]);
    }
}

inline bool LoadBytes(KvoGeode& geode, const Bytes& bytes) {
    return geode.LoadFromMemory(bytes.data(), bytes.size());
}

}  // namespace kvotest
