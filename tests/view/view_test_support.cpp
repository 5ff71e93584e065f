#include "view_test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "kvo/kvo_geode.h"

namespace viewtest {

ScratchDir::ScratchDir() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "kvoexp_view_";
    name += info ? info->name() : "test";
    name += "_" + std::to_string(std::random_device{}());
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    root_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string ScratchDir::Path(const std::string& relative) const {
    return relative.empty() ? root_.string() : (root_ / relative).string();
}

TestMesh Quad(const std::string& texture) {
    TestMesh m;
    m.positions = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    m.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    m.texCoords = {0, 0, 1, 0, 1, 1, 0, 1};
    m.indices = {0, 1, 2, 0, 2, 3};
    m.texture = texture;
    return m;
}

TestMesh Cube() {
    // Per face: the outward normal and two axes spanning it, counter-clockwise seen from outside.
    static const float kFaces[6][3][3] = {
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    };
    static const float kCorners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    TestMesh m;
    for (int f = 0; f < 6; ++f) {
        const auto& face = kFaces[f];
        const uint16_t base = static_cast<uint16_t>(m.positions.size() / 3);
        for (const auto& c : kCorners) {
            for (int i = 0; i < 3; ++i) {
                m.positions.push_back(face[0][i] + c[0] * face[1][i] + c[1] * face[2][i]);
                m.normals.push_back(face[0][i]);
            }
            m.texCoords.push_back((c[0] + 1) / 2);
            m.texCoords.push_back((c[1] + 1) / 2);
        }
        for (uint16_t k : {0, 1, 2, 0, 2, 3}) m.indices.push_back(static_cast<uint16_t>(base + k));
    }
    return m;
}

namespace {

template <typename T>
T* Copy(const std::vector<T>& values) {
    if (values.empty()) return nullptr;
    T* out = static_cast<T*>(std::malloc(values.size() * sizeof(T)));
    std::memcpy(out, values.data(), values.size() * sizeof(T));
    return out;
}

}  // namespace

void WriteKvo(const std::string& path, const std::vector<TestMesh>& meshes) {
    std::vector<KvoMaterial> materials(meshes.size());
    std::vector<KvoGeob> geobs(meshes.size());
    for (size_t i = 0; i < meshes.size(); ++i) {
        const TestMesh& m = meshes[i];
        materials[i].name = m.materialName;
        std::copy(m.diffuse, m.diffuse + 3, materials[i].diffuse);
        materials[i].textureCount = 1;
        materials[i].textures[0] = new std::string(m.texture);
        KvoGeob& g = geobs[i];
        const int32_t vertices = static_cast<int32_t>(m.positions.size() / 3);
        g.materialIndex = static_cast<int32_t>(i);
        g.burstMaterial[0] = static_cast<int32_t>(i);
        g.burstLength[0] = 3 * vertices;
        g.indices = Copy(m.indices);
        g.indexCount = static_cast<int32_t>(m.indices.size());
        g.vertices = Copy(m.positions);
        g.vertexCount = vertices;
        g.normals = Copy(m.normals);
        g.normalCount = g.normals ? vertices : 0;
        g.texCoords = Copy(m.texCoords);
        g.texCoordCount = g.texCoords ? vertices : 0;
    }
    KvoGeode geode(path);
    geode.SetMaterials(static_cast<int32_t>(materials.size()), materials.data());
    geode.SetGeobs(static_cast<int32_t>(geobs.size()), geobs.data());
    ASSERT_TRUE(geode.Save(path)) << geode.error;
    for (KvoGeob& g : geobs) g.FreeArrays();
}

void WriteTexture(const std::string& path, int w, int h, std::array<uint8_t, 3> top,
                  std::array<uint8_t, 3> bottom) {
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::memcpy(&pixels[(static_cast<size_t>(y) * w + x) * 3],
                        (y < h / 2 ? top : bottom).data(), 3);
        }
    }
    ASSERT_NE(stbi_write_png(path.c_str(), w, h, 3, pixels.data(), w * 3), 0);
}

Rgb PixelAt(const kvoview::Image& image, int x, int y) {
    const uint8_t* p = image.At(x, y);
    return {p[0], p[1], p[2]};
}

Box ForegroundBox(const kvoview::Image& image) {
    Box box;
    box.x0 = image.width;
    box.y0 = image.height;
    const Rgb background = PixelAt(image, 0, 0);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (PixelAt(image, x, y) == background) continue;
            box.x0 = std::min(box.x0, x);
            box.y0 = std::min(box.y0, y);
            box.x1 = std::max(box.x1, x);
            box.y1 = std::max(box.y1, y);
        }
    }
    return box;
}

Rgb PixelIn(const kvoview::Image& image, const Box& box, double fx, double fy) {
    return PixelAt(image, box.x0 + static_cast<int>(fx * (box.Width() - 1) + 0.5),
                   box.y0 + static_cast<int>(fy * (box.Height() - 1) + 0.5));
}

bool Near(const Rgb& a, const Rgb& b, int tolerance) {
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    }
    return true;
}

std::string Text(const Rgb& c) {
    return "(" + std::to_string(c[0]) + ", " + std::to_string(c[1]) + ", " + std::to_string(c[2]) +
           ")";
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args) {
    ProcessResult result;
    char errName[] = "/tmp/kvoexp_view_errXXXXXX";
    const int errFile = mkstemp(errName);
    if (errFile < 0) return result;
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, 1);
        dup2(errFile, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(errFile);
    result.err = ReadFile(errName);
    std::remove(errName);
    if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    return result;
}

std::string KvoTool() {
    return KVO_TOOL_PATH;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace viewtest
