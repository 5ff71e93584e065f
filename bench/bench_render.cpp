// `kvo render` of a 1,000,000-triangle file at 1024 x 1024 in each mode, as
// the command does it: load, extract, create the OSMesa context, draw, read
// back. Wall-clock time, since llvmpipe draws on several threads. Beside it the
// share of loading and extraction alone.
#include <benchmark/benchmark.h>
#include <stb_image_write.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kvo/kvo_geode.h"
#include "view/mesh_parts.h"
#include "view/render.h"

namespace {

// A wavy 1000 x 500 quad grid cut into 50 geobs of 10 quad rows (20,000 triangles).
constexpr int kColumns = 1000;
constexpr int kRows = 500;
constexpr int kRowsPerGeob = 10;

float Height(float x, float z) {
    return 0.05f * std::sin(x * 12.0f) * std::cos(z * 9.0f);
}

void FillGeob(KvoGeob& g, int firstRow) {
    const int vertexColumns = kColumns + 1, vertexRows = kRowsPerGeob + 1;
    g.vertexCount = g.normalCount = g.texCoordCount = vertexColumns * vertexRows;
    g.vertices = static_cast<float*>(std::malloc(sizeof(float) * 3 * g.vertexCount));
    g.normals = static_cast<float*>(std::malloc(sizeof(float) * 3 * g.vertexCount));
    g.texCoords = static_cast<float*>(std::malloc(sizeof(float) * 2 * g.vertexCount));
    for (int r = 0; r < vertexRows; ++r) {
        for (int c = 0; c < vertexColumns; ++c) {
            const int v = r * vertexColumns + c;
            const float x = static_cast<float>(c) / kColumns * 2 - 1;
            const float z = static_cast<float>(firstRow + r) / kRows - 0.5f;
            g.vertices[3 * v] = x;
            g.vertices[3 * v + 1] = Height(x, z);
            g.vertices[3 * v + 2] = z;
            const float dx = 0.6f * std::cos(x * 12.0f) * std::cos(z * 9.0f);
            const float dz = -0.45f * std::sin(x * 12.0f) * std::sin(z * 9.0f);
            const float length = std::sqrt(dx * dx + 1 + dz * dz);
            g.normals[3 * v] = -dx / length;
            g.normals[3 * v + 1] = 1 / length;
            g.normals[3 * v + 2] = -dz / length;
            g.texCoords[2 * v] = x * 4;
            g.texCoords[2 * v + 1] = z * 4;
        }
    }
    g.indexCount = kColumns * kRowsPerGeob * 6;
    g.indices = static_cast<uint16_t*>(std::malloc(sizeof(uint16_t) * g.indexCount));
    int i = 0;
    for (int r = 0; r < kRowsPerGeob; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            const auto at = [&](int rr, int cc) {
                return static_cast<uint16_t>(rr * vertexColumns + cc);
            };
            for (uint16_t v : {at(r, c), at(r + 1, c), at(r + 1, c + 1), at(r, c), at(r + 1, c + 1),
                               at(r, c + 1)}) {
                g.indices[i++] = v;
            }
        }
    }
    g.burstLength[0] = 3 * g.vertexCount;
}

// The file and its texture, written once into a temporary folder.
const std::string& BenchFile() {
    static const std::string path = [] {
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() / "kvoexp_bench_render";
        std::filesystem::create_directories(dir);
        std::vector<uint8_t> pixels(512 * 512 * 3);
        for (size_t p = 0; p < pixels.size(); ++p) pixels[p] = static_cast<uint8_t>(p * 7 % 251);
        stbi_write_png((dir / "ground.png").c_str(), 512, 512, 3, pixels.data(), 512 * 3);
        constexpr int kGeobs = kRows / kRowsPerGeob;
        std::vector<KvoGeob> geobs(kGeobs);
        KvoMaterial material;
        material.name = "ground";
        material.textureCount = 1;
        material.textures[0] = new std::string("ground.png");
        for (int g = 0; g < kGeobs; ++g) FillGeob(geobs[g], g * kRowsPerGeob);
        const std::string file = (dir / "million.kvo").string();
        KvoGeode geode(file);
        geode.SetMaterials(1, &material);
        geode.SetGeobs(kGeobs, geobs.data());
        if (!geode.Save(file)) std::abort();
        for (KvoGeob& g : geobs) g.FreeArrays();
        return file;
    }();
    return path;
}

void BM_RenderMillionTriangles(benchmark::State& state) {
    kvoview::RenderOptions options;
    options.width = options.height = 1024;
    options.mode = static_cast<kvoview::Mode>(state.range(0));
    const std::vector<std::string> files = {BenchFile()};
    for (auto _ : state) {
        kvoview::Image image;
        std::vector<std::string> warnings;
        std::string error;
        if (!kvoview::RenderKvoFiles(files, options, &image, &warnings, &error) ||
            !warnings.empty()) {
            state.SkipWithError("render failed");
            break;
        }
        benchmark::DoNotOptimize(image.rgba.data());
    }
    static const char* const kModes[] = {"shaded", "normals", "uv", "wireframe"};
    state.SetLabel(kModes[state.range(0)]);
    state.counters["triangles/s"] =
        benchmark::Counter(1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RenderMillionTriangles)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

void BM_LoadAndExtractMillionTriangles(benchmark::State& state) {
    for (auto _ : state) {
        KvoGeode geode(BenchFile());
        if (!geode.Load()) {
            state.SkipWithError("load failed");
            break;
        }
        kvoview::MeshSet set;
        std::vector<std::string> warnings;
        kvoview::ExtractMeshParts(geode, "million.kvo", ".", &set, &warnings);
        benchmark::DoNotOptimize(set.parts.data());
    }
}
BENCHMARK(BM_LoadAndExtractMillionTriangles)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadMillionTriangles(benchmark::State& state) {
    for (auto _ : state) {
        KvoGeode geode(BenchFile());
        if (!geode.Load()) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(geode.geobs[0]);
    }
}
BENCHMARK(BM_LoadMillionTriangles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
