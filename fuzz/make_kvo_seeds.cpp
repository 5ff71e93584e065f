// Writes the fuzzer's seed files into the directory given as argument: small
// geodes saved by the writer, and variants the tolerant reader accepts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kvo/kvo_geode.h"

namespace {

using Bytes = std::vector<char>;

void FillGeob(KvoGeob& g, int vertices, bool streams, int seed) {
    g.vertexCount = vertices;
    g.vertices = static_cast<float*>(std::malloc(12 * static_cast<size_t>(vertices)));
    g.indexCount = 3 * (vertices - 1);
    g.indices = static_cast<uint16_t*>(std::malloc(2 * static_cast<size_t>(g.indexCount)));
    for (int i = 0; i < 3 * vertices; ++i) g.vertices[i] = static_cast<float>((i * seed) % 5);
    for (int i = 0; i < g.indexCount; ++i)
        g.indices[i] = static_cast<uint16_t>((i + seed) % vertices);
    if (streams) {
        g.normalCount = g.colorCount = g.texCoordCount = vertices;
        g.normals = static_cast<float*>(std::malloc(12 * static_cast<size_t>(vertices)));
        g.colors = static_cast<float*>(std::malloc(12 * static_cast<size_t>(vertices)));
        g.texCoords = static_cast<float*>(std::malloc(8 * static_cast<size_t>(vertices)));
        std::memcpy(g.normals, g.vertices, 12 * static_cast<size_t>(vertices));
        std::memcpy(g.colors, g.vertices, 12 * static_cast<size_t>(vertices));
        std::memcpy(g.texCoords, g.vertices, 8 * static_cast<size_t>(vertices));
    }
    g.burstLength[0] = 3 * vertices;
}

bool SaveSeed(KvoGeode& geode, const std::filesystem::path& file) {
    if (geode.Save(file.string())) return true;
    std::fprintf(stderr, "kvo_fuzz_seeds: %s\n", geode.error.c_str());
    return false;
}

Bytes ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Replaces the first occurrence of a 4-byte tag.
Bytes ReplaceTag(Bytes bytes, const char* from, const char* to) {
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (std::memcmp(&bytes[i], from, 4) == 0) {
            std::memcpy(&bytes[i], to, 4);
            break;
        }
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvo_fuzz_seeds DIRECTORY\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);

    KvoMaterial materials[3];
    materials[0].name = "plain";
    materials[1].name = "textured";
    materials[1].secondaryName = "second";
    materials[1].textureCount = 2;
    materials[1].textures[0] = new std::string("a.tga");
    materials[1].textures[1] = new std::string("b.tga");
    materials[2].name = "multi";
    materials[2].subMaterialCount = 2;
    materials[2].subMaterials[0] = new KvoMaterial();
    materials[2].subMaterials[1] = new KvoMaterial();
    materials[2].subMaterials[1]->subMaterialCount = 1;
    materials[2].subMaterials[1]->subMaterials[0] = new KvoMaterial();

    KvoGeob geobs[3];
    FillGeob(geobs[0], 4, false, 1);
    FillGeob(geobs[1], 6, true, 2);
    geobs[1].materialIndex = 1;
    FillGeob(geobs[2], 5, true, 3);
    geobs[2].materialIndex = 2;
    geobs[2].burstCount = 2;
    geobs[2].burstStart[1] = 6;
    geobs[2].burstLength[1] = 6;
    geobs[2].burstMaterial[1] = 1;
    geobs[2].burstVertsPerPrim[1] = 3;

    bool ok = true;
    {
        KvoGeode empty("empty");
        ok = ok && SaveSeed(empty, dir / "empty.kvo");
    }
    {
        KvoGeode one("one");
        one.SetMaterials(1, materials);
        one.SetGeobs(1, geobs);
        ok = ok && SaveSeed(one, dir / "one_geob.kvo");
    }
    {
        KvoGeode rich("rich");
        rich.SetMaterials(3, materials);
        rich.SetGeobs(3, geobs);
        ok = ok && SaveSeed(rich, dir / "rich.kvo");
    }
    if (ok) {
        const Bytes rich = ReadAll(dir / "rich.kvo");
        WriteAll(dir / "zero_end.kvo", ReplaceTag(rich, "EKVO", "\0\0\0\0"));
        WriteAll(dir / "gob0.kvo", ReplaceTag(rich, "GOB1", "GOB0"));
        WriteAll(dir / "unknown_chunk.kvo", ReplaceTag(rich, "MUVW", "XUVW"));
    }
    for (KvoGeob& g : geobs) g.FreeArrays();
    return ok ? 0 : 1;
}
