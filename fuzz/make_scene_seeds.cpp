// Writes the scene decoder fuzzer's seed files into the directory given as
// argument: small scenes encoded by the encoder, covering every record kind,
// channel mode and string.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scene/scene_encoder.h"

namespace {

using kvoscene::ChannelFaces;
using kvoscene::Scene;

kvoscene::Node Triangle(const std::string& name) {
    kvoscene::Node node;
    node.name = name;
    node.kind = kvoscene::NodeKind::Geometry;
    node.mesh.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    node.mesh.faces = {0, 1, 2};
    node.mesh.materialIds = {0};
    node.mesh.smoothing = {1};
    return node;
}

std::vector<Scene> Scenes() {
    std::vector<Scene> scenes(4);
    // Materials of both kinds and a triangle with texture coordinates.
    kvoscene::Material standard;
    standard.name = "M";
    standard.hasDiffuseMap = true;
    standard.diffuseMap = "maps/a.png";
    kvoscene::Material multi;
    multi.name = "X";
    multi.multi = true;
    multi.subs = {{0, 0}, {3, 0}};
    scenes[0].materials = {standard, multi};
    scenes[0].nodes = {Triangle("T")};
    scenes[0].nodes[0].material = 1;
    scenes[0].nodes[0].mesh.uvs = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    scenes[0].nodes[0].mesh.uvFaceMode = ChannelFaces::SameAsPositions;
    // A hierarchy of every node kind; normals and colours with own faces.
    kvoscene::Node quad = Triangle("quad");
    quad.mesh.positions.insert(quad.mesh.positions.end(), {1, 1, 0});
    quad.mesh.faces.insert(quad.mesh.faces.end(), {1, 3, 2});
    quad.mesh.materialIds.push_back(2);
    quad.mesh.smoothing.push_back(0);
    quad.mesh.normals.assign(12, 0.5f);
    quad.mesh.colors = {1, 0, 0, 0, 1, 0};
    quad.mesh.colorFaceMode = ChannelFaces::Own;
    quad.mesh.colorFaces = {0, 1, 0, 1, 0, 1};
    quad.transform[9] = 2.5f;
    scenes[1].nodes = {quad};
    for (auto kind :
         {kvoscene::NodeKind::Camera, kvoscene::NodeKind::Light, kvoscene::NodeKind::Helper}) {
        kvoscene::Node node;
        node.name = kvoscene::KindName(kind);
        node.kind = kind;
        node.parent = static_cast<uint32_t>(scenes[1].nodes.size() - 1);
        scenes[1].nodes.push_back(node);
    }
    // Many small nodes, as an importer makes for empty groups.
    scenes[2].nodes = {Triangle("T")};
    for (int i = 0; i < 40; ++i) {
        kvoscene::Node node;
        node.name = "n" + std::to_string(i % 10);
        scenes[2].nodes.push_back(node);
    }
    // scenes[3] stays empty.
    return scenes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: scene_fuzz_seeds DIRECTORY\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    int n = 0;
    for (const Scene& scene : Scenes()) {
        const std::vector<uint8_t> bytes = kvoscene::EncodeScene(scene);
        const std::filesystem::path file = dir / ("scene" + std::to_string(n++) + ".kvoscene");
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "scene_fuzz_seeds: cannot write %s\n", file.string().c_str());
            return 1;
        }
    }
    return 0;
}
