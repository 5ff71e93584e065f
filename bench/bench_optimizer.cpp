// Optimising one full exported geob: 21,845 triangles, every corner its own
// vertex, about 11,000 distinct (position, texture coordinate, normal) values.
// Only the optimisation itself is timed (thread CPU time); fresh copies are made
// outside the clock.
#include <benchmark/benchmark.h>
#include <meshoptimizer.h>
#include <time.h>

#include <cstring>
#include <vector>

#include "kvo/kvo_geode.h"
#include "tests/kvo/literal_optimizer.h"
#include "tests/kvo/optimizer_corner_mesh.h"
#include "tests/kvo/optimizer_support.h"

namespace {

constexpr int32_t kTriangles = 21845;
constexpr int32_t kDistinctValues = 11000;

const KvoGeob& SourceMesh() {
    static OwnedGeob mesh;
    static const bool filled = (FillCornerMesh(mesh.geob, kTriangles, kDistinctValues, 7), true);
    (void)filled;
    return mesh.geob;
}

// Thread CPU time: the machine is shared, and waiting for a core is not our cost.
double CpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void ReportCounts(benchmark::State& state, const int32_t counts[3], int32_t vertices) {
    state.counters["indices_eqd"] = counts[0];
    state.counters["vertices_removed"] = counts[1];
    state.counters["vertices_left"] = vertices;
}

void BM_Optimize_ours(benchmark::State& state) {
    const KvoGeob& source = SourceMesh();
    int32_t counts[3] = {};
    int32_t vertices = 0;
    for (auto _ : state) {
        OwnedGeob copy;
        CopyGeob(source, copy.geob);
        KvoGeode geode("bench.kvo");
        geode.geobs[0] = &copy.geob;
        geode.geobCount = 1;
        counts[0] = counts[1] = counts[2] = 0;
        const double start = CpuSeconds();
        geode.Optimize(&counts[0], &counts[1], &counts[2]);
        state.SetIterationTime(CpuSeconds() - start);
        vertices = copy.geob.vertexCount;
    }
    ReportCounts(state, counts, vertices);
}

// The same job through meshoptimizer on the same data packed into one
// interleaved stream with 32-bit indices: weld by remap, then fetch order.
void BM_Optimize_meshoptimizer(benchmark::State& state) {
    const KvoGeob& source = SourceMesh();
    const size_t vertexCount = size_t(source.vertexCount);
    const size_t indexCount = size_t(source.indexCount);
    constexpr size_t kStride = 8;
    std::vector<float> packed(vertexCount * kStride);
    for (size_t v = 0; v < vertexCount; ++v) {
        std::memcpy(&packed[v * kStride], source.vertices + v * 3, 3 * sizeof(float));
        std::memcpy(&packed[v * kStride + 3], source.texCoords + v * 2, 2 * sizeof(float));
        std::memcpy(&packed[v * kStride + 5], source.normals + v * 3, 3 * sizeof(float));
    }
    const std::vector<unsigned int> sourceIndices(source.indices, source.indices + indexCount);
    std::vector<unsigned int> indices(indexCount);
    std::vector<unsigned int> remap(vertexCount);
    std::vector<float> welded(vertexCount * kStride);
    std::vector<float> ordered(vertexCount * kStride);
    size_t unique = 0;
    for (auto _ : state) {
        indices = sourceIndices;
        const double start = CpuSeconds();
        unique = meshopt_generateVertexRemap(remap.data(), indices.data(), indexCount,
                                             packed.data(), vertexCount, kStride * sizeof(float));
        meshopt_remapIndexBuffer(indices.data(), indices.data(), indexCount, remap.data());
        meshopt_remapVertexBuffer(welded.data(), packed.data(), vertexCount,
                                  kStride * sizeof(float), remap.data());
        meshopt_optimizeVertexFetch(ordered.data(), indices.data(), indexCount, welded.data(),
                                    unique, kStride * sizeof(float));
        state.SetIterationTime(CpuSeconds() - start);
        benchmark::DoNotOptimize(ordered.data());
    }
    state.counters["vertices_left"] = double(unique);
}

// The pairwise reference; afterwards checks that ours gives the same geob.
void BM_Optimize_literal(benchmark::State& state) {
    const KvoGeob& source = SourceMesh();
    int32_t counts[3] = {};
    int32_t vertices = 0;
    for (auto _ : state) {
        OwnedGeob copy;
        CopyGeob(source, copy.geob);
        KvoGeode geode("bench.kvo");
        geode.geobs[0] = &copy.geob;
        geode.geobCount = 1;
        counts[0] = counts[1] = counts[2] = 0;
        const double start = CpuSeconds();
        literal::Optimize(geode, &counts[0], &counts[1], &counts[2]);
        state.SetIterationTime(CpuSeconds() - start);
        vertices = copy.geob.vertexCount;

        OwnedGeob ours;
        CopyGeob(source, ours.geob);
        int32_t oursCounts[3] = {};
        geode.OptimizeGeob(&ours.geob, &oursCounts[0], &oursCounts[1], &oursCounts[2]);
        if (std::memcmp(counts, oursCounts, sizeof(counts)) != 0 ||
            !DescribeDifference(ours.geob, copy.geob).empty()) {
            state.SkipWithError("the optimiser's result differs from the literal reference");
        }
    }
    ReportCounts(state, counts, vertices);
}

}  // namespace

BENCHMARK(BM_Optimize_ours)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Optimize_meshoptimizer)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Optimize_literal)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
