// libFuzzer entry point: reads arbitrary bytes as an OBJ file with the console
// host's OBJ reader. The bytes after a line "#mtl" are the .mtl that every
// mtllib finds. The sanitizers catch bad accesses; the checks below catch a
// scene the reader gives that the host could not take, or a refusal without
// a cause.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/import/obj_reader.h"
#include "scene/scene_decoder.h"
#include "scene/scene_encoder.h"

namespace {

bool WellFormed(const kvoscene::Scene& scene) {
    for (const kvoscene::Node& node : scene.nodes) {
        const kvoscene::Mesh& m = node.mesh;
        if (m.faces.size() != m.materialIds.size() * 3 ||
            m.smoothing.size() != m.materialIds.size())
            return false;
        for (uint32_t index : m.faces) {
            if (index >= m.VertexCount()) return false;
        }
        if (node.material != kvoscene::kNone && node.material >= scene.materials.size())
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find("\n#mtl\n");
    const std::string obj = input.substr(0, split);
    const std::string mtl = split == std::string::npos ? std::string() : input.substr(split + 6);
    kvoimport::ObjSource source;
    source.path = "fuzz/input.obj";
    source.readMtl = [&mtl, split](const std::string&, std::string& bytes) {
        if (split == std::string::npos) return kvoimport::MtlFile::Missing;
        bytes = mtl;
        return kvoimport::MtlFile::Read;
    };
    for (bool join : {true, false}) {
        kvoimport::ImportSettings settings;
        settings.joinVertices = join;
        kvoscene::Scene scene;
        std::string message;
        kvoimport::ObjFilesRead files;
        const kvoimport::ObjRead read = kvoimport::ReadObjBytes(obj.data(), obj.size(), source,
                                                              settings, scene, message, &files);
        if (read != kvoimport::ObjRead::Done) {
            if (message.empty() || !scene.nodes.empty() || !scene.materials.empty()) std::abort();
            continue;
        }
        if (scene.nodes.empty() || !WellFormed(scene)) std::abort();
        // What the reader gives goes through the host's decoder as it is.
        const std::vector<uint8_t> encoded = kvoscene::EncodeScene(scene);
        kvoscene::Scene decoded;
        std::string error;
        if (!kvoscene::DecodeScene(encoded.data(), encoded.size(), decoded, error)) std::abort();
    }
    return 0;
}
