// Geode assembly of one node of 1,000,000 faces in 4 material groups, with
// texture coordinates (seams every 100 columns), smoothing-group bands, "Normals"
// and "Optimize" on, saved to a temporary file; beside it meshoptimizer's
// de-duplication of the same corners as an unindexed stream. Thread CPU time.
// BM_BuildGeode_memory runs the assembly once and reports its peak heap above
// the level before the call (bench/heap_peak counts it) against the size of
// the mesh it reads.
#include <benchmark/benchmark.h>
#include <meshoptimizer.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/heap_peak.h"
#include "export/geob_builder.h"
#include "export/geode_assembly.h"
#include "generators/generate_geometry.h"
#include "generators/generate_log.h"
#include "generators/generate_shader.h"

namespace {

constexpr int kColumns = 1000;
constexpr int kRows = 500;  // 2 x 1000 x 500 = 1,000,000 faces
constexpr int kSeamEvery = 100;
constexpr int kBandRows = 25;
constexpr int kGroupRows = kRows / 4;

double CpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The exporter's side as cheap as it gets: a message pump that does nothing.
class BenchContext : public ExportContext {
public:
    const ExportOptions& Options() const override { return options; }
    const char* OutputDir() const override { return ""; }
    ILogger& ExportLog() override { return log; }
    GenerateShader& ShaderFile() override { return shader; }
    GenerateGeometry& GeometryFile() override { return geometry; }
    INode* SceneRoot() override { return nullptr; }
    bool HostCancelFlag() override { return false; }
    bool IsRunning() const override { return running; }
    void SetRunning(bool value) override { running = value; }
    PreparedNodeList& PreparedNodes() override { return nodes; }
    uint32_t& ObjectCount() override { return objectCount; }
    uint32_t& ObjectsDone() override { return objectsDone; }
    bool CheckOutputDir(HWND) override { return true; }
    void ShowError(HWND, const char*) override {}
    void SaveSettings() override {}
    bool IsCancelled() override { return !running; }
    void SetDetailText(const char*) override {}
    void SetStatusText(const char*) override {}
    void ShowProgress() override {}
    void BeginObject(uint32_t faceCount) override {
        extraSteps = static_cast<uint32_t>(faceCount * static_cast<double>(0.1f));
        stepsDone = 0;
    }
    void StepProgress(uint32_t steps) override { stepsDone += steps; }
    uint32_t ObjectExtraSteps() const override { return extraSteps; }
    void NextObject() override {}
    void FinishProgress(const char*) override { running = false; }

    ExportOptions options;
    bool running = true;
    PreparedNodeList nodes;
    uint32_t objectCount = 1, objectsDone = 0, extraSteps = 0, stepsDone = 0;
    GenerateShader shader;
    GenerateGeometry geometry;
    GenerateLog log;
};

struct Scene {
    Scene() {
        BuildMesh();
        mesh.buildNormals();
        prepared.node = nullptr;
        prepared.mesh = &mesh;
        prepared.objectTM = TransMatrix(Point3(1, 2, 3));
        for (size_t f = 0; f < mesh.faces.size(); ++f) {
            prepared.facesByMaterial[mesh.faces[f].getMatID()].push_back(static_cast<int32_t>(f));
            ++prepared.faceCount;
        }
        context.options.localize = false;
        context.options.optimize = true;
        context.options.exportNormals = true;
        dir = std::filesystem::temp_directory_path() / ("kvoexp_bench_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
    }
    ~Scene() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    void BuildMesh() {
        const int across = kColumns + 1;
        const int seams = kColumns / kSeamEvery - 1;  // interior seam columns
        const int vertexCount = across * (kRows + 1);
        mesh.setNumVerts(vertexCount);
        mesh.setNumFaces(2 * kColumns * kRows);
        mesh.setNumTVerts(vertexCount + seams * (kRows + 1));
        for (int y = 0; y <= kRows; ++y) {
            for (int x = 0; x <= kColumns; ++x) {
                const int v = y * across + x;
                mesh.verts[v] = Point3(float(x), float(y), float((x * 7 + y * 3) % 11) * 0.1f);
                mesh.tVerts[v] = Point3(float(x) / kSeamEvery, float(y) / kRows, 0);
            }
        }
        // A second texture vertex on each seam column, used by the faces right of it.
        for (int s = 0; s < seams; ++s) {
            for (int y = 0; y <= kRows; ++y) {
                mesh.tVerts[vertexCount + s * (kRows + 1) + y] = Point3(0, float(y) / kRows, 0);
            }
        }
        auto texVert = [&](int x, int y, int faceColumn) {
            const bool rightOfSeam =
                x % kSeamEvery == 0 && x > 0 && x < kColumns && faceColumn == x;
            return rightOfSeam ? DWORD(vertexCount + (x / kSeamEvery - 1) * (kRows + 1) + y)
                               : DWORD(y * across + x);
        };
        int f = 0;
        for (int y = 0; y < kRows; ++y) {
            const DWORD smoothing = 1u << ((y / kBandRows) % 4);
            const MtlID id = static_cast<MtlID>(y / kGroupRows);
            for (int x = 0; x < kColumns; ++x, f += 2) {
                const DWORD a = y * across + x, b = a + 1, c = a + across, d = c + 1;
                mesh.faces[f].setVerts(a, b, d);
                mesh.faces[f + 1].setVerts(a, d, c);
                mesh.tvFace[f].setTVerts(texVert(x, y, x), texVert(x + 1, y, x),
                                         texVert(x + 1, y + 1, x));
                mesh.tvFace[f + 1].setTVerts(texVert(x, y, x), texVert(x + 1, y + 1, x),
                                             texVert(x, y + 1, x));
                for (int k = 0; k < 2; ++k) {
                    mesh.faces[f + k].setSmGroup(smoothing);
                    mesh.faces[f + k].setMatID(id);
                }
            }
        }
    }

    // Bytes of the mesh arrays the assembly reads, normals included.
    size_t MeshBytes() {
        size_t bytes = mesh.verts.size() * sizeof(Point3) + mesh.faces.size() * sizeof(Face) +
                       mesh.tVerts.size() * sizeof(UVVert) + mesh.tvFace.size() * sizeof(TVFace) +
                       mesh.faces.size() * sizeof(Point3);  // face normals
        for (int v = 0; v < mesh.numVerts; ++v) {
            bytes += sizeof(RVertex) + mesh.getRVert(v).ern.capacity() * sizeof(RNormal);
        }
        return bytes;
    }

    bool Assemble() {
        context.BeginObject(prepared.faceCount);
        KvoGeode geode((dir / "bench.kvo").string());
        return exporter::BuildGeode(context, geode, prepared);
    }

    Mesh mesh;
    PreparedNode prepared;
    BenchContext context;
    std::filesystem::path dir;
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

// The unindexed corner stream: position, texture coordinate and normal per corner,
// as the exporter's output vertex holds them.
struct CornerVertex {
    float position[3];
    float uv[2];
    float normal[3];
};

const std::vector<CornerVertex>& CornerStream() {
    static const std::vector<CornerVertex> stream = [] {
        Scene& scene = TheScene();
        Mesh& mesh = scene.mesh;
        std::vector<CornerVertex> corners;
        corners.reserve(mesh.faces.size() * 3);
        for (size_t f = 0; f < mesh.faces.size(); ++f) {
            for (int j = 0; j < 3; ++j) {
                const DWORD v = mesh.faces[f].v[j];
                const Point3 p = scene.prepared.objectTM * mesh.verts[v];
                const Point3 uv = mesh.tVerts[mesh.tvFace[f].t[j]];
                const Point3 n = exporter::GetVertexNormal(mesh, int(f), mesh.getRVert(int(v)));
                corners.push_back({{p.x, p.z, -p.y}, {uv.x, uv.y}, {n.x, n.z, -n.y}});
            }
        }
        return corners;
    }();
    return stream;
}

void ReportFaces(benchmark::State& state) {
    state.counters["faces_per_second"] =
        benchmark::Counter(double(TheScene().prepared.faceCount) * double(state.iterations()),
                           benchmark::Counter::kIsRate);
}

void BM_BuildGeode(benchmark::State& state) {
    Scene& scene = TheScene();
    for (auto _ : state) {
        const double start = CpuSeconds();
        if (!scene.Assemble()) state.SkipWithError("assembly failed");
        state.SetIterationTime(CpuSeconds() - start);
    }
    ReportFaces(state);
}
BENCHMARK(BM_BuildGeode)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

void BM_BuildGeode_without_optimizer(benchmark::State& state) {
    Scene& scene = TheScene();
    scene.context.options.optimize = false;
    for (auto _ : state) {
        const double start = CpuSeconds();
        if (!scene.Assemble()) state.SkipWithError("assembly failed");
        state.SetIterationTime(CpuSeconds() - start);
    }
    scene.context.options.optimize = true;
    ReportFaces(state);
}
BENCHMARK(BM_BuildGeode_without_optimizer)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(2.0);

void BM_meshoptimizer_remap(benchmark::State& state) {
    const std::vector<CornerVertex>& corners = CornerStream();
    const size_t count = corners.size();
    std::vector<unsigned int> remap(count), indices(count);
    std::vector<CornerVertex> vertices(count);
    size_t unique = 0;
    for (auto _ : state) {
        const double start = CpuSeconds();
        unique = meshopt_generateVertexRemap(remap.data(), nullptr, count, corners.data(), count,
                                             sizeof(CornerVertex));
        meshopt_remapIndexBuffer(indices.data(), nullptr, count, remap.data());
        meshopt_remapVertexBuffer(vertices.data(), corners.data(), count, sizeof(CornerVertex),
                                  remap.data());
        state.SetIterationTime(CpuSeconds() - start);
        benchmark::DoNotOptimize(vertices.data());
    }
    state.counters["unique_vertices"] = double(unique);
    ReportFaces(state);
}
BENCHMARK(BM_meshoptimizer_remap)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

void BM_BuildGeode_memory(benchmark::State& state) {
    Scene& scene = TheScene();
    for (auto _ : state) {
        // Heap bytes live at once during the assembly, above the level before it.
        heap_peak::ResetPeak();
        const size_t before = heap_peak::LiveBytes();
        if (!scene.Assemble()) state.SkipWithError("assembly failed");
        const double meshMB = double(scene.MeshBytes()) / (1024.0 * 1024.0);
        const double extraMB = double(heap_peak::PeakBytes() - before) / (1024.0 * 1024.0);
        state.counters["mesh_MB"] = meshMB;
        state.counters["peak_extra_MB"] = extraMB;
        state.counters["peak_to_mesh"] = extraMB / meshMB;
    }
}
BENCHMARK(BM_BuildGeode_memory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
