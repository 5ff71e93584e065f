// The console host's OBJ reader against the importer on the same files: a
// height field of about 37,000 triangles (3.7 MB of v/vt/vn text) and one of
// 1,000,000 triangles (about 105 MB), written as bench/big_scenes.py writes
// its OBJ, and, for our reader alone, 100,000 objects of one quad each (the
// importer's OBJ reader is quadratic in objects). Each file is read
// whole into the scene form by
//   BM_OurReader      ReadObjFile (what the import worker now does),
//   BM_AssimpPath     ImportWithAssimp (ReadFile, its second pass over the v
//                     numbers, and the conversion: what it did before),
//   BM_AssimpReadFile Assimp's ReadFile alone.
// CPU time of the process (the Assimp path reads its numbers again on a second
// thread). The files are written once into a temporary folder.
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>
#include <mimalloc.h>
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/program/allocator_tuning.h"
#include "cli/import/assimp_import.h"
#include "cli/import/obj_reader.h"

namespace {

// A gently curved height field of columns x rows quads, two triangles each.
void WriteGrid(const std::string& path, int columns, int rows) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) std::abort();
    std::fprintf(f, "o Grid\n");
    const auto height = [](int x, int y) { return std::sin(x * 0.01) * std::cos(y * 0.02); };
    for (int y = 0; y <= rows; ++y) {
        for (int x = 0; x <= columns; ++x) {
            std::fprintf(f, "v %.6f %.6f %.6f\n", x * 0.1, height(x, y), y * 0.1);
        }
    }
    for (int y = 0; y <= rows; ++y) {
        for (int x = 0; x <= columns; ++x) {
            std::fprintf(f, "vt %.6f %.6f\n", double(x) / columns, double(y) / rows);
        }
    }
    for (int y = 0; y <= rows; ++y) {
        for (int x = 0; x <= columns; ++x) {
            const double h = height(x, y);
            const double nx = -0.01 * h, ny = 1.0, nz = 0.02 * h;
            const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
            std::fprintf(f, "vn %.6f %.6f %.6f\n", nx / length, ny / length, nz / length);
        }
    }
    const int across = columns + 1;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            const int a = y * across + x + 1, b = a + 1, c = a + across, d = c + 1;
            std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, c, c, c, b, b, b);
            std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", b, b, b, c, c, c, d, d, d);
        }
    }
    std::fclose(f);
}

// `count` objects of one quad and material each.
void WriteManyObjects(const std::string& path, int count) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) std::abort();
    for (int i = 0; i < count; ++i) {
        std::fprintf(f, "o Part_%d\nv %d 0 0\nv %d.5 0 0\nv %d.5 1 0\nv %d 1 0\nusemtl m%d\n", i, i,
                     i, i, i, i % 7);
        std::fprintf(f, "f %d %d %d %d\n", 4 * i + 1, 4 * i + 2, 4 * i + 3, 4 * i + 4);
    }
    std::fclose(f);
}

struct Files {
    std::filesystem::path dir;
    std::string medium, large, many;
    Files() {
        char name[] = "/tmp/bench_obj_reader_XXXXXX";
        if (mkdtemp(name) == nullptr) std::abort();
        dir = name;
        medium = (dir / "grid_40k.obj").string();
        large = (dir / "grid_1m.obj").string();
        WriteGrid(medium, 200, 100);
        WriteGrid(large, 1000, 500);
        many = (dir / "objects_100k.obj").string();
        WriteManyObjects(many, 100000);
    }
    ~Files() { std::filesystem::remove_all(dir); }
};

const Files& TheFiles() {
    static const Files files;
    return files;
}

const std::string& FileOf(const benchmark::State& state) {
    const Files& files = TheFiles();
    return state.range(0) == 0 ? files.medium : state.range(0) == 1 ? files.large : files.many;
}

void Label(benchmark::State& state, size_t triangles) {
    state.SetLabel(std::to_string(std::filesystem::file_size(FileOf(state)) / 1000) + " kB, " +
                   std::to_string(triangles) + " triangles");
}

size_t Triangles(const kvoscene::Scene& scene) {
    size_t triangles = 0;
    for (const kvoscene::Node& node : scene.nodes) triangles += node.mesh.FaceCount();
    return triangles;
}

void BM_OurReader(benchmark::State& state) {
    const std::string& path = FileOf(state);
    size_t triangles = 0;
    for (auto _ : state) {
        kvoscene::Scene scene;
        std::string message;
        if (kvoimport::ReadObjFile(path, {}, scene, message) != kvoimport::ObjRead::Done) {
            state.SkipWithError(message.c_str());
            return;
        }
        triangles = Triangles(scene);
    }
    Label(state, triangles);
}

void BM_AssimpPath(benchmark::State& state) {
    const std::string& path = FileOf(state);
    size_t triangles = 0;
    for (auto _ : state) {
        kvoscene::Scene scene;
        std::string error;
        if (!kvoimport::ImportWithAssimp(path, {}, scene, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        triangles = Triangles(scene);
    }
    Label(state, triangles);
}

void BM_AssimpReadFile(benchmark::State& state) {
    const std::string& path = FileOf(state);
    size_t triangles = 0;
    for (auto _ : state) {
        Assimp::Importer importer;
        importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
        const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate);
        if (scene == nullptr) {
            state.SkipWithError(importer.GetErrorString());
            return;
        }
        triangles = 0;
        for (unsigned m = 0; m < scene->mNumMeshes; ++m) triangles += scene->mMeshes[m]->mNumFaces;
    }
    Label(state, triangles);
}

// 0: the 3.7 MB file, 1: the 1,000,000-triangle file, 2: 100,000 objects.
BENCHMARK(BM_OurReader)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK(BM_AssimpPath)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_AssimpReadFile)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) {
    // Used, so the allocator that replaces malloc stays linked.
    if (mi_version() <= 0) return 2;
    kvocli::TuneAllocator();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
