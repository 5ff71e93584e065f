#include "gltf_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace clitest {

namespace {

std::string Base64(const std::string& bytes) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t chunk = static_cast<uint8_t>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) chunk |= static_cast<uint8_t>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) chunk |= static_cast<uint8_t>(bytes[i + 2]);
        out += kDigits[(chunk >> 18) & 63];
        out += kDigits[(chunk >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(chunk >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[chunk & 63] : '=';
    }
    return out;
}

// Appends raw values to the buffer, padded to four bytes, and records the view
// and accessor describing them.
class Builder {
public:
    int Add(const void* data, size_t bytes, size_t count, int componentType, const char* type,
            const std::string& extra = "") {
        const size_t offset = buffer_.size();
        buffer_.append(static_cast<const char*>(data), bytes);
        buffer_.append((4 - bytes % 4) % 4, '\0');
        const int index = static_cast<int>(views_.size());
        views_.push_back("{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                         ",\"byteLength\":" + std::to_string(bytes) + "}");
        accessors_.push_back("{\"bufferView\":" + std::to_string(index) + ",\"componentType\":" +
                             std::to_string(componentType) + ",\"count\":" + std::to_string(count) +
                             ",\"type\":\"" + type + "\"" + extra + "}");
        return index;
    }
    int AddVectors(const std::vector<Vec3>& v, bool bounds) {
        std::string extra;
        if (bounds && !v.empty()) {
            Vec3 lo = v[0], hi = v[0];
            for (const Vec3& p : v) {
                for (int i = 0; i < 3; ++i)
                    lo[i] = std::min(lo[i], p[i]), hi[i] = std::max(hi[i], p[i]);
            }
            std::ostringstream s;
            s.precision(9);
            s << ",\"min\":[" << lo[0] << "," << lo[1] << "," << lo[2] << "],\"max\":[" << hi[0]
              << "," << hi[1] << "," << hi[2] << "]";
            extra = s.str();
        }
        return Add(v.data(), v.size() * sizeof(Vec3), v.size(), 5126, "VEC3", extra);
    }

    std::string buffer_;
    std::vector<std::string> views_, accessors_;
};

std::string Joined(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "," : "") + parts[i];
    return out;
}

}  // namespace

void WriteGltf(const std::string& path, const std::vector<std::vector<GltfPrimitive>>& meshes,
               const std::vector<GltfNode>& nodes) {
    static_assert(sizeof(Vec3) == 12, "tightly packed vectors");
    Builder b;
    std::vector<std::string> meshJson;
    for (const auto& primitives : meshes) {
        std::vector<std::string> prims;
        for (const GltfPrimitive& p : primitives) {
            std::string attributes =
                "\"POSITION\":" + std::to_string(b.AddVectors(p.positions, true));
            if (!p.normals.empty())
                attributes += ",\"NORMAL\":" + std::to_string(b.AddVectors(p.normals, false));
            if (!p.colours.empty())
                attributes += ",\"COLOR_0\":" + std::to_string(b.AddVectors(p.colours, false));
            const int indices =
                b.Add(p.indices.data(), p.indices.size() * 2, p.indices.size(), 5123, "SCALAR");
            std::vector<std::string> targets;
            for (const std::vector<Vec3>& t : p.targets) {
                targets.push_back("{\"POSITION\":" + std::to_string(b.AddVectors(t, true)) + "}");
            }
            prims.push_back(
                "{\"attributes\":{" + attributes + "},\"indices\":" + std::to_string(indices) +
                (targets.empty() ? "" : ",\"targets\":[" + Joined(targets) + "]") + "}");
        }
        std::string weights;
        if (!primitives.empty() && !primitives[0].weights.empty()) {
            std::ostringstream s;
            s.precision(9);
            for (size_t i = 0; i < primitives[0].weights.size(); ++i) {
                s << (i ? "," : "") << primitives[0].weights[i];
            }
            weights = ",\"weights\":[" + s.str() + "]";
        }
        meshJson.push_back("{\"primitives\":[" + Joined(prims) + "]" + weights + "}");
    }
    std::vector<std::string> nodeJson, rootNodes;
    std::vector<bool> isChild(nodes.size(), false);
    for (const GltfNode& node : nodes) {
        for (int child : node.children) isChild.at(static_cast<size_t>(child)) = true;
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        std::ostringstream s;
        s.precision(9);
        s << "{";
        if (!nodes[i].name.empty()) s << "\"name\":\"" << nodes[i].name << "\",";
        if (nodes[i].mesh >= 0) s << "\"mesh\":" << nodes[i].mesh << ",";
        s << "\"matrix\":[";
        for (int k = 0; k < 16; ++k) s << (k ? "," : "") << nodes[i].matrix[k];
        s << "]";
        if (!nodes[i].children.empty()) {
            s << ",\"children\":[";
            for (size_t k = 0; k < nodes[i].children.size(); ++k) {
                s << (k ? "," : "") << nodes[i].children[k];
            }
            s << "]";
        }
        s << "}";
        nodeJson.push_back(s.str());
        if (!isChild[i]) rootNodes.push_back(std::to_string(i));
    }
    std::ofstream out(path, std::ios::binary);
    out << "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":["
        << Joined(rootNodes) << "]}],\"nodes\":[" << Joined(nodeJson) << "],\"meshes\":["
        << Joined(meshJson) << "],\"buffers\":[{\"byteLength\":" << b.buffer_.size()
        << ",\"uri\":\"data:application/octet-stream;base64," << Base64(b.buffer_)
        << "\"}],\"bufferViews\":[" << Joined(b.views_) << "],\"accessors\":["
        << Joined(b.accessors_) << "]}";
}

GltfPrimitive HardCube() {
    // Per face: the outward normal and two edge directions with u x v = normal.
    const Vec3 faces[6][3] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}}};
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    GltfPrimitive cube;
    for (const auto& face : faces) {
        const uint16_t base = static_cast<uint16_t>(cube.positions.size());
        for (const auto& c : corners) {
            Vec3 p;
            for (int i = 0; i < 3; ++i) p[i] = face[0][i] + c[0] * face[1][i] + c[1] * face[2][i];
            cube.positions.push_back(p);
            cube.normals.push_back(face[0]);
        }
        for (int k : {0, 1, 2, 0, 2, 3}) cube.indices.push_back(static_cast<uint16_t>(base + k));
    }
    return cube;
}

GltfPrimitive SmoothSphere(int rings, int segments) {
    GltfPrimitive sphere;
    sphere.positions.push_back({0, 1, 0});
    for (int r = 1; r < rings; ++r) {
        const double phi = M_PI * r / rings;
        for (int s = 0; s < segments; ++s) {
            const double theta = 2 * M_PI * s / segments;
            sphere.positions.push_back({static_cast<float>(std::sin(phi) * std::cos(theta)),
                                        static_cast<float>(std::cos(phi)),
                                        static_cast<float>(-std::sin(phi) * std::sin(theta))});
        }
    }
    sphere.positions.push_back({0, -1, 0});
    sphere.normals = sphere.positions;  // the unit sphere's normal is its position
    const auto ring = [&](int r, int s) {
        return static_cast<uint16_t>(1 + (r - 1) * segments + (s % segments));
    };
    const uint16_t bottom = static_cast<uint16_t>(sphere.positions.size() - 1);
    for (int s = 0; s < segments; ++s) {
        sphere.indices.insert(sphere.indices.end(), {0, ring(1, s), ring(1, s + 1)});
        for (int r = 1; r + 1 < rings; ++r) {
            sphere.indices.insert(sphere.indices.end(),
                                  {ring(r, s), ring(r + 1, s), ring(r + 1, s + 1), ring(r, s),
                                   ring(r + 1, s + 1), ring(r, s + 1)});
        }
        sphere.indices.insert(sphere.indices.end(),
                              {ring(rings - 1, s), bottom, ring(rings - 1, s + 1)});
    }
    return sphere;
}

}  // namespace clitest
