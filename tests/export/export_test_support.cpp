#include "export_test_support.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

namespace exporttest {

ScratchDir::ScratchDir() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "kvoexp_export_";
    if (info) name += std::string(info->test_suite_name()) + "_" + info->name();
    name += "_" + std::to_string(std::random_device{}());
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    const std::filesystem::path root = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    path_ = root.string();
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::Sub(const std::string& name) const {
    const std::string sub = File(name);
    std::filesystem::create_directories(sub);
    return sub;
}

std::string ScratchDir::File(const std::string& name) const {
    return path_ + "/" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::string CrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

FakeContext::FakeContext()
    : shader(std::make_unique<GenerateShader>()),
      geometry(std::make_unique<GenerateGeometry>()),
      log(std::make_unique<GenerateLog>()) {}

FakeContext::~FakeContext() {
    nodes.clear();
    CloseSideFiles();
}

void FakeContext::CloseSideFiles() {
    log.reset();
    geometry.reset();
    shader.reset();
}

bool FakeContext::CheckOutputDir(HWND /*panel*/) {
    return !outputDir.empty() && std::filesystem::is_directory(outputDir);
}

void FakeContext::ShowError(HWND /*owner*/, const char* text) {
    errors.push_back(text);
}

bool FakeContext::IsCancelled() {
    ++polls;
    if (polls == cancelAtPoll) PressCancel();
    if (polls == hostCancelAtPoll) hostCancel = true;
    if (onPoll) onPoll(polls);
    return !running;
}

void FakeContext::PressCancel() {
    if (!running) return;
    objectsDone = objectCount;
    cancelling_ = true;
    FinishProgress("Canceled.");
    cancelling_ = false;
}

void FakeContext::BeginObject(uint32_t faceCount) {
    beginObjects.push_back(faceCount);
    objectExtraSteps = static_cast<uint32_t>(faceCount * static_cast<double>(0.1f));
    objectSteps = faceCount + objectExtraSteps;
    objectStepsDone = 0;
}

void FakeContext::StepProgress(uint32_t steps) {
    objectStepsDone += steps;
    totalSteps += steps;
    if (recordSteps) stepCalls.push_back(steps);
}

void FakeContext::NextObject() {
    ++objectsDone;
    ++nextObjects;
    objectStepsDone = 0;
}

void FakeContext::FinishProgress(const char* message) {
    finishMessages.push_back(message);
    statusTexts.push_back("");
    detailTexts.push_back(std::string("Status: ") + message);
    if (!cancelling_) nodes.clear();
    running = false;
}

Object* ConvertingObject::ConvertToType(TimeValue /*t*/, Class_ID type) {
    if (!CanConvertToType(type)) return nullptr;
    auto* tri = new CountingTriObject(deletions_);
    tri->mesh = mesh_;
    return tri;
}

Mesh MakeMesh(const std::vector<Point3>& verts, const std::vector<FaceSpec>& faces) {
    Mesh mesh;
    mesh.setNumVerts(static_cast<int>(verts.size()));
    mesh.setNumFaces(static_cast<int>(faces.size()));
    for (size_t i = 0; i < verts.size(); ++i) mesh.verts[i] = verts[i];
    for (size_t f = 0; f < faces.size(); ++f) {
        mesh.faces[f].setVerts(faces[f].v[0], faces[f].v[1], faces[f].v[2]);
        mesh.faces[f].setSmGroup(faces[f].smGroup);
        mesh.faces[f].setMatID(faces[f].matId);
    }
    return mesh;
}

void SetTexture(Mesh& mesh, const std::vector<Point3>& tVerts,
                const std::vector<std::array<uint32_t, 3>>& tvFaces) {
    mesh.setNumTVerts(static_cast<int>(tVerts.size()));
    for (size_t i = 0; i < tVerts.size(); ++i) mesh.tVerts[i] = tVerts[i];
    for (size_t f = 0; f < tvFaces.size() && f < mesh.tvFace.size(); ++f) {
        mesh.tvFace[f].setTVerts(tvFaces[f][0], tvFaces[f][1], tvFaces[f][2]);
    }
}

Mesh MakeGrid(int cols, int rows) {
    Mesh mesh;
    const int across = cols + 1;
    mesh.setNumVerts(across * (rows + 1));
    mesh.setNumFaces(2 * cols * rows);
    mesh.setNumTVerts(across * (rows + 1));
    for (int y = 0; y <= rows; ++y) {
        for (int x = 0; x <= cols; ++x) {
            const int v = y * across + x;
            mesh.verts[v] = Point3(static_cast<float>(x), static_cast<float>(y),
                                   static_cast<float>((x * 7 + y * 3) % 5) * 0.25f);
            mesh.tVerts[v] = Point3(static_cast<float>(x) / cols, static_cast<float>(y) / rows, 0);
        }
    }
    int f = 0;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x, f += 2) {
            const DWORD a = y * across + x, b = a + 1, c = a + across, d = c + 1;
            mesh.faces[f].setVerts(a, b, d);
            mesh.faces[f + 1].setVerts(a, d, c);
            mesh.tvFace[f].setTVerts(a, b, d);
            mesh.tvFace[f + 1].setTVerts(a, d, c);
            mesh.faces[f].setSmGroup(1);
            mesh.faces[f + 1].setSmGroup(1);
        }
    }
    return mesh;
}

Mesh MakeRandomMesh(uint32_t seed, int faces, bool textured, bool coloured, int materialIds) {
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return static_cast<uint32_t>(rng() % static_cast<uint32_t>(n)); };
    const int verts = std::max(3, faces / 2);
    const int tverts = std::max(2, faces / 3);
    const int cverts = std::max(2, faces / 4);
    Mesh mesh;
    mesh.setNumVerts(verts);
    mesh.setNumFaces(faces);
    for (auto& p : mesh.verts) {
        p = Point3(static_cast<float>(pick(1000)) / 7.0f, static_cast<float>(pick(1000)) / 9.0f,
                   static_cast<float>(pick(1000)) / 11.0f);
    }
    for (auto& face : mesh.faces) {
        face.setVerts(pick(verts), pick(verts), pick(verts));
        face.setSmGroup(pick(4) == 0 ? 0 : (1u << pick(3)) | (pick(2) ? 1u << pick(5) : 0u));
        face.setMatID(static_cast<MtlID>(pick(materialIds)));
    }
    if (textured) {
        mesh.setNumTVerts(tverts);
        for (auto& t : mesh.tVerts)
            t = Point3(static_cast<float>(pick(64)) / 64.0f, static_cast<float>(pick(64)) / 32.0f,
                       0.5f);
        for (auto& tv : mesh.tvFace) tv.setTVerts(pick(tverts), pick(tverts), pick(tverts));
    }
    if (coloured) {
        mesh.setNumVertCol(cverts);
        for (auto& c : mesh.vertCol)
            c = Point3(static_cast<float>(pick(256)) / 255.0f, 0.25f,
                       static_cast<float>(pick(256)) / 255.0f);
        for (auto& vc : mesh.vcFace) vc.setTVerts(pick(cverts), pick(cverts), pick(cverts));
    }
    return mesh;
}

INode* AddMeshNode(HostScene& scene, const std::string& name, Mesh mesh, bool selected) {
    INode* node = scene.GetRootNode()->CreateChild(name);
    auto* tri = new TriObject;
    tri->mesh = std::move(mesh);
    node->SetObject(tri);
    node->SetSelected(selected);
    return node;
}

std::unique_ptr<KvoGeode> LoadKvo(const std::string& path) {
    auto geode = std::make_unique<KvoGeode>(path);
    if (!geode->Load()) return nullptr;
    return geode;
}

::testing::AssertionResult SameFloats(const float* a, const float* b, size_t count) {
    if (count == 0) return ::testing::AssertionSuccess();
    if (!a || !b) return ::testing::AssertionFailure() << "missing array";
    for (size_t i = 0; i < count; ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) {
            return ::testing::AssertionFailure()
                   << "float " << i << " differs: " << a[i] << " vs " << b[i];
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace exporttest
