#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>

#include "scene/scene_decoder.h"
#include "scene/scene_encoder.h"
#include "tests/support/scene_nodes.h"

namespace {

using kvoscene::ChannelFaces;
using kvoscene::DecodeScene;
using kvoscene::EncodeScene;
using kvoscene::Scene;

// One standard material with a map, a multi-material over it, and one
// triangle node that uses the multi-material and carries texture coordinates.
Scene PinnedScene() {
    Scene scene;
    kvoscene::Material standard;
    standard.name = "M";
    standard.hasDiffuseMap = true;
    standard.diffuseMap = "a.png";
    kvoscene::Material multi;
    multi.name = "X";
    multi.multi = true;
    multi.subs = {{0, 0}};
    scene.materials = {standard, multi};
    kvoscene::Node node = testsupport::TriangleNode("T");
    node.mesh.positions[0] = -2.5f;
    node.material = 1;
    node.mesh.uvs = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    node.mesh.uvFaceMode = ChannelFaces::SameAsPositions;
    scene.nodes = {node};
    return scene;
}

const std::vector<uint8_t> kPinnedBytes = {
    'K', 'V', 'O', 'S', 'C', 'E', 'N', 'E', 1, 0, 0, 0,          // magic, version
    2, 0, 0, 0,                                                  // materials
    0, 1, 0, 0, 0, 'M', 1, 5, 0, 0, 0, 'a', '.', 'p', 'n', 'g',  // standard
                                                                 // "M",
                                                                 // map
    1, 1, 0, 0, 0, 'X', 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0,                                           // multi "X", sub 0 -> 0
    1, 0, 0, 0,                                  // nodes
    1, 0, 0, 0, 'T', 0xff, 0xff, 0xff, 0xff, 0,  // "T", root, geometry
    0, 0, 0x80, 0x3f, 0, 0, 0, 0, 0, 0, 0, 0,    // row 0: 1 0 0
    0, 0, 0, 0, 0, 0, 0x80, 0x3f, 0, 0, 0, 0,    // row 1: 0 1 0
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x3f,    // row 2: 0 0 1
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,          // row 3: 0 0 0
    1, 0, 0, 0,                                  // material 1
    3, 0, 0, 0, 1, 0, 0, 0,                      // 3 vertices, 1 face
    0, 0, 0x20, 0xc0, 0, 0, 0, 0, 0, 0, 0, 0,    // (-2.5, 0, 0)
    0, 0, 0x80, 0x3f, 0, 0, 0, 0, 0, 0, 0, 0,    // (1, 0, 0)
    0, 0, 0, 0, 0, 0, 0x80, 0x3f, 0, 0, 0, 0,    // (0, 1, 0)
    0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 0, 0,
    0,                                         // face, ID 0, smoothing 1
    0,                                         // no normals
    1, 3, 0, 0, 0,                             // uvs: faces as positions
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,        //
    0, 0, 0x80, 0x3f, 0, 0, 0, 0, 0, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 0x80, 0x3f, 0, 0, 0, 0,  //
    0,                                         // no colours
};

TEST(SceneCodec, EncodesThePinnedBytes) {
    EXPECT_EQ(EncodeScene(PinnedScene()), kPinnedBytes);
}

TEST(SceneCodec, DecodesThePinnedBytesBack) {
    Scene scene;
    std::string error;
    ASSERT_TRUE(DecodeScene(kPinnedBytes.data(), kPinnedBytes.size(), scene, error)) << error;
    ASSERT_EQ(scene.materials.size(), 2u);
    EXPECT_EQ(scene.materials[0].diffuseMap, "a.png");
    EXPECT_TRUE(scene.materials[1].multi);
    ASSERT_EQ(scene.nodes.size(), 1u);
    EXPECT_EQ(scene.nodes[0].name, "T");
    EXPECT_EQ(scene.nodes[0].material, 1u);
    EXPECT_EQ(scene.nodes[0].mesh.positions[0], -2.5f);
    EXPECT_EQ(scene.nodes[0].mesh.uvFaceMode, ChannelFaces::SameAsPositions);
    EXPECT_EQ(EncodeScene(scene), kPinnedBytes);
}

// The diffuse-map byte of the standard material: 0 none, 1 a file, 2 a map
// held inside the scene file (no bitmap; the path is only its name).
TEST(SceneCodec, CarriesEmbeddedDiffuseMapsAndRefusesOtherFlags) {
    constexpr size_t kMapFlag = 22;
    ASSERT_EQ(kPinnedBytes[kMapFlag], 1);
    for (uint8_t flag : {0, 1, 2, 3}) {
        std::vector<uint8_t> bytes = kPinnedBytes;
        bytes[kMapFlag] = flag;
        Scene scene;
        std::string error;
        const bool decoded = DecodeScene(bytes.data(), bytes.size(), scene, error);
        ASSERT_EQ(decoded, flag <= 2) << int(flag) << ": " << error;
        if (!decoded) {
            EXPECT_NE(error.find("bad diffuse map flag"), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(scene.materials[0].hasDiffuseMap, flag == 1);
        EXPECT_EQ(scene.materials[0].embeddedDiffuseMap, flag == 2);
        EXPECT_EQ(EncodeScene(scene), bytes);
    }
}

TEST(SceneCodec, RoundTripsEveryChannelBitForBit) {
    Scene scene;
    kvoscene::Node parent = testsupport::TriangleNode("parent node");
    parent.mesh.normals = {0, 0, 1, 0, 0, 1, 0, 0, -0.0f};
    parent.mesh.colors = {1, 0, 0, 0, 1, 0};
    parent.mesh.colorFaceMode = ChannelFaces::Own;
    parent.mesh.colorFaces = {1, 0, 1};
    parent.mesh.materialIds = {65535};
    parent.mesh.smoothing = {0x80000001u};
    parent.transform[9] = 1e-38f;
    kvoscene::Node camera;
    camera.name = "cam";
    camera.kind = kvoscene::NodeKind::Camera;
    camera.parent = 0;
    scene.nodes = {parent, camera};
    const std::vector<uint8_t> bytes = EncodeScene(scene);
    Scene back;
    std::string error;
    ASSERT_TRUE(DecodeScene(bytes.data(), bytes.size(), back, error)) << error;
    EXPECT_EQ(EncodeScene(back), bytes);
    EXPECT_TRUE(std::signbit(back.nodes[0].mesh.normals[8]));
    EXPECT_EQ(back.nodes[0].mesh.colorFaces, (std::vector<uint32_t>{1, 0, 1}));
    EXPECT_EQ(back.nodes[0].mesh.materialIds[0], 65535);
    EXPECT_EQ(back.nodes[1].parent, 0u);
    EXPECT_EQ(back.nodes[1].kind, kvoscene::NodeKind::Camera);
}

TEST(SceneCodec, SurvivesEveryByteFlipped) {
    for (size_t i = 0; i < kPinnedBytes.size(); ++i) {
        for (uint8_t mask : {0x01, 0x80, 0xff}) {
            std::vector<uint8_t> bytes = kPinnedBytes;
            bytes[i] ^= mask;
            Scene scene;
            std::string error;
            if (DecodeScene(bytes.data(), bytes.size(), scene, error)) {
                // Whatever decodes must be consistent enough to encode again.
                EXPECT_EQ(EncodeScene(scene), bytes) << i;
            } else {
                EXPECT_FALSE(error.empty());
            }
        }
    }
}

// Offsets into kPinnedBytes of fields that targeted corruptions change.
constexpr size_t kSubIndex = 46;
constexpr size_t kNodeParent = 59;
constexpr size_t kNodeKind = 63;
constexpr size_t kNodeMaterial = 112;
constexpr size_t kFaceCount = 120;
constexpr size_t kFirstFaceIndex = 160;
constexpr size_t kUvMode = 179;

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// One triangle and `count` empty root nodes named by `name`.
Scene TriangleAndEmptyNodes(size_t count, const std::string& name) {
    Scene scene;
    scene.nodes.push_back(testsupport::TriangleNode("T"));
    for (size_t i = 0; i < count; ++i) {
        kvoscene::Node node;
        node.name = name;
        scene.nodes.push_back(node);
    }
    return scene;
}

// A standard material whose map path is longer than 16 bits can count.
Scene LongPathScene() {
    Scene scene;
    kvoscene::Material mat;
    mat.name = "long";
    mat.hasDiffuseMap = true;
    mat.diffuseMap = std::string(70000, 'p') + ".png";
    scene.materials = {mat};
    scene.nodes = {testsupport::TriangleNode("T")};
    scene.nodes[0].material = 0;
    return scene;
}

TEST(SceneCodec, RoundTripsManySmallNodes) {
    for (const Scene& scene : {TriangleAndEmptyNodes(40, "ab"), TriangleAndEmptyNodes(40, "")}) {
        const std::vector<uint8_t> bytes = EncodeScene(scene);
        Scene back;
        std::string error;
        ASSERT_TRUE(DecodeScene(bytes.data(), bytes.size(), back, error)) << error;
        ASSERT_EQ(back.nodes.size(), 41u);
        EXPECT_EQ(back.nodes[40].name, scene.nodes[40].name);
        EXPECT_EQ(EncodeScene(back), bytes);
    }
}

TEST(SceneCodec, CarriesStringsLongerThan16BitsWhole) {
    const Scene scene = LongPathScene();
    const std::vector<uint8_t> bytes = EncodeScene(scene);
    // Material kind, name "long", map flag, then the path's length 70004.
    const size_t lengthAt = 16 + 1 + 4 + 4 + 1;
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + lengthAt, bytes.begin() + lengthAt + 4),
              (std::vector<uint8_t>{0x74, 0x11, 0x01, 0x00}));
    Scene back;
    std::string error;
    ASSERT_TRUE(DecodeScene(bytes.data(), bytes.size(), back, error)) << error;
    EXPECT_EQ(back.materials[0].diffuseMap, scene.materials[0].diffuseMap);
}

TEST(SceneCodec, RejectsEveryTruncation) {
    Scene channels = PinnedScene();
    channels.nodes[0].mesh.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    channels.nodes[0].mesh.colors = {1, 0, 0};
    channels.nodes[0].mesh.colorFaceMode = ChannelFaces::Own;
    channels.nodes[0].mesh.colorFaces = {0, 0, 0};
    const std::vector<std::vector<uint8_t>> encodings = {
        kPinnedBytes, EncodeScene(channels), EncodeScene(TriangleAndEmptyNodes(40, "ab")),
        EncodeScene(TriangleAndEmptyNodes(3, ""))};
    for (const std::vector<uint8_t>& whole : encodings) {
        for (size_t size = 0; size < whole.size(); ++size) {
            Scene scene;
            std::string error;
            EXPECT_FALSE(DecodeScene(whole.data(), size, scene, error)) << size;
            EXPECT_FALSE(error.empty()) << size;
            EXPECT_TRUE(scene.nodes.empty() && scene.materials.empty()) << size;
        }
    }
    // The long string: every cut inside it and around it.
    const std::vector<uint8_t> longPath = EncodeScene(LongPathScene());
    for (size_t size :
         {size_t{26}, size_t{29}, size_t{30}, size_t{35000}, size_t{70033}, longPath.size() - 1}) {
        Scene scene;
        std::string error;
        EXPECT_FALSE(DecodeScene(longPath.data(), size, scene, error)) << size;
        EXPECT_FALSE(error.empty()) << size;
    }
}

// Scenes whose every record has its least size: a count one larger than the
// records present must be refused by the count check itself.
TEST(SceneCodec, RefusesCountsTheRemainingBytesCannotHold) {
    Scene materials;
    kvoscene::Material multi;
    multi.multi = true;
    materials.materials.assign(5, multi);
    Scene nodes = TriangleAndEmptyNodes(0, "");
    nodes.nodes.assign(5, kvoscene::Node());
    kvoscene::Material standard;
    Scene subs;
    multi.subs = {{0, 0}, {1, 0}};
    subs.materials = {standard, multi};
    struct Case {
        const char* what;
        Scene scene;
        size_t countAt;
        const char* message;
        bool oneMore = true;  // a record count: one more than present cannot fit
    };
    const std::vector<Case> cases = {
        {"materials", materials, 12, "truncated while reading materials at byte 16"},
        {"nodes", nodes, 16, "truncated while reading nodes at byte 20"},
        {"sub-materials", subs, 12 + 4 + 10 + 5, "truncated while reading sub-materials"},
        {"material name", materials, 12 + 4 + 1, "truncated while reading material name", false},
        {"node name", nodes, 16 + 4, "truncated while reading node name", false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = EncodeScene(c.scene);
        Scene back;
        std::string error;
        // As encoded, the least sizes are accepted.
        ASSERT_TRUE(DecodeScene(bytes.data(), bytes.size(), back, error)) << c.what << error;
        uint32_t count = 0;
        for (int i = 0; i < 4; ++i) count |= uint32_t{bytes[c.countAt + i]} << (8 * i);
        for (uint32_t wrong : {c.oneMore ? count + 1 : 0x10000u, 0x7fffffffu, 0xffffffffu}) {
            Put32(bytes, c.countAt, wrong);
            EXPECT_FALSE(DecodeScene(bytes.data(), bytes.size(), back, error)) << c.what;
            EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        }
    }
}

TEST(SceneCodec, RejectsInconsistentFieldsWithAMessage) {
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> corrupt;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"magic", [](auto& b) { b[0] = 'X'; }, "bad magic"},
        {"version", [](auto& b) { b[8] = 3; }, "unsupported version 3"},
        {"sub-material index", [](auto& b) { Put32(b, kSubIndex, 2); }, "refers to material 2"},
        {"nested multi", [](auto& b) { Put32(b, kSubIndex, 1); }, "holds another multi"},
        {"parent", [](auto& b) { Put32(b, kNodeParent, 0); }, "not an earlier node"},
        {"kind", [](auto& b) { b[kNodeKind] = 9; }, "unknown node kind 9"},
        {"node material", [](auto& b) { Put32(b, kNodeMaterial, 7); }, "refers to material 7"},
        {"huge face count", [](auto& b) { Put32(b, kFaceCount, 0x40000000); }, "truncated"},
        {"face count beyond int", [](auto& b) { Put32(b, kFaceCount, 0x80000000); }, "too large"},
        {"face index", [](auto& b) { Put32(b, kFirstFaceIndex, 3); }, "refers to vertex 3 of 3"},
        {"uv mode", [](auto& b) { b[kUvMode] = 3; }, "unknown texture coordinate mode"},
        {"normals without vertices",
         [](auto& b) {
             // The one triangle becomes a mesh of no vertices and no faces.
             b.resize(kFaceCount - 4);
             b.insert(b.end(), {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0});
         },
         "normals for a mesh without vertices"},
        {"trailing byte", [](auto& b) { b.push_back(0); }, "unexpected bytes"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = kPinnedBytes;
        c.corrupt(bytes);
        Scene scene;
        std::string error;
        EXPECT_FALSE(DecodeScene(bytes.data(), bytes.size(), scene, error)) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    }
}

TEST(SceneCodec, RejectsAChannelWhoseCountDiffersFromTheVertices) {
    Scene scene = PinnedScene();
    scene.nodes[0].mesh.uvs.resize(6);
    const std::vector<uint8_t> bytes = EncodeScene(scene);
    Scene back;
    std::string error;
    EXPECT_FALSE(DecodeScene(bytes.data(), bytes.size(), back, error));
    EXPECT_NE(error.find("differs from the vertex count"), std::string::npos) << error;
}

}  // namespace

namespace {

// Large enough that every array and the faces span several pieces of a
// streamed encoding, beside small nodes between them.
Scene LargeScene() {
    Scene scene = PinnedScene();
    std::mt19937 rng(7);
    std::uniform_int_distribution<uint32_t> any;
    for (uint32_t faces : {100000u, 3u, 70001u}) {
        kvoscene::Node node;
        node.name = "big " + std::to_string(faces);
        node.kind = kvoscene::NodeKind::Geometry;
        kvoscene::Mesh& m = node.mesh;
        const uint32_t vertices = faces / 2 + 3;
        for (uint32_t i = 0; i < vertices * 3; ++i) m.positions.push_back(float(any(rng) % 1000));
        for (uint32_t i = 0; i < faces * 3; ++i) m.faces.push_back(any(rng) % vertices);
        for (uint32_t f = 0; f < faces; ++f) {
            m.materialIds.push_back(static_cast<uint16_t>(any(rng)));
            m.smoothing.push_back(any(rng));
        }
        m.normals = m.positions;
        m.uvs = m.positions;
        m.uvFaceMode = kvoscene::ChannelFaces::SameAsPositions;
        m.colors.assign(size_t{faces} * 3, 0.5f);  // one colour per corner
        m.colorFaceMode = kvoscene::ChannelFaces::Own;
        for (uint32_t i = 0; i < faces * 3; ++i) m.colorFaces.push_back(i);
        scene.nodes.push_back(std::move(node));
    }
    return scene;
}

}  // namespace

TEST(SceneCodec, StreamedEncodingGivesTheSameBytesInPieces) {
    for (const Scene& scene : {PinnedScene(), LargeScene(), Scene()}) {
        const std::vector<uint8_t> whole = EncodeScene(scene);
        std::vector<uint8_t> streamed;
        size_t pieces = 0;
        EXPECT_TRUE(kvoscene::EncodeScene(scene, [&](const uint8_t* data, size_t size) {
            EXPECT_GT(size, 0u);
            streamed.insert(streamed.end(), data, data + size);
            ++pieces;
            return true;
        }));
        EXPECT_EQ(streamed, whole);
        EXPECT_EQ(kvoscene::EncodedSize(scene), whole.size());
        if (whole.size() > (size_t{1} << 20)) {
            EXPECT_GT(pieces, 4u);
        }
    }
}

TEST(SceneCodec, StreamedEncodingStopsWhenTheSinkFails) {
    const Scene scene = LargeScene();
    for (size_t failAt : {size_t{1}, size_t{2}, size_t{5}}) {
        size_t calls = 0;
        EXPECT_FALSE(kvoscene::EncodeScene(scene, [&](const uint8_t*, size_t) {
            ++calls;
            return calls < failAt;
        }));
        EXPECT_EQ(calls, failAt);
    }
}

namespace {

// What the import lost: a version-2 form, the pinned scene followed by the
// losses as (key, value) pairs.
std::vector<uint8_t> WithLosses(uint32_t count, const std::vector<uint32_t>& pairs) {
    std::vector<uint8_t> bytes = kPinnedBytes;
    bytes[8] = 2;
    const auto put = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put(count);
    for (uint32_t v : pairs) put(v);
    return bytes;
}

TEST(SceneCodec, LossesMakeAVersionTwoFormThatRoundTrips) {
    Scene scene = PinnedScene();
    scene.losses.lines = 4;
    scene.losses.points = 2;
    scene.losses.animations = 1;
    scene.losses.skinnedMeshes = 3;
    scene.losses.extraUvMeshes = 1;
    scene.losses.extraUvSets = 0x01020304;
    const std::vector<uint8_t> expected =
        WithLosses(6, {1, 4, 2, 2, 3, 1, 4, 3, 5, 1, 6, 0x01020304});
    EXPECT_EQ(EncodeScene(scene), expected);
    Scene back;
    std::string error;
    ASSERT_TRUE(DecodeScene(expected.data(), expected.size(), back, error)) << error;
    EXPECT_EQ(back.losses.lines, 4u);
    EXPECT_EQ(back.losses.points, 2u);
    EXPECT_EQ(back.losses.animations, 1u);
    EXPECT_EQ(back.losses.skinnedMeshes, 3u);
    EXPECT_EQ(back.losses.extraUvMeshes, 1u);
    EXPECT_EQ(back.losses.extraUvSets, 0x01020304u);
    EXPECT_EQ(EncodeScene(back), expected);
    // A scene that lost nothing stays a version-1 form.
    EXPECT_EQ(EncodeScene(PinnedScene()), kPinnedBytes);
}

TEST(SceneCodec, LossesAreReadWithTheirBoundsAndLaterKeysSkipped) {
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        bool decodes;
        uint32_t lines;
        const char* error;
    } cases[] = {
        {"no losses listed", WithLosses(0, {}), true, 0, ""},
        {"an unknown key is skipped", WithLosses(2, {99, 7, 1, 5}), true, 5, ""},
        {"a count past the input", WithLosses(3, {1, 5}), false, 0,
         "truncated while reading losses"},
        {"a huge count", WithLosses(0xffffffffu, {1, 5}), false, 0,
         "truncated while reading losses"},
        {"bytes after the losses", WithLosses(1, {1, 5, 0}), false, 0,
         "unexpected bytes after the losses"},
        {"version 1 with losses after the nodes",
         [] {
             std::vector<uint8_t> b = WithLosses(1, {1, 5});
             b[8] = 1;
             return b;
         }(),
         false, 0, "unexpected bytes after the last node"},
        {"version 3",
         [] {
             std::vector<uint8_t> b = WithLosses(0, {});
             b[8] = 3;
             return b;
         }(),
         false, 0, "unsupported version 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene scene;
        std::string error;
        ASSERT_EQ(DecodeScene(c.bytes.data(), c.bytes.size(), scene, error), c.decodes) << error;
        if (c.decodes) {
            EXPECT_EQ(scene.losses.lines, c.lines);
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
            EXPECT_TRUE(scene.nodes.empty());
        }
    }
}

TEST(SceneCodec, EveryCutOfAFormWithLossesIsRefused) {
    const std::vector<uint8_t> bytes = WithLosses(2, {1, 4, 3, 1});
    for (size_t size = 0; size < bytes.size(); ++size) {
        Scene scene;
        std::string error;
        EXPECT_FALSE(DecodeScene(bytes.data(), size, scene, error)) << size;
        EXPECT_FALSE(error.empty()) << size;
    }
}

}  // namespace

namespace {

uint32_t FactorHalf(double factor, bool high) {
    uint64_t bits;
    std::memcpy(&bits, &factor, sizeof bits);
    return static_cast<uint32_t>(high ? bits >> 32 : bits);
}

// The import's frame: up axis and the length factor's two halves.
std::vector<uint32_t> FramePairs(uint32_t up, double factor) {
    return {16, up, 17, FactorHalf(factor, false), 18, FactorHalf(factor, true)};
}

TEST(SceneCodec, AFrameMakesAVersionTwoFormThatRoundTrips) {
    Scene scene = PinnedScene();
    scene.frame.recorded = true;
    scene.frame.up = 2;
    scene.frame.factor = 0.0254;
    const std::vector<uint8_t> frameOnly = WithLosses(3, FramePairs(2, 0.0254));
    EXPECT_EQ(EncodeScene(scene), frameOnly);
    // Losses come first, the frame after them.
    scene.losses.lines = 7;
    std::vector<uint32_t> both = {1, 7, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0};
    const std::vector<uint32_t> frame = FramePairs(2, 0.0254);
    both.insert(both.end(), frame.begin(), frame.end());
    const std::vector<uint8_t> withBoth = WithLosses(9, both);
    EXPECT_EQ(EncodeScene(scene), withBoth);
    for (const std::vector<uint8_t>* bytes : {&frameOnly, &withBoth}) {
        Scene back;
        std::string error;
        ASSERT_TRUE(DecodeScene(bytes->data(), bytes->size(), back, error)) << error;
        EXPECT_TRUE(back.frame.recorded);
        EXPECT_EQ(back.frame.up, 2u);
        EXPECT_EQ(back.frame.factor, 0.0254);
        EXPECT_EQ(EncodeScene(back), *bytes);
    }
    EXPECT_EQ(kvoscene::UpAxisName(2), "z");
    EXPECT_EQ(kvoscene::UpAxisName(4 + 1), "-y");
    EXPECT_EQ(kvoscene::UpAxisName(3), "");
    EXPECT_EQ(kvoscene::UpAxisName(8), "");
}

TEST(SceneCodec, AFrameIsReadWhole) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* error;  // "" decodes
    } cases[] = {
        {"in any order", WithLosses(3, {18, FactorHalf(2, true), 16, 6, 17, 0}), ""},
        {"the up axis alone", WithLosses(1, {16, 2}), "incomplete frame record"},
        {"no up axis", WithLosses(2, {17, 0, 18, FactorHalf(2, true)}), "incomplete frame record"},
        {"up axis 3", WithLosses(3, FramePairs(3, 1)), "bad up axis 3"},
        {"up axis past the sign bit", WithLosses(3, FramePairs(9, 1)), "bad up axis 9"},
        {"a zero factor", WithLosses(3, FramePairs(1, 0)), "bad length factor"},
        {"a negative factor", WithLosses(3, FramePairs(1, -2)), "bad length factor"},
        {"a NaN factor", WithLosses(3, FramePairs(1, nan)), "bad length factor"},
        {"an infinite factor", WithLosses(3, FramePairs(1, inf)), "bad length factor"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene scene;
        std::string error;
        const bool decodes = DecodeScene(c.bytes.data(), c.bytes.size(), scene, error);
        ASSERT_EQ(decodes, *c.error == 0) << error;
        if (decodes) {
            EXPECT_EQ(scene.frame.up, 6u);
            EXPECT_EQ(scene.frame.factor, 2.0);
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
            EXPECT_TRUE(scene.nodes.empty());
            EXPECT_FALSE(scene.frame.recorded);
        }
    }
}

TEST(SceneCodec, EveryCutOfAFormWithAFrameIsRefused) {
    const std::vector<uint8_t> bytes = WithLosses(3, FramePairs(2, 100));
    for (size_t size = kPinnedBytes.size(); size < bytes.size(); ++size) {
        Scene scene;
        std::string error;
        EXPECT_FALSE(DecodeScene(bytes.data(), size, scene, error)) << size;
        EXPECT_FALSE(error.empty()) << size;
    }
}

}  // namespace
