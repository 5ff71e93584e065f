#include "scene/scene_decoder.h"

#include <cstring>
#include <vector>

#include "scene/scene_format.h"

namespace kvoscene {

namespace {

uint32_t GetU32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

// Bounds-checked reader over the input; the first failure sticks.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Need(size_t count, const char* what) {
        if (!ok_) return false;
        if (count > size_ - pos_) return Fail(std::string("truncated while reading ") + what);
        return true;
    }
    // Room for `count` items of `itemSize` bytes, checked before multiplying.
    bool NeedItems(uint64_t count, size_t itemSize, const char* what) {
        if (!ok_) return false;
        if (count > (size_ - pos_) / itemSize) {
            return Fail(std::string("truncated while reading ") + what);
        }
        return true;
    }
    uint8_t U8(const char* what) {
        if (!Need(1, what)) return 0;
        return data_[pos_++];
    }
    uint32_t U32(const char* what) {
        if (!Need(4, what)) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return v;
    }
    float F32(const char* what) {
        uint32_t bits = U32(what);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    std::string Str(const char* what) {
        uint32_t n = U32(what);
        if (!Need(n, what)) return {};
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }
    // `count` 32-bit values, checked for room first.
    template <class T>
    bool Array(uint64_t count, std::vector<T>& out, const char* what) {
        if (!NeedItems(count, kU32Bytes, what)) return false;
        out.resize(static_cast<size_t>(count));
        if (LittleEndian()) {
            if (count > 0) std::memcpy(out.data(), data_ + pos_, out.size() * 4);
            pos_ += out.size() * 4;
            return true;
        }
        for (T& x : out) {
            const uint32_t bits = U32(what);
            std::memcpy(&x, &bits, 4);
        }
        return ok_;
    }
    bool Floats(uint64_t count, std::vector<float>& out, const char* what) {
        return Array(count, out, what);
    }
    bool Indices(uint64_t count, uint32_t limit, std::vector<uint32_t>& out, const char* what) {
        if (!Array(count, out, what)) return false;
        for (uint32_t i : out) {
            if (i >= limit) {
                return Fail(std::string(what) + " " + std::to_string(i) + " out of range (" +
                            std::to_string(limit) + " values)");
            }
        }
        return true;
    }
    bool Fail(const std::string& message) {
        if (ok_) {
            ok_ = false;
            error_ = message + " at byte " + std::to_string(pos_);
        }
        return false;
    }
    bool Ok() const { return ok_; }
    bool AtEnd() const { return pos_ == size_; }
    size_t Position() const { return pos_; }
    const std::string& Error() const { return error_; }
    void Skip(size_t n) { pos_ += n; }
    const uint8_t* Here() const { return data_ + pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
    std::string error_;
};

bool ReadChannel(Reader& r, uint32_t vertexCount, uint32_t faceCount, ChannelFaces& mode,
                 std::vector<float>& values, std::vector<uint32_t>& faces, const char* what) {
    uint8_t m = r.U8(what);
    if (!r.Ok()) return false;
    if (m > 2) return r.Fail(std::string("unknown ") + what + " mode " + std::to_string(m));
    mode = static_cast<ChannelFaces>(m);
    if (mode == ChannelFaces::Absent) return true;
    uint32_t count = r.U32(what);
    if (!r.Ok()) return false;
    if (count > kMaxCount) return r.Fail(std::string(what) + " count too large");
    if (mode == ChannelFaces::SameAsPositions && count != vertexCount) {
        return r.Fail(std::string(what) + " count " + std::to_string(count) +
                      " differs from the vertex count " + std::to_string(vertexCount));
    }
    if (!r.Floats(uint64_t{count} * 3, values, what)) return false;
    if (mode == ChannelFaces::Own) {
        return r.Indices(uint64_t{faceCount} * 3, count, faces, what);
    }
    return true;
}

bool ReadMesh(Reader& r, Mesh& m) {
    uint32_t vertexCount = r.U32("vertex count");
    uint32_t faceCount = r.U32("face count");
    // The host's mesh counts are ints.
    if (r.Ok() && (vertexCount > kMaxCount || faceCount > kMaxCount)) {
        return r.Fail("mesh of " + std::to_string(vertexCount) + " vertices and " +
                      std::to_string(faceCount) + " faces is too large");
    }
    if (!r.Floats(uint64_t{vertexCount} * 3, m.positions, "positions")) return false;
    // 3 indices, material ID and smoothing bits: 18 bytes per face, all
    // present before any is read.
    if (!r.NeedItems(faceCount, kFaceBytes, "faces")) return false;
    m.faces.resize(size_t{faceCount} * 3);
    m.materialIds.resize(faceCount);
    m.smoothing.resize(faceCount);
    const uint8_t* at = r.Here();
    for (uint32_t f = 0; f < faceCount; ++f, at += kFaceBytes) {
        for (int k = 0; k < 3; ++k) {
            const uint32_t v = GetU32(at + 4 * k);
            if (v >= vertexCount) {
                r.Skip(size_t{f} * kFaceBytes + 4 * k + 4);  // where reading it ended
                return r.Fail("face " + std::to_string(f) + " refers to vertex " +
                              std::to_string(v) + " of " + std::to_string(vertexCount));
            }
            m.faces[3 * f + k] = v;
        }
        m.materialIds[f] = static_cast<uint16_t>(at[12] | (at[13] << 8));
        m.smoothing[f] = GetU32(at + 14);
    }
    r.Skip(size_t{faceCount} * kFaceBytes);
    uint8_t hasNormals = r.U8("normals flag");
    if (!r.Ok()) return false;
    if (hasNormals > 1) return r.Fail("bad normals flag " + std::to_string(hasNormals));
    // The encoder writes 0 for a mesh without vertices: it has no normals.
    if (hasNormals == 1 && vertexCount == 0) return r.Fail("normals for a mesh without vertices");
    if (hasNormals && !r.Floats(uint64_t{vertexCount} * 3, m.normals, "normals")) return false;
    return ReadChannel(r, vertexCount, faceCount, m.uvFaceMode, m.uvs, m.uvFaces,
                       "texture coordinate") &&
           ReadChannel(r, vertexCount, faceCount, m.colorFaceMode, m.colors, m.colorFaces,
                       "colour");
}

bool ReadMaterials(Reader& r, Scene& scene) {
    uint32_t count = r.U32("material count");
    if (!r.NeedItems(count, kMaterialMinBytes, "materials")) return false;
    scene.materials.resize(count);
    for (uint32_t i = 0; i < count && r.Ok(); ++i) {
        Material& mat = scene.materials[i];
        uint8_t kind = r.U8("material kind");
        mat.name = r.Str("material name");
        if (!r.Ok()) return false;
        if (kind > 1) return r.Fail("unknown material kind " + std::to_string(kind));
        mat.multi = kind == 1;
        if (!mat.multi) {
            uint8_t has = r.U8("diffuse map flag");
            if (r.Ok() && has > 2) return r.Fail("bad diffuse map flag");
            mat.hasDiffuseMap = has == 1;
            mat.embeddedDiffuseMap = has == 2;
            mat.diffuseMap = r.Str("diffuse map path");
            continue;
        }
        uint32_t subCount = r.U32("sub-material count");
        if (!r.NeedItems(subCount, kSubMaterialBytes, "sub-materials")) return false;
        mat.subs.resize(subCount);
        for (auto& sub : mat.subs) {
            sub.first = r.U32("sub-material number");
            sub.second = r.U32("sub-material");
            if (r.Ok() && sub.second >= count) {
                return r.Fail("sub-material refers to material " + std::to_string(sub.second) +
                              " of " + std::to_string(count));
            }
        }
    }
    if (!r.Ok()) return false;
    // Sub-materials must be standard ones, so the graph has no cycles.
    for (const Material& mat : scene.materials) {
        for (const auto& sub : mat.subs) {
            if (scene.materials[sub.second].multi) {
                return r.Fail("multi-material '" + mat.name + "' holds another multi-material");
            }
        }
    }
    return true;
}

bool ReadNodes(Reader& r, Scene& scene) {
    uint32_t count = r.U32("node count");
    if (!r.NeedItems(count, kNodeMinBytes, "nodes")) return false;
    scene.nodes.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        Node& node = scene.nodes[i];
        node.name = r.Str("node name");
        node.parent = r.U32("parent");
        uint8_t kind = r.U8("node kind");
        for (float& f : node.transform) f = r.F32("transform");
        node.material = r.U32("node material");
        if (!r.Ok()) return false;
        if (node.parent != kNone && node.parent >= i) {
            return r.Fail("node " + std::to_string(i) + " has parent " +
                          std::to_string(node.parent) + ", not an earlier node");
        }
        if (kind > 3) return r.Fail("unknown node kind " + std::to_string(kind));
        node.kind = static_cast<NodeKind>(kind);
        if (node.material != kNone && node.material >= scene.materials.size()) {
            return r.Fail("node refers to material " + std::to_string(node.material) + " of " +
                          std::to_string(scene.materials.size()));
        }
        if (node.kind == NodeKind::Geometry && !ReadMesh(r, node.mesh)) return false;
    }
    return r.Ok();
}

// The frame's keys come as a whole: an up axis and a finite positive factor.
bool ReadFrame(Reader& r, const uint32_t values[kFrameKeyCount], unsigned seen, SourceFrame& f) {
    if (seen == 0) return true;
    if (seen != (1u << kFrameKeyCount) - 1) return r.Fail("incomplete frame record");
    const uint64_t bits = static_cast<uint64_t>(values[2]) << 32 | values[1];
    double factor;
    std::memcpy(&factor, &bits, sizeof factor);
    if (UpAxisName(values[0]).empty()) return r.Fail("bad up axis " + std::to_string(values[0]));
    if (!(factor > 0) || !(factor <= 1e300)) return r.Fail("bad length factor");
    f.recorded = true;
    f.up = values[0];
    f.factor = factor;
    return true;
}

bool ReadLosses(Reader& r, ImportLosses& l, SourceFrame& frame) {
    const uint32_t count = r.U32("loss count");
    if (!r.NeedItems(count, kLossBytes, "losses")) return false;
    uint32_t* const fields[kLossKeyCount] = {&l.lines,         &l.points,        &l.animations,
                                             &l.skinnedMeshes, &l.extraUvMeshes, &l.extraUvSets};
    uint32_t frameValues[kFrameKeyCount] = {};
    unsigned frameSeen = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t key = r.U32("loss key");
        const uint32_t value = r.U32("loss value");
        if (key >= 1 && key <= kLossKeyCount) *fields[key - 1] = value;
        if (key >= kFrameUp && key < kFrameUp + kFrameKeyCount) {
            frameValues[key - kFrameUp] = value;
            frameSeen |= 1u << (key - kFrameUp);
        }
    }
    return r.Ok() && ReadFrame(r, frameValues, frameSeen, frame);
}

}  // namespace

bool DecodeScene(const uint8_t* data, size_t size, Scene& scene, std::string& error) {
    scene = Scene();
    Reader r(data, size);
    if (!r.Need(sizeof kSceneMagic, "header") ||
        std::memcmp(r.Here(), kSceneMagic, sizeof kSceneMagic) != 0) {
        if (r.Ok()) r.Fail("not a compact scene (bad magic)");
        error = r.Error();
        return false;
    }
    r.Skip(sizeof kSceneMagic);
    uint32_t version = r.U32("version");
    if (r.Ok() && version != kCodecVersion && version != kCodecVersionLosses) {
        r.Fail("unsupported version " + std::to_string(version));
    }
    if (r.Ok() && ReadMaterials(r, scene) && ReadNodes(r, scene) &&
        (version != kCodecVersionLosses || ReadLosses(r, scene.losses, scene.frame)) &&
        !r.AtEnd()) {
        r.Fail(version == kCodecVersion ? "unexpected bytes after the last node"
                                        : "unexpected bytes after the losses");
    }
    if (!r.Ok()) {
        error = r.Error();
        scene = Scene();
        return false;
    }
    return true;
}

}  // namespace kvoscene
