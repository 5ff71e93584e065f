// Every byte kvoexp writes, pinned: the shared models, the sample scene and generated large
// scenes (a 200,000-face textured grid in two materials, a coloured grid, 2,000
// nodes) exported with three sets of options, and each run's files (.kvo files,
// log, shader file, geometry.ini) hashed together. A change of output shows as
// a changed digest; KVOEXP_PRINT_DIGESTS=1 prints the table to paste here.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "gltf_writer.h"
#include "tests/cli/cli_test_support.h"

namespace {

namespace fs = std::filesystem;

const char* const kModels[] = {
    "assimp/test/models/OBJ/spider.obj",
    "assimp/test/models/OBJ/box.obj",
    "assimp/test/models/OBJ/cube_usemtl.obj",
    "assimp/test/models/OBJ/cube_with_vertexcolors.obj",
    "assimp/test/models/FBX/box.fbx",
    "assimp/test/models/FBX/cubes_with_names.fbx",
    "assimp/test/models/FBX/spider.fbx",
    "assimp/test/models/FBX/global_settings.fbx",
    "assimp/test/models-nonbsd/FBX/2013_ASCII/kwxport_test_vcolors.fbx",
    "assimp/test/models/3DS/test1.3ds",
    "assimp/test/models/Collada/duck.dae",
    "assimp/test/models/Collada/kwxport_test_vcolors.dae",
    "assimp/test/models/Collada/teapot_instancenodes.DAE",
    "assimp/test/models/glTF2/BoxTextured-glTF/BoxTextured.gltf",
    "assimp/test/models/STL/Spider_binary.stl",
    "assimp/test/models/STL/triangle_with_two_solids.stl",
    "trimesh/models/CesiumMilkTruck.glb",
    "trimesh/models/cubevc.glb",
    "trimesh/models/cycloidal.ply",
    "trimesh/models/reference.ply",
    "trimesh/models/angle_block.STL",
};

struct OptionSet {
    const char* name;
    std::vector<std::string> flags;
};

const OptionSet kOptionSets[] = {
    {"defaults", {}},
    {"side_files_colours", {"--vertex-colors", "--shader", "--geometry-ini", "--log"}},
    {"local_unoptimised", {"--localize", "--no-optimize", "--up-normals", "--vertex-colors"}},
};

// FNV-1a, 64 bits.
class Digest {
public:
    void Add(const std::string& bytes) {
        for (unsigned char c : bytes) {
            hash_ ^= c;
            hash_ *= 0x100000001b3ull;
        }
    }
    std::string Hex() const {
        char text[17];
        std::snprintf(text, sizeof text, "%016" PRIx64, hash_);
        return text;
    }

private:
    uint64_t hash_ = 0xcbf29ce484222325ull;
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// Names, sizes and contents of the files in `dir`, in name order; the directory's
// own path (in the log) stands as "<out>".
std::string DigestOfDirectory(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        files[entry.path().filename().string()] =
            Replace(clitest::ReadFile(entry.path().string()), dir, "<out>");
    }
    Digest digest;
    for (const auto& [name, bytes] : files) {
        digest.Add(name + '\0' + std::to_string(bytes.size()) + '\0');
        digest.Add(bytes);
    }
    return digest.Hex() + " " + std::to_string(files.size());
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// A 1000 x 100 grid of quads (200,000 faces) with positions, texture
// coordinates and normals per vertex, the two halves in two materials.
void WriteLargeGrid(const std::string& path, bool colours) {
    std::ofstream obj(path);
    constexpr int kColumns = 1000, kRows = 100;
    if (!colours) obj << "mtllib grid.mtl\n";
    for (int y = 0; y <= kRows; ++y) {
        for (int x = 0; x <= kColumns; ++x) {
            obj << "v " << Number(x * 0.1) << ' ' << Number(y * 0.1) << ' '
                << Number(0.05 * ((x * 7 + y * 3) % 11));
            if (colours) {
                obj << ' ' << Number((x % 4) / 3.0) << ' ' << Number((y % 3) / 2.0) << " 0.5";
            }
            obj << '\n';
            obj << "vt " << Number(double(x) / kColumns) << ' ' << Number(double(y) / kRows)
                << '\n';
            obj << "vn " << Number(0.1 * ((x % 5) - 2)) << ' ' << Number(0.1 * ((y % 3) - 1))
                << " 1\n";
        }
    }
    obj << "o Grid\n";
    for (int y = 0; y < kRows; ++y) {
        if (!colours && (y == 0 || y == kRows / 2))
            obj << "usemtl " << (y == 0 ? "Near" : "Far") << '\n';
        for (int x = 0; x < kColumns; ++x) {
            const int a = y * (kColumns + 1) + x + 1, b = a + 1, c = a + kColumns + 1, d = c + 1;
            const auto corner = [&obj](int v) { obj << ' ' << v << '/' << v << '/' << v; };
            obj << 'f';
            corner(a);
            corner(b);
            corner(d);
            obj << "\nf";
            corner(a);
            corner(d);
            corner(c);
            obj << '\n';
        }
    }
    std::ofstream(fs::path(path).parent_path() / "grid.mtl")
        << "newmtl Near\nKd 0.8 0.2 0.2\nmap_Kd near.png\nnewmtl Far\nKd 0.2 0.2 0.8\n";
}

// Two flat quads side by side, red and blue, each with its own vertices on the
// shared edge: a colour seam between vertices equal in position and normal.
clitest::GltfPrimitive ColourSeamStrip() {
    clitest::GltfPrimitive strip;
    for (int quad = 0; quad < 2; ++quad) {
        const float x = float(quad);
        for (const clitest::Vec3& p : {clitest::Vec3{x, 0, 0}, clitest::Vec3{x + 1, 0, 0},
                                       clitest::Vec3{x + 1, 1, 0}, clitest::Vec3{x, 1, 0}}) {
            strip.positions.push_back(p);
            strip.normals.push_back({0, 0, 1});
            strip.colours.push_back({quad == 0 ? 1.0f : 0.0f, 0, quad == 0 ? 0.0f : 1.0f});
        }
        const uint16_t v = uint16_t(4 * quad);
        strip.indices.insert(strip.indices.end(), {v, uint16_t(v + 1), uint16_t(v + 2), v,
                                                   uint16_t(v + 2), uint16_t(v + 3)});
    }
    return strip;
}

// 2,000 nodes below the root, turned and moved, holding a hard cube, a coloured
// smooth sphere or (every tenth) a colour-seam strip.
void WriteManyNodes(const std::string& path) {
    clitest::GltfPrimitive sphere = clitest::SmoothSphere(8, 12);
    for (size_t v = 0; v < sphere.positions.size(); ++v) {
        sphere.colours.push_back({float(v % 3) / 2.0f, float(v % 5) / 4.0f, 1.0f});
    }
    std::vector<clitest::GltfNode> nodes;
    for (int n = 0; n < 2000; ++n) {
        clitest::GltfNode node;
        node.name = "Node" + std::to_string(n);
        node.mesh = n % 10 == 9 ? 2 : n % 2;
        const float c = float(n % 7) / 7.0f, s = 1.0f - c;
        node.matrix = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, float(n % 50), float(n / 50), 0, 1};
        nodes.push_back(node);
    }
    clitest::WriteGltf(path, {{clitest::HardCube()}, {sphere}, {ColourSeamStrip()}}, nodes);
}

class OutputDigest : public ::testing::TestWithParam<OptionSet> {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    }
    clitest::ScratchDir dir_;
};

// "scene|option set" -> "digest file-count", recorded from the exporter's output.
const std::map<std::string, std::string>& Pinned() {
    static const std::map<std::string, std::string> pinned = {
        // spider.obj: OK.kvo has the texture coordinate 1.481345 correctly rounded
        // since the console host reads OBJ files itself (Assimp gave one unit less).
        {"assimp/test/models/OBJ/spider.obj|defaults", "df9b54ba3e228488 19"},
        {"assimp/test/models/OBJ/box.obj|defaults", "d888e5057b0a83fc 1"},
        {"assimp/test/models/OBJ/cube_usemtl.obj|defaults", "33ece9a0fef7b9e0 1"},
        {"assimp/test/models/OBJ/cube_with_vertexcolors.obj|defaults", "e201379d39c3d1e0 1"},
        {"assimp/test/models/FBX/box.fbx|defaults", "f9b2cadb3aa7ba1c 1"},
        {"assimp/test/models/FBX/cubes_with_names.fbx|defaults", "a61bd31a1c4d4a1b 2"},
        {"assimp/test/models/FBX/spider.fbx|defaults", "188d3668c57378a5 19"},
        {"assimp/test/models/FBX/global_settings.fbx|defaults", "8c617acf894e710e 2"},
        {"assimp/test/models-nonbsd/FBX/2013_ASCII/kwxport_test_vcolors.fbx|defaults",
         "e6d948f173072839 1"},
        {"assimp/test/models/3DS/test1.3ds|defaults", "5e88123b37ba131d 9"},
        {"assimp/test/models/Collada/duck.dae|defaults", "2b4dafb203cbe299 1"},
        {"assimp/test/models/Collada/kwxport_test_vcolors.dae|defaults", "b3d5a940bd9bb9dc 1"},
        {"assimp/test/models/Collada/teapot_instancenodes.DAE|defaults", "9ee38936735d9603 2"},
        {"assimp/test/models/glTF2/BoxTextured-glTF/BoxTextured.gltf|defaults",
         "8985eb74085b64e8 1"},
        {"assimp/test/models/STL/Spider_binary.stl|defaults", "59cf3c2afdc0e7e6 1"},
        {"assimp/test/models/STL/triangle_with_two_solids.stl|defaults", "26ea9be4136de921 2"},
        {"trimesh/models/CesiumMilkTruck.glb|defaults", "5912b228274ef531 1"},
        {"trimesh/models/cubevc.glb|defaults", "8c30aa92200f65e6 1"},
        {"trimesh/models/cycloidal.ply|defaults", "ac398850e09ca3dc 1"},
        {"trimesh/models/reference.ply|defaults", "7174c508982587fc 1"},
        {"trimesh/models/angle_block.STL|defaults", "f03c27df0fe53965 1"},
        {"samples/sample_scene.gltf|defaults", "23e4282e73705ec5 4"},
        {"generated/large_grid.obj|defaults", "633fb35b47ffa7c9 1"},
        {"generated/coloured_grid.obj|defaults", "c1a2b8fb55087ba1 1"},
        {"generated/many_nodes.gltf|defaults", "4646d65ce997be50 2000"},
        {"assimp/test/models/OBJ/spider.obj|side_files_colours", "01f135c441fddb52 22"},
        {"assimp/test/models/OBJ/box.obj|side_files_colours", "0daacfa83f134e18 4"},
        {"assimp/test/models/OBJ/cube_usemtl.obj|side_files_colours", "d0bc685bbec583f5 4"},
        {"assimp/test/models/OBJ/cube_with_vertexcolors.obj|side_files_colours",
         "3adf458baf2c89f6 4"},
        {"assimp/test/models/FBX/box.fbx|side_files_colours", "e59622a1d56c9be6 4"},
        {"assimp/test/models/FBX/cubes_with_names.fbx|side_files_colours", "ffd7b43c3877d094 5"},
        {"assimp/test/models/FBX/spider.fbx|side_files_colours", "dc03cfb61d08fe09 22"},
        {"assimp/test/models/FBX/global_settings.fbx|side_files_colours", "183984219f8a2e73 5"},
        {"assimp/test/models-nonbsd/FBX/2013_ASCII/kwxport_test_vcolors.fbx|side_files_colours",
         "6ca03e0a5a95addb 4"},
        {"assimp/test/models/3DS/test1.3ds|side_files_colours", "d461539413d47235 12"},
        {"assimp/test/models/Collada/duck.dae|side_files_colours", "b15a7625970f8cc9 4"},
        {"assimp/test/models/Collada/kwxport_test_vcolors.dae|side_files_colours",
         "e44ac42909a4570f 4"},
        {"assimp/test/models/Collada/teapot_instancenodes.DAE|side_files_colours",
         "8bb2cc0e979d29c4 5"},
        {"assimp/test/models/glTF2/BoxTextured-glTF/BoxTextured.gltf|side_files_colours",
         "fcd6e8308a103380 4"},
        {"assimp/test/models/STL/Spider_binary.stl|side_files_colours", "197b7e987ed8b867 4"},
        {"assimp/test/models/STL/triangle_with_two_solids.stl|side_files_colours",
         "0c014d78bd79a7a7 5"},
        {"trimesh/models/CesiumMilkTruck.glb|side_files_colours", "7c39aa1dab121c02 4"},
        {"trimesh/models/cubevc.glb|side_files_colours", "bfd8f30f564b00b9 4"},
        {"trimesh/models/cycloidal.ply|side_files_colours", "6b23f5f002801430 4"},
        {"trimesh/models/reference.ply|side_files_colours", "ee9ee020d4857aef 4"},
        {"trimesh/models/angle_block.STL|side_files_colours", "359e1ad53751cfe8 4"},
        {"samples/sample_scene.gltf|side_files_colours", "f3ec61ee5dd5b6ac 7"},
        {"generated/large_grid.obj|side_files_colours", "bba20b9725e6d888 4"},
        {"generated/coloured_grid.obj|side_files_colours", "267daffd93cc1f42 4"},
        {"generated/many_nodes.gltf|side_files_colours", "d8c292eb2cb1c8a4 2003"},
        {"assimp/test/models/OBJ/spider.obj|local_unoptimised", "d27dc234de27cb69 19"},
        {"assimp/test/models/OBJ/box.obj|local_unoptimised", "df04610d5c27ebd2 1"},
        {"assimp/test/models/OBJ/cube_usemtl.obj|local_unoptimised", "494f14064cbfa060 1"},
        {"assimp/test/models/OBJ/cube_with_vertexcolors.obj|local_unoptimised",
         "e03dabc7134bc764 1"},
        {"assimp/test/models/FBX/box.fbx|local_unoptimised", "40f98b5e09397f0a 1"},
        {"assimp/test/models/FBX/cubes_with_names.fbx|local_unoptimised", "6e5a76682c43fe3e 2"},
        {"assimp/test/models/FBX/spider.fbx|local_unoptimised", "8e057f536ff8f91b 19"},
        {"assimp/test/models/FBX/global_settings.fbx|local_unoptimised", "3f8c610ee3fcb79c 2"},
        {"assimp/test/models-nonbsd/FBX/2013_ASCII/kwxport_test_vcolors.fbx|local_unoptimised",
         "1c68956d62d124ee 1"},
        {"assimp/test/models/3DS/test1.3ds|local_unoptimised", "240bfbc6e2925d83 9"},
        {"assimp/test/models/Collada/duck.dae|local_unoptimised", "00d0fdf1a56c732a 1"},
        {"assimp/test/models/Collada/kwxport_test_vcolors.dae|local_unoptimised",
         "024df5d1d5bbb737 1"},
        {"assimp/test/models/Collada/teapot_instancenodes.DAE|local_unoptimised",
         "e18724a4c945e6d0 2"},
        {"assimp/test/models/glTF2/BoxTextured-glTF/BoxTextured.gltf|local_unoptimised",
         "62a354f431d014e8 1"},
        {"assimp/test/models/STL/Spider_binary.stl|local_unoptimised", "f48fe1f038b6af47 1"},
        {"assimp/test/models/STL/triangle_with_two_solids.stl|local_unoptimised",
         "ea98897b91949e21 2"},
        {"trimesh/models/CesiumMilkTruck.glb|local_unoptimised", "7405eb198a57316a 1"},
        {"trimesh/models/cubevc.glb|local_unoptimised", "a5c4c756ea5a70ac 1"},
        {"trimesh/models/cycloidal.ply|local_unoptimised", "00ed2e20f8de86b2 1"},
        {"trimesh/models/reference.ply|local_unoptimised", "3d47c3c695374950 1"},
        {"trimesh/models/angle_block.STL|local_unoptimised", "0b6296ecb5354546 1"},
        {"samples/sample_scene.gltf|local_unoptimised", "7ad387d81060f606 4"},
        {"generated/large_grid.obj|local_unoptimised", "8e18a7fa9c863fd4 1"},
        {"generated/coloured_grid.obj|local_unoptimised", "94b9da68f9bba723 1"},
        {"generated/many_nodes.gltf|local_unoptimised", "8ecc920e829e1445 2000"},
    };
    return pinned;
}

TEST_P(OutputDigest, EveryWrittenByteStaysAsPinned) {
    const OptionSet& set = GetParam();
    std::vector<std::pair<std::string, std::string>> scenes;  // name, path
    for (const char* model : kModels)
        scenes.emplace_back(model, clitest::ModelsDir() + "/" + model);
    scenes.emplace_back("samples/sample_scene.gltf", clitest::SamplesDir() + "/sample_scene.gltf");
    const std::string generated = dir_.Path("scenes");
    fs::create_directories(generated);
    WriteLargeGrid(generated + "/large_grid.obj", false);
    WriteLargeGrid(generated + "/coloured_grid.obj", true);
    WriteManyNodes(generated + "/many_nodes.gltf");
    for (const char* name : {"large_grid.obj", "coloured_grid.obj", "many_nodes.gltf"}) {
        scenes.emplace_back(std::string("generated/") + name, generated + "/" + name);
    }

    const bool print = std::getenv("KVOEXP_PRINT_DIGESTS") != nullptr;
    int index = 0;
    for (const auto& [name, path] : scenes) {
        SCOPED_TRACE(name);
        const std::string out = dir_.Path("out" + std::to_string(index++));
        std::vector<std::string> args = {path, "-o", out, "-q"};
        args.insert(args.end(), set.flags.begin(), set.flags.end());
        const clitest::ProcessResult r = clitest::RunKvoexp(args, 120);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string key = name + "|" + set.name;
        const std::string digest = DigestOfDirectory(out);
        if (print) {
            std::printf("        {\"%s\", \"%s\"},\n", key.c_str(), digest.c_str());
            continue;
        }
        const auto pinned = Pinned().find(key);
        ASSERT_NE(pinned, Pinned().end()) << "no digest pinned for " << key << ": " << digest;
        EXPECT_EQ(digest, pinned->second) << key;
    }
}

INSTANTIATE_TEST_SUITE_P(OptionSets, OutputDigest, ::testing::ValuesIn(kOptionSets),
                         [](const ::testing::TestParamInfo<OptionSet>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
