#include "scene/scene_encoder.h"

#include <cassert>
#include <cstring>

#include "scene/scene_format.h"

namespace kvoscene {

namespace {

// Strings are carried whole; one of 4 GiB cannot come from an import.
uint32_t StoredLength(const std::string& s) {
    assert(s.size() <= UINT32_MAX);
    return static_cast<uint32_t>(s.size());
}

// Writes into one buffer, or with a sink into a small one that is handed to
// the sink in pieces; arrays stored as they are go to the sink directly.
class ByteWriter {
public:
    ByteWriter() = default;
    explicit ByteWriter(const SceneSink* sink) : sink_(sink) {}

    void U8(uint8_t v) { out_.push_back(v); }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<uint8_t>(v >> (8 * i)));
    }
    void F32(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        U32(bits);
    }
    void Str(const std::string& s) {
        U32(StoredLength(s));
        out_.insert(out_.end(), s.begin(), s.end());
    }
    // 32-bit values (floats or indices).
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
    // `count` bytes to be filled in place by the caller.
    uint8_t* Extend(size_t count) {
        const size_t at = out_.size();
        out_.resize(at + count);
        return out_.data() + at;
    }
    // Faces per block: with a sink, each block is handed over when written.
    uint32_t FaceBlock(uint32_t faceCount) const {
        return sink_ != nullptr ? static_cast<uint32_t>(kPieceBytes / kFaceBytes) : faceCount;
    }
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
    void Reserve(size_t bytes) { out_.reserve(bytes); }
    std::vector<uint8_t>& Bytes() { return out_; }
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

// Takes the same calls as ByteWriter and only counts their bytes, so the
// size comes from the very code that writes the form.
class SizeCounter {
public:
    void U8(uint8_t) { bytes_ += 1; }
    void U32(uint32_t) { bytes_ += 4; }
    void F32(float) { bytes_ += 4; }
    void Str(const std::string& s) { bytes_ += 4 + StoredLength(s); }
    template <class T>
    void Array(const std::vector<T>& v) {
        bytes_ += v.size() * 4;
    }
    uint8_t* Extend(size_t count) {
        bytes_ += count;
        return nullptr;
    }
    uint32_t FaceBlock(uint32_t faceCount) const { return faceCount; }
    void Piece() {}
    size_t Bytes() const { return bytes_; }

private:
    size_t bytes_ = 0;
};

void PutU32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

template <class Out>
void WriteChannel(Out& w, ChannelFaces mode, const std::vector<float>& values,
                  const std::vector<uint32_t>& faces) {
    w.U8(static_cast<uint8_t>(mode));
    if (mode == ChannelFaces::Absent) return;
    w.U32(static_cast<uint32_t>(values.size() / 3));
    w.Array(values);
    if (mode == ChannelFaces::Own) w.Array(faces);
}

template <class Out>
void WriteMesh(Out& w, const Mesh& m) {
    const uint32_t faceCount = m.FaceCount();
    w.U32(m.VertexCount());
    w.U32(faceCount);
    w.Array(m.positions);
    const uint32_t block = w.FaceBlock(faceCount);
    for (uint32_t first = 0; first < faceCount; first += block) {
        const uint32_t end = faceCount - first > block ? first + block : faceCount;
        uint8_t* at = w.Extend(size_t{end - first} * kFaceBytes);
        for (uint32_t f = first; at != nullptr && f < end; ++f, at += kFaceBytes) {
            for (int k = 0; k < 3; ++k) PutU32(at + 4 * k, m.faces[3 * f + k]);
            at[12] = static_cast<uint8_t>(m.materialIds[f]);
            at[13] = static_cast<uint8_t>(m.materialIds[f] >> 8);
            PutU32(at + 14, m.smoothing[f]);
        }
        w.Piece();
    }
    w.U8(m.normals.empty() ? 0 : 1);
    if (!m.normals.empty()) w.Array(m.normals);
    WriteChannel(w, m.uvFaceMode, m.uvs, m.uvFaces);
    WriteChannel(w, m.colorFaceMode, m.colors, m.colorFaces);
}

// The one description of the layout, for writing and for counting.
template <class Out>
void WriteScene(Out& w, const Scene& scene) {
    for (char c : kSceneMagic) w.U8(static_cast<uint8_t>(c));
    const bool losses = scene.losses.Any();
    const bool frame = scene.frame.recorded;
    w.U32(losses || frame ? kCodecVersionLosses : kCodecVersion);
    w.U32(static_cast<uint32_t>(scene.materials.size()));
    for (const Material& mat : scene.materials) {
        w.U8(mat.multi ? 1 : 0);
        w.Str(mat.name);
        if (!mat.multi) {
            w.U8(mat.hasDiffuseMap ? 1 : mat.embeddedDiffuseMap ? 2 : 0);
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
    if (!losses && !frame) return;
    w.U32((losses ? kLossKeyCount : 0) + (frame ? kFrameKeyCount : 0));
    if (losses) {
        const ImportLosses& l = scene.losses;
        const uint32_t values[kLossKeyCount] = {l.lines,         l.points,        l.animations,
                                                l.skinnedMeshes, l.extraUvMeshes, l.extraUvSets};
        for (uint32_t key = 1; key <= kLossKeyCount; ++key) {
            w.U32(key);
            w.U32(values[key - 1]);
        }
    }
    if (frame) {
        uint64_t bits;
        std::memcpy(&bits, &scene.frame.factor, sizeof bits);
        const uint32_t pairs[kFrameKeyCount][2] = {
            {kFrameUp, scene.frame.up},
            {kFrameFactorLow, static_cast<uint32_t>(bits)},
            {kFrameFactorHigh, static_cast<uint32_t>(bits >> 32)}};
        for (const auto& pair : pairs) {
            w.U32(pair[0]);
            w.U32(pair[1]);
        }
    }
}

}  // namespace

size_t EncodedSize(const Scene& scene) {
    SizeCounter counter;
    WriteScene(counter, scene);
    return counter.Bytes();
}

std::vector<uint8_t> EncodeScene(const Scene& scene) {
    ByteWriter w;
    const size_t expected = EncodedSize(scene);
    w.Reserve(expected);
    WriteScene(w, scene);
    assert(w.Bytes().size() == expected);
    (void)expected;
    return std::move(w.Bytes());
}

bool EncodeScene(const Scene& scene, const SceneSink& sink) {
    ByteWriter w(&sink);
    w.Reserve(ByteWriter::kPieceBytes + 4096);
    WriteScene(w, scene);
    w.Flush();
    return w.SinkOk();
}

}  // namespace kvoscene
