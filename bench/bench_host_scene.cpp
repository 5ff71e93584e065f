// The console host's step between the import process's answer and the
// plug-in: the scene form of a 1,000,000-triangle grid (positions, normals,
// texture coordinates, as a glTF import gives it) decoded, then the host scene
// built from the decoded scene, which
//   BM_DecodeAndBuild/read  only reads (the scene and the host scene both whole
//                           until the scene goes),
//   BM_DecodeAndBuild/take  takes over (each array released once converted).
// CPU time per run, and the most heap live at once above the level before it
// (bench/heap_peak), with the host scene and the scene dropped at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "bench/heap_peak.h"
#include "platform/max/host_scene.h"
#include "scene/host_scene_builder.h"
#include "scene/scene_decoder.h"
#include "scene/scene_encoder.h"

namespace {

constexpr uint32_t kColumns = 1000, kRows = 500;

std::vector<uint8_t> GridForm() {
    kvoscene::Scene scene;
    kvoscene::Node node;
    node.name = "Grid";
    node.kind = kvoscene::NodeKind::Geometry;
    kvoscene::Mesh& m = node.mesh;
    const uint32_t across = kColumns + 1;
    for (uint32_t y = 0; y <= kRows; ++y) {
        for (uint32_t x = 0; x <= kColumns; ++x) {
            const float h = std::sin(float(x) * 0.01f) * std::cos(float(y) * 0.02f);
            m.positions.insert(m.positions.end(), {float(x) * 0.1f, float(y) * 0.1f, h});
            m.normals.insert(m.normals.end(), {-0.01f * h, -0.02f * h, 1.0f});
            m.uvs.insert(m.uvs.end(), {float(x) / kColumns, float(y) / kRows, 0.0f});
        }
    }
    for (uint32_t y = 0; y < kRows; ++y) {
        for (uint32_t x = 0; x < kColumns; ++x) {
            const uint32_t a = y * across + x, b = a + 1, c = a + across, d = c + 1;
            m.faces.insert(m.faces.end(), {a, c, b, b, c, d});
            m.materialIds.insert(m.materialIds.end(), {0, 0});
            m.smoothing.insert(m.smoothing.end(), {1, 1});
        }
    }
    m.uvFaceMode = kvoscene::ChannelFaces::SameAsPositions;
    scene.nodes.push_back(std::move(node));
    return kvoscene::EncodeScene(scene);
}

void BM_DecodeAndBuild(benchmark::State& state) {
    static const std::vector<uint8_t> form = GridForm();
    const bool take = state.range(0) == 1;
    double peakMB = 0;
    for (auto _ : state) {
        heap_peak::ResetPeak();
        const size_t before = heap_peak::LiveBytes();
        {
            kvoscene::Scene scene;
            std::string error;
            if (!kvoscene::DecodeScene(form.data(), form.size(), scene, error)) {
                state.SkipWithError(error.c_str());
                break;
            }
            HostScene host;
            if (take) {
                kvoscene::BuildHostScene(std::move(scene), host);
            } else {
                kvoscene::BuildHostScene(scene, host);
            }
            scene = kvoscene::Scene();
            benchmark::DoNotOptimize(host.GetRootNode());
        }
        peakMB = double(heap_peak::PeakBytes() - before) / (1024.0 * 1024.0);
    }
    state.counters["form_MB"] = double(form.size()) / (1024.0 * 1024.0);
    state.counters["peak_MB"] = peakMB;
    state.SetLabel(take ? "take" : "read");
}
BENCHMARK(BM_DecodeAndBuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
