#include "cli/scene_codec.h"

#include <cassert>
#include <cstring>

namespace kvoscene {

namespace {

const char kMagic[8] = {'K', 'V', 'O', 'S', 'C', 'E', 'N', 'E'};
constexpr uint32_t kMaxCount = 0x7fffffff;

// On a little-endian machine arrays of 32-bit values are copied as they are.
bool LittleEndian() {
    const uint32_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

// Writes into one buffer, or with a sink into a small one that is handed to
// the sink in pieces; arrays stored as they are go to the sink directly.
class Writer {
public:
    Writer() = default;
    explicit Writer(const SceneSink* sink) : sink_(sink) {}

    void U8(uint8_t v) { out_.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v));
        U8(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void F32(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        U32(bits);
    }
    void Str(const std::string& s) {
        size_t n = s.size() < kMaxStringLength ? s.size() : kMaxStringLength;
        U32(static_cast<uint32_t>(n));
        out_.insert(out_.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
    }
    template <class T>
    void Array(const std::vector<T>& v) {
        static_assert(sizeof(T) == 4, "32-bit values");
        if (LittleEndian()) {
            const uint8_t* bytes = reinterpret_cast<const uint8_t*>(v.data());
            if (sink_ != nullptr && v.size() * 4 >= kPieceBytes) {
                Flush();
                Hand(bytes, v.size() * 4);
                return;
            }
            out_.insert(out_.end(), bytes, bytes + v.size() * 4);
            return;
        }
        for (T x : v) {
            uint32_t bits;
            std::memcpy(&bits, &x, 4);
            U32(bits);
        }
    }
    void Floats(const std::vector<float>& v) { Array(v); }
    void Indices(const std::vector<uint32_t>& v) { Array(v); }
    void Reserve(size_t bytes) { out_.reserve(bytes); }
    // `count` bytes to be filled in place by the caller.
    uint8_t* Extend(size_t count) {
        const size_t at = out_.size();
        out_.resize(at + count);
        return out_.data() + at;
    }
    std::vector<uint8_t>& Bytes() { return out_; }
    bool Streaming() const { return sink_ != nullptr; }
    // With a sink: hands over what was written once it fills a piece.
    void Piece() {
        if (sink_ != nullptr && out_.size() >= kPieceBytes) Flush();
    }
    // With a sink: hands over everything written so far.
    void Flush() {
        if (sink_ == nullptr || out_.empty()) return;
        Hand(out_.data(), out_.size());
        out_.clear();
    }
    bool SinkOk() const { return sinkOk_; }

    static constexpr size_t kPieceBytes = size_t{1} << 18;

private:
    void Hand(const uint8_t* data, size_t size) {
        if (sinkOk_) sinkOk_ = (*sink_)(data, size);
    }

    const SceneSink* sink_ = nullptr;
    bool sinkOk_ = true;
    std::vector<uint8_t> out_;
};

void WriteChannel(Writer& w, ChannelFaces mode, const std::vector<float>& values,
                  const std::vector<uint32_t>& faces) {
    w.U8(static_cast<uint8_t>(mode));
    if (mode == ChannelFaces::Absent) return;
    w.U32(static_cast<uint32_t>(values.size() / 3));
    w.Floats(values);
    if (mode == ChannelFaces::Own) w.Indices(faces);
}

void PutU32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

// A face record: 3 vertex indices, the material ID and the smoothing bits.
constexpr size_t kFaceBytes = 18;

size_t StringBytes(const std::string& s) {
    return 4 + (s.size() < kMaxStringLength ? s.size() : kMaxStringLength);
}

size_t ChannelBytes(ChannelFaces mode, const std::vector<float>& values,
                    const std::vector<uint32_t>& faces) {
    if (mode == ChannelFaces::Absent) return 1;
    return 1 + 4 + values.size() * 4 + (mode == ChannelFaces::Own ? faces.size() * 4 : 0);
}

size_t MeshBytes(const Mesh& m) {
    return 8 + m.positions.size() * 4 + size_t{m.FaceCount()} * kFaceBytes + 1 +
           m.normals.size() * 4 + ChannelBytes(m.uvFaceMode, m.uvs, m.uvFaces) +
           ChannelBytes(m.colorFaceMode, m.colors, m.colorFaces);
}

// The encoded size, so the whole form is written into one allocation.
size_t EncodedBytes(const Scene& scene) {
    size_t bytes = sizeof kMagic + 4 + 4;
    for (const Material& mat : scene.materials) {
        bytes += 1 + StringBytes(mat.name);
        bytes += mat.multi ? 4 + mat.subs.size() * 8 : 1 + StringBytes(mat.diffuseMap);
    }
    bytes += 4;
    for (const Node& node : scene.nodes) {
        bytes += StringBytes(node.name) + 4 + 1 + 12 * 4 + 4;
        if (node.kind == NodeKind::Geometry) bytes += MeshBytes(node.mesh);
    }
    return bytes;
}

void WriteMesh(Writer& w, const Mesh& m) {
    const uint32_t faceCount = m.FaceCount();
    w.U32(m.VertexCount());
    w.U32(faceCount);
    w.Floats(m.positions);
    // Faces in blocks, each handed to a sink as soon as it is written.
    const uint32_t block = w.Streaming() ? Writer::kPieceBytes / kFaceBytes : faceCount;
    for (uint32_t first = 0; first < faceCount; first += block) {
        const uint32_t end = faceCount - first > block ? first + block : faceCount;
        uint8_t* at = w.Extend(size_t{end - first} * kFaceBytes);
        for (uint32_t f = first; f < end; ++f, at += kFaceBytes) {
            for (int k = 0; k < 3; ++k) PutU32(at + 4 * k, m.faces[3 * f + k]);
            at[12] = static_cast<uint8_t>(m.materialIds[f]);
            at[13] = static_cast<uint8_t>(m.materialIds[f] >> 8);
            PutU32(at + 14, m.smoothing[f]);
        }
        w.Piece();
    }
    w.U8(m.normals.empty() ? 0 : 1);
    if (!m.normals.empty()) w.Floats(m.normals);
    WriteChannel(w, m.uvFaceMode, m.uvs, m.uvFaces);
    WriteChannel(w, m.colorFaceMode, m.colors, m.colorFaces);
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
    uint16_t U16(const char* what) {
        if (!Need(2, what)) return 0;
        uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
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
        if (!ok_) return {};
        if (n > kMaxStringLength) {
            Fail(std::string(what) + " longer than " + std::to_string(kMaxStringLength));
            return {};
        }
        if (!Need(n, what)) return {};
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }
    // `count` 32-bit values, checked for room first.
    template <class T>
    bool Array(uint64_t count, std::vector<T>& out, const char* what) {
        if (!NeedItems(count, 4, what)) return false;
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
    if (hasNormals && !r.Floats(uint64_t{vertexCount} * 3, m.normals, "normals")) return false;
    return ReadChannel(r, vertexCount, faceCount, m.uvFaceMode, m.uvs, m.uvFaces,
                       "texture coordinate") &&
           ReadChannel(r, vertexCount, faceCount, m.colorFaceMode, m.colors, m.colorFaces,
                       "colour");
}

bool ReadMaterials(Reader& r, Scene& scene) {
    uint32_t count = r.U32("material count");
    // Each material takes at least a kind byte and a name length.
    if (!r.NeedItems(count, 5, "materials")) return false;
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
            if (r.Ok() && has > 1) return r.Fail("bad diffuse map flag");
            mat.hasDiffuseMap = has == 1;
            mat.diffuseMap = r.Str("diffuse map path");
            continue;
        }
        uint32_t subCount = r.U32("sub-material count");
        if (!r.NeedItems(subCount, 8, "sub-materials")) return false;
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
    // Name length, parent, kind, transform and material: at least 65 bytes.
    if (!r.NeedItems(count, 65, "nodes")) return false;
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

}  // namespace

const char* KindName(NodeKind kind) {
    switch (kind) {
        case NodeKind::Geometry:
            return "geometry";
        case NodeKind::Camera:
            return "camera";
        case NodeKind::Light:
            return "light";
        case NodeKind::Helper:
            return "helper";
    }
    return "unknown";
}

namespace {

void WriteScene(Writer& w, const Scene& scene) {
    for (char c : kMagic) w.U8(static_cast<uint8_t>(c));
    w.U32(kCodecVersion);
    w.U32(static_cast<uint32_t>(scene.materials.size()));
    for (const Material& mat : scene.materials) {
        w.U8(mat.multi ? 1 : 0);
        w.Str(mat.name);
        if (!mat.multi) {
            w.U8(mat.hasDiffuseMap ? 1 : 0);
            w.Str(mat.diffuseMap);
            continue;
        }
        w.U32(static_cast<uint32_t>(mat.subs.size()));
        for (const auto& sub : mat.subs) {
            w.U32(sub.first);
            w.U32(sub.second);
        }
    }
    w.U32(static_cast<uint32_t>(scene.nodes.size()));
    for (const Node& node : scene.nodes) {
        w.Str(node.name);
        w.U32(node.parent);
        w.U8(static_cast<uint8_t>(node.kind));
        for (float f : node.transform) w.F32(f);
        w.U32(node.material);
        if (node.kind == NodeKind::Geometry) WriteMesh(w, node.mesh);
        w.Piece();
    }
}

}  // namespace

size_t EncodedSize(const Scene& scene) {
    return EncodedBytes(scene);
}

std::vector<uint8_t> EncodeScene(const Scene& scene) {
    Writer w;
    const size_t expected = EncodedBytes(scene);
    w.Reserve(expected);
    WriteScene(w, scene);
    assert(w.Bytes().size() == expected);
    (void)expected;
    return std::move(w.Bytes());
}

bool EncodeScene(const Scene& scene, const SceneSink& sink) {
    Writer w(&sink);
    w.Reserve(Writer::kPieceBytes + 4096);
    WriteScene(w, scene);
    w.Flush();
    return w.SinkOk();
}

bool DecodeScene(const uint8_t* data, size_t size, Scene& scene, std::string& error) {
    scene = Scene();
    Reader r(data, size);
    if (!r.Need(sizeof kMagic, "header") || std::memcmp(r.Here(), kMagic, sizeof kMagic) != 0) {
        if (r.Ok()) r.Fail("not a compact scene (bad magic)");
        error = r.Error();
        return false;
    }
    r.Skip(sizeof kMagic);
    uint32_t version = r.U32("version");
    if (r.Ok() && version != kCodecVersion) {
        r.Fail("unsupported version " + std::to_string(version));
    }
    if (r.Ok() && ReadMaterials(r, scene) && ReadNodes(r, scene) && !r.AtEnd()) {
        r.Fail("unexpected bytes after the last node");
    }
    if (!r.Ok()) {
        error = r.Error();
        scene = Scene();
        return false;
    }
    return true;
}

}  // namespace kvoscene
