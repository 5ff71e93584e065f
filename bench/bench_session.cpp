// The plug-in's step of a real session: the built module loaded at run time,
// its panel opened, Export pressed, and DoExport timed (wall clock) from the
// press to its return: pre-processing with Mesh::buildNormals, the progress
// dialog refreshed per face, the console host's own message pump per poll
// (its run observer: the Ctrl-C check, a clock read every 256 calls and the
// terminal line, here drawn into /dev/null, ten times a second), geob building,
// optimisation and the save. Each benchmark also reports the run's peak heap
// above the level before the press (counted by bench/heap_peak).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/heap_peak.h"
#ifdef KVOEXP_WITH_MIMALLOC
#include "cli/program/allocator_tuning.h"
#endif
#include "cli/program/run_observer.h"
#include "hostdrive/panel_driver.h"
#include "platform/max/host_scene.h"
#include "platform/max/max_sdk.h"
#include "plugin/resource.h"

namespace {

namespace fs = std::filesystem;

// A grid of 1000 x 500 quads: 1,000,000 faces over 501,501 vertices.
constexpr int kColumns = 1000;
constexpr int kRows = 500;
constexpr int kBoxes = 10000;

// The loaded module with its panel open on a scratch configuration and output directory.
class Session {
public:
    Session()
        : sink_(std::fopen("/dev/null", "w")), pump_(&interrupted_, true, sink_), panel_(host_) {
        // Memory-backed where there is such a file system: the plug-in's work is timed,
        // not the disk's.
        std::error_code error;
        const fs::path base =
            fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
        scratch_ = base / ("kvoexp_bench_session_" + std::to_string(getpid()));
        fs::remove_all(scratch_);
        fs::create_directories(scratch_ / "cfg");
        fs::create_directories(scratch_ / "out");
        // Output directory and the default options: Optimize and Normals on.
        std::ofstream(scratch_ / "cfg" / "kvoexp.cfg")
            << (scratch_ / "out").string() << "\n0\n1\n1\n0\n0\n0\n0\n0\n";
        host_.SetPluginConfigDir((scratch_ / "cfg").string());
        host_.SetMessagePump([this] {
            ++pumpCalls_;
            pump_.Pump();
        });
        if (!module_.Load(KVOEXP_MODULE_PATH, error_) || !panel_.Open(module_, error_)) return;
        progress_ = panel_.ProgressDialog();
        if (progress_ == nullptr) error_ = "no progress dialog";
    }
    ~Session() {
        panel_.Close();
        module_.Unload();
        std::error_code ignored;
        fs::remove_all(scratch_, ignored);
        if (sink_ != nullptr) std::fclose(sink_);
    }

    const std::string& error() const { return error_; }
    long pumpCalls() const { return pumpCalls_; }

    // Empties the output directory, as for a first export into it (outside the clock).
    void ClearOutput() {
        for (const auto& entry : fs::directory_iterator(scratch_ / "out")) fs::remove(entry.path());
    }

    // Presses Export on the scene; true when the dialog ends on "Done!".
    bool Export(HostScene& scene) {
        host_.SetScene(&scene);
        pump_.Begin(progress_);
        panel_.PressExport();
        pump_.End();
        return hostdrive::DlgItemText(progress_, IDC_DETAILS) == "Status: Done!";
    }

private:
    fs::path scratch_;
    Interface host_;
    std::FILE* sink_;
    volatile sig_atomic_t interrupted_ = 0;  // never set here: Ctrl-C is not pressed
    kvocli::RunObserver pump_;
    long pumpCalls_ = 0;
    hostdrive::PluginModule module_;
    hostdrive::PanelDriver panel_;
    HWND progress_ = nullptr;
    std::string error_;
};

Session& TheSession() {
    static Session session;
    return session;
}

// A gently curved grid with per-vertex texture coordinates, in four smoothing
// bands; with `fileNormals` every vertex carries a specified normal, as an
// imported glTF or FBX mesh does.
Mesh GridMesh(bool fileNormals) {
    Mesh mesh;
    const int across = kColumns + 1;
    const int vertexCount = across * (kRows + 1);
    mesh.setNumVerts(vertexCount);
    mesh.setNumFaces(2 * kColumns * kRows);
    mesh.setNumTVerts(vertexCount);
    std::vector<Point3> normals(fileNormals ? vertexCount : 0);
    for (int y = 0; y <= kRows; ++y) {
        for (int x = 0; x <= kColumns; ++x) {
            const int v = y * across + x;
            const float height = std::sin(float(x) * 0.01f) * std::cos(float(y) * 0.02f);
            mesh.verts[v] = Point3(float(x), float(y), height);
            mesh.tVerts[v] = Point3(float(x) / kColumns, float(y) / kRows, 0);
            if (fileNormals) normals[v] = Normalize(Point3(-0.01f * height, 0.02f * height, 1));
        }
    }
    int f = 0;
    for (int y = 0; y < kRows; ++y) {
        const DWORD smoothing = 1u << ((y / 25) % 4);
        for (int x = 0; x < kColumns; ++x, f += 2) {
            const DWORD a = y * across + x, b = a + 1, c = a + across, d = c + 1;
            mesh.faces[f].setVerts(a, b, d);
            mesh.faces[f + 1].setVerts(a, d, c);
            mesh.tvFace[f].setTVerts(a, b, d);
            mesh.tvFace[f + 1].setTVerts(a, d, c);
            mesh.faces[f].setSmGroup(smoothing);
            mesh.faces[f + 1].setSmGroup(smoothing);
        }
    }
    if (fileNormals) mesh.SetSpecifiedNormals(std::move(normals));
    return mesh;
}

// A box of 24 vertices (four per side, each with its side's normal from the file)
// and 12 faces in two material IDs.
Mesh BoxMesh(float offset) {
    Mesh mesh;
    mesh.setNumVerts(24);
    mesh.setNumFaces(12);
    mesh.setNumTVerts(24);
    std::vector<Point3> normals(24);
    for (int side = 0; side < 6; ++side) {
        const int axis = side / 2;
        const float sign = side % 2 ? 1.0f : -1.0f;
        Point3 n;
        n[axis] = sign;
        for (int k = 0; k < 4; ++k) {
            Point3 p;
            p[axis] = sign;
            p[(axis + 1) % 3] = k & 1 ? 1.0f : -1.0f;
            p[(axis + 2) % 3] = k & 2 ? 1.0f : -1.0f;
            mesh.verts[4 * side + k] = p + Point3(offset, 0, 0);
            mesh.tVerts[4 * side + k] = Point3(float(k & 1), float(k >> 1), 0);
            normals[4 * side + k] = n;
        }
        const DWORD v = 4 * side;
        mesh.faces[2 * side].setVerts(v, v + 1, v + 3);
        mesh.faces[2 * side + 1].setVerts(v, v + 3, v + 2);
        mesh.tvFace[2 * side].setTVerts(v, v + 1, v + 3);
        mesh.tvFace[2 * side + 1].setTVerts(v, v + 3, v + 2);
        for (int k = 0; k < 2; ++k) {
            mesh.faces[2 * side + k].setSmGroup(1u << side);
            mesh.faces[2 * side + k].setMatID(static_cast<MtlID>(side % 2));
        }
    }
    mesh.SetSpecifiedNormals(std::move(normals));
    return mesh;
}

// A cube of 8 vertices and 12 faces, one smoothing group per side: hard edges
// from smoothing groups alone, as OBJ, STL and 3DS imports give them.
Mesh HardCubeMesh(float offset) {
    Mesh mesh;
    mesh.setNumVerts(8);
    mesh.setNumFaces(12);
    for (int i = 0; i < 8; ++i) {
        mesh.verts[i] = Point3(float(i & 1) + offset, float((i >> 1) & 1), float(i >> 2));
    }
    static const DWORD kQuads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                       {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (int side = 0; side < 6; ++side) {
        const DWORD* q = kQuads[side];
        mesh.faces[2 * side].setVerts(q[0], q[1], q[2]);
        mesh.faces[2 * side + 1].setVerts(q[0], q[2], q[3]);
        for (int k = 0; k < 2; ++k) mesh.faces[2 * side + k].setSmGroup(1u << side);
    }
    return mesh;
}

struct Scene {
    HostScene host;
    size_t faces = 0;

    void Add(const std::string& name, Mesh mesh, Mtl* material) {
        INode* node = host.GetRootNode()->CreateChild(name);
        auto* tri = new TriObject();
        faces += mesh.faces.size();
        tri->GetMesh() = std::move(mesh);
        node->SetObject(tri);
        node->SetMtl(material);
        node->SetSelected(true);
    }
};

StdMtl* Material(HostScene& host, const std::string& name) {
    StdMtl* material = host.Make<StdMtl>();
    material->SetName(CStr(name.c_str()));
    return material;
}

Scene& GridScene(bool fileNormals) {
    static Scene scenes[2];
    Scene& scene = scenes[fileNormals ? 1 : 0];
    if (scene.faces == 0) scene.Add("Grid", GridMesh(fileNormals), Material(scene.host, "Ground"));
    return scene;
}

Scene& BoxScene() {
    static Scene scene;
    if (scene.faces == 0) {
        MultiMtl* crate = scene.host.Make<MultiMtl>();
        crate->SetName(CStr("Crate"));
        crate->SetSubMtl(0, Material(scene.host, "Wood"));
        crate->SetSubMtl(1, Material(scene.host, "Metal"));
        for (int b = 0; b < kBoxes; ++b) {
            scene.Add("Box" + std::to_string(b), BoxMesh(3.0f * float(b)), crate);
        }
    }
    return scene;
}

Scene& HardCubeScene() {
    static Scene scene;
    if (scene.faces == 0) {
        StdMtl* material = Material(scene.host, "Stone");
        for (int b = 0; b < kBoxes; ++b) {
            scene.Add("Cube" + std::to_string(b), HardCubeMesh(2.0f * float(b)), material);
        }
    }
    return scene;
}

void RunSession(benchmark::State& state, Scene& scene) {
    Session& session = TheSession();
    if (!session.error().empty()) {
        state.SkipWithError(session.error().c_str());
        return;
    }
    double peakMB = 0;
    double seconds = 0;
    long calls = 0;
    for (auto _ : state) {
        session.ClearOutput();
        heap_peak::ResetPeak();
        const size_t before = heap_peak::LiveBytes();
        const long callsBefore = session.pumpCalls();
        const auto start = std::chrono::steady_clock::now();
        const bool done = session.Export(scene.host);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        seconds += took.count();
        if (!done) state.SkipWithError("the export did not finish with Done!");
        peakMB = std::max(peakMB, double(heap_peak::PeakBytes() - before) / (1024.0 * 1024.0));
        calls = session.pumpCalls() - callsBefore;
    }
    state.counters["peak_heap_MB"] = peakMB;
    state.counters["pump_calls"] = double(calls);
    state.counters["ms_per_1M_faces"] =
        seconds * 1e3 / double(state.iterations()) / (double(scene.faces) / 1e6);
}

void BM_Session_1M_faces_file_normals(benchmark::State& state) {
    RunSession(state, GridScene(true));
}
BENCHMARK(BM_Session_1M_faces_file_normals)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(3.0);

void BM_Session_1M_faces_smoothing_groups(benchmark::State& state) {
    RunSession(state, GridScene(false));
}
BENCHMARK(BM_Session_1M_faces_smoothing_groups)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(3.0);

void BM_Session_10000_boxes(benchmark::State& state) {
    RunSession(state, BoxScene());
}
BENCHMARK(BM_Session_10000_boxes)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);

void BM_Session_10000_hard_cubes(benchmark::State& state) {
    RunSession(state, HardCubeScene());
}
BENCHMARK(BM_Session_10000_hard_cubes)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
#ifdef KVOEXP_WITH_MIMALLOC
    kvocli::TuneAllocator();  // as the console host runs the plug-in
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
