// Throughput of KvoGeode::Save and KvoGeode::Load on a large geode (20 geobs
// of 21,845 triangles with every stream), beside a plain memcpy and a single
// fwrite of the same number of bytes. Goals: Load at least half the memcpy
// rate, Save within 1.5x of the single fwrite.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "kvo/kvo_geode.h"

namespace {

constexpr int kGeobs = 20;
constexpr int kTriangles = 21845;
constexpr int kVertices = 3 * kTriangles;

template <typename T>
T* Filled(size_t count, uint32_t seed) {
    T* data = static_cast<T*>(std::malloc(count * sizeof(T)));
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        data[i] = static_cast<T>(seed >> 8) / static_cast<T>(65536);
    }
    return data;
}

// The large geode, its file and the file's size, made once.
struct Fixture {
    std::vector<KvoMaterial> materials = std::vector<KvoMaterial>(kGeobs);
    std::vector<KvoGeob> geobs = std::vector<KvoGeob>(kGeobs);
    KvoGeode geode{""};
    std::string directory;
    std::string file;
    size_t fileSize = 0;

    Fixture() {
        for (int g = 0; g < kGeobs; ++g) {
            KvoGeob& geob = geobs[g];
            materials[g].name = "material_" + std::to_string(g);
            materials[g].textureCount = 1;
            materials[g].textures[0] = new std::string("textures\\diffuse.tga");
            geob.materialIndex = g;
            geob.indexCount = geob.vertexCount = kVertices;
            geob.normalCount = geob.colorCount = geob.texCoordCount = kVertices;
            geob.indices = static_cast<uint16_t*>(std::malloc(2 * size_t{kVertices}));
            for (int i = 0; i < kVertices; ++i) geob.indices[i] = static_cast<uint16_t>(i);
            geob.vertices = Filled<float>(3 * size_t{kVertices}, g);
            geob.normals = Filled<float>(3 * size_t{kVertices}, g + 100);
            geob.colors = Filled<float>(3 * size_t{kVertices}, g + 200);
            geob.texCoords = Filled<float>(2 * size_t{kVertices}, g + 300);
            geob.burstLength[0] = 3 * kVertices;
        }
        geode.SetMaterials(kGeobs, materials.data());
        geode.SetGeobs(kGeobs, geobs.data());
        directory = (std::filesystem::temp_directory_path() / "bench_kvo_io").string();
        std::filesystem::create_directories(directory);
        file = directory + "/large.kvo";
        if (!geode.Save(file)) std::abort();
        fileSize = static_cast<size_t>(std::filesystem::file_size(file));
    }
    ~Fixture() {
        for (KvoGeob& g : geobs) g.FreeArrays();
        std::filesystem::remove_all(directory);
    }
};

Fixture& Large() {
    static Fixture fixture;
    return fixture;
}

void BM_Memcpy(benchmark::State& state) {
    const size_t size = Large().fileSize;
    std::vector<char> source(size, 1), destination(size, 0);
    for (auto _ : state) {
        std::memcpy(destination.data(), source.data(), size);
        benchmark::DoNotOptimize(destination.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// The same copy into memory that was just allocated, as every load must do:
// here the page faults of fresh memory cost more than the copy itself.
void BM_MemcpyToFreshMemory(benchmark::State& state) {
    const size_t size = Large().fileSize;
    std::vector<char> source(size, 1);
    for (auto _ : state) {
        char* destination = static_cast<char*>(std::malloc(size));
        std::memcpy(destination, source.data(), size);
        benchmark::DoNotOptimize(destination);
        benchmark::ClobberMemory();
        std::free(destination);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_SingleFwrite(benchmark::State& state) {
    const size_t size = Large().fileSize;
    const std::string path = Large().directory + "/fwrite.bin";
    std::vector<char> bytes(size, 1);
    for (auto _ : state) {
        FILE* stream = std::fopen(path.c_str(), "wb");
        if (!stream || std::fwrite(bytes.data(), 1, size, stream) != size) {
            state.SkipWithError("fwrite failed");
        }
        if (stream) std::fclose(stream);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_Save(benchmark::State& state) {
    Fixture& large = Large();
    const std::string path = large.directory + "/saved.kvo";
    for (auto _ : state) {
        if (!large.geode.Save(path)) state.SkipWithError(large.geode.error.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * large.fileSize));
}

// The whole load: open and read the file into the buffer, then parse it.
void BM_Load(benchmark::State& state) {
    Fixture& large = Large();
    for (auto _ : state) {
        auto geode = std::make_unique<KvoGeode>(large.file);
        if (!geode->Load()) state.SkipWithError(geode->error.c_str());
        state.PauseTiming();
        geode.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * large.fileSize));
}

// Parsing alone, from a buffer read once (each Load also frees the previous records).
void BM_LoadFromBuffer(benchmark::State& state) {
    Fixture& large = Large();
    KvoGeode geode(large.file);
    geode.ReadFile();
    for (auto _ : state) {
        if (!geode.Load()) state.SkipWithError(geode.error.c_str());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * large.fileSize));
}

}  // namespace

// Wall-clock rates: the file system and page faults are part of the cost.
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemcpyToFreshMemory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SingleFwrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadFromBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
