// Source frames and units: the signed axis permutations against the import's
// own Y-up to Z-up change, a scene turned and scaled node by node, the unit
// factor, and the frame's part of an import request.
#include "cli/import/frame_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "cli/import/axis_conversion.h"
#include "cli/import/import_protocol.h"
#include "cli/import/units.h"
#include "tests/cli/cli_test_support.h"

namespace {

using kvoimport::SignedAxes;

// All 48 signed permutations of the three axes.
std::vector<SignedAxes> EverySignedPermutation() {
    std::vector<SignedAxes> all;
    const uint8_t orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& order : orders) {
        for (int signs = 0; signs < 8; ++signs) {
            SignedAxes a;
            for (int i = 0; i < 3; ++i) {
                a.axis[i] = order[i];
                a.sign[i] = (signs >> i) & 1 ? -1 : 1;
            }
            all.push_back(a);
        }
    }
    return all;
}

kvoimport::Vec3 Apply(const SignedAxes& a, kvoimport::Vec3 v) {
    const float in[3] = {v.x, v.y, v.z};
    float out[3];
    a.Apply(in, out);
    return {out[0], out[1], out[2]};
}

bool Same(kvoimport::Vec3 a, kvoimport::Vec3 b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

int MatrixDeterminant(const SignedAxes& a) {
    int m[3][3] = {};
    for (int i = 0; i < 3; ++i) m[i][a.axis[i]] = a.sign[i];
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The host change for a file that turns Y-up by A, applied to what the import
// made of it (YUpToZUp of the file), is YUpToZUp of the file turned by A.
TEST(FrameConversion, HostChangeAgreesWithTheImportsAxisChangeForEveryPermutation) {
    const kvoimport::Vec3 v{1.5f, -2.25f, 4.0f};
    for (const SignedAxes& a : EverySignedPermutation()) {
        ASSERT_TRUE(a.Valid());
        EXPECT_EQ(a.Determinant(), MatrixDeterminant(a));
        const SignedAxes change = kvoimport::HostChange(a);
        EXPECT_TRUE(Same(Apply(change, kvoimport::YUpToZUp(v)), kvoimport::YUpToZUp(Apply(a, v))));
        EXPECT_EQ(change.Determinant(), a.Determinant());
        // The file's up is the axis A takes to +Y.
        const uint32_t up = kvoimport::UpCode(a);
        kvoimport::Vec3 fileUp{0, 0, 0};
        (&fileUp.x)[up & 3] = (up & 4) ? -1.0f : 1.0f;
        EXPECT_TRUE(Same(Apply(a, fileUp), {0, 1, 0}));
    }
    EXPECT_TRUE(kvoimport::HostChange(SignedAxes()).Identity());
    // A Z-up file is the host's frame already: the import's change is undone.
    EXPECT_TRUE(Same(Apply(kvoimport::HostChange(kvoimport::ZUpToYUpAxes()), {1, 2, 3}),
                     kvoimport::ZUpToYUp({1, 2, 3})));
    SignedAxes twice;
    twice.axis[1] = 0;
    EXPECT_FALSE(twice.Valid());
    SignedAxes zeroSign;
    zeroSign.sign[2] = 0;
    EXPECT_FALSE(zeroSign.Valid());
}

kvoscene::Scene OneTriangle(const float transform[12]) {
    kvoscene::Scene scene;
    kvoscene::Node node;
    node.kind = kvoscene::NodeKind::Geometry;
    std::memcpy(node.transform, transform, sizeof node.transform);
    node.mesh.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    node.mesh.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    node.mesh.faces = {0, 1, 2};
    node.mesh.uvs = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    node.mesh.uvFaceMode = kvoscene::ChannelFaces::Own;
    node.mesh.uvFaces = {0, 1, 2};
    node.mesh.materialIds = {0};
    node.mesh.smoothing = {1};
    scene.nodes.push_back(node);
    return scene;
}

// Where the node puts a local point: sum of p_i times axis row i, plus the translation.
std::vector<double> World(const kvoscene::Node& node, size_t vertex) {
    const float* p = &node.mesh.positions[3 * vertex];
    std::vector<double> w(3);
    for (int k = 0; k < 3; ++k) {
        w[k] = node.transform[9 + k];
        for (int i = 0; i < 3; ++i) w[k] += double{p[i]} * node.transform[3 * i + k];
    }
    return w;
}

// The first face's geometric normal in the world, from its corners in order.
std::vector<double> Cross(const kvoscene::Node& node) {
    const std::vector<uint32_t>& f = node.mesh.faces;
    std::vector<double> a = World(node, f[0]), b = World(node, f[1]), c = World(node, f[2]);
    for (int k = 0; k < 3; ++k) {
        b[k] -= a[k];
        c[k] -= a[k];
    }
    return {b[1] * c[2] - b[2] * c[1], b[2] * c[0] - b[0] * c[2], b[0] * c[1] - b[1] * c[0]};
}

// Every vertex lands where the change and factor take its old world place,
// and each face still turns its front the way its normal (moved) points.
TEST(FrameConversion, ApplyFrameMovesWorldPlacesAndKeepsFacesOutward) {
    // A quarter turn about Z, moved to (10, -4, 2).
    const float transform[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 10, -4, 2};
    SignedAxes mirror;
    mirror.sign[0] = -1;
    for (const SignedAxes& change :
         {kvoimport::HostChange(kvoimport::ZUpToYUpAxes()), mirror, SignedAxes()}) {
        for (double factor : {1.0, 2.0, 0.0254}) {
            const kvoscene::Scene before = OneTriangle(transform);
            kvoscene::Scene after = before;
            kvoimport::ApplyFrame(after, change, factor);
            const kvoscene::Node& a = after.nodes[0];
            const kvoscene::Node& b = before.nodes[0];
            for (size_t v = 0; v < 3; ++v) {
                const std::vector<double> was = World(b, v);
                const float wasF[3] = {static_cast<float>(was[0]), static_cast<float>(was[1]),
                                       static_cast<float>(was[2])};
                float moved[3];
                change.Apply(wasF, moved);
                const std::vector<double> now = World(a, v);
                for (int k = 0; k < 3; ++k) EXPECT_NEAR(now[k], moved[k] * factor, 1e-5);
            }
            const std::vector<double> n = Cross(a);
            // The normal as the node shows it: the node's axes times the local normal.
            double along = 0;
            for (int k = 0; k < 3; ++k) {
                for (int i = 0; i < 3; ++i)
                    along += n[k] * a.transform[3 * i + k] * a.mesh.normals[i];
            }
            EXPECT_GT(along, 0);
            EXPECT_EQ(a.mesh.faces, a.mesh.uvFaces);
            EXPECT_EQ(a.mesh.uvs, b.mesh.uvs);
        }
    }
}

TEST(FrameConversion, NothingAskedChangesNoBit) {
    const float transform[12] = {0.1f, 0.2f, 0.3f, 1, 0, 0, 0, 1, 0, 1, 2, 3};
    const kvoscene::Scene before = OneTriangle(transform);
    kvoscene::Scene after = before;
    kvoimport::ApplyFrame(after, SignedAxes(), 1);
    EXPECT_EQ(std::memcmp(after.nodes[0].transform, before.nodes[0].transform, 48), 0);
    EXPECT_EQ(after.nodes[0].mesh.positions, before.nodes[0].mesh.positions);
    EXPECT_EQ(after.nodes[0].mesh.faces, before.nodes[0].mesh.faces);
}

TEST(Units, FactorFromTheDeclaredOrGivenUnitTimesTheScale) {
    using kvoimport::Unit;
    const struct {
        Unit units, fileUnits;
        double declared, scale, factor;
    } cases[] = {
        {Unit::None, Unit::None, 0.01, 1, 1},        // no --units: the file's numbers
        {Unit::None, Unit::None, 0.01, 2.5, 2.5},    // --scale alone
        {Unit::Metre, Unit::None, 0.01, 1, 0.01},    // FBX in centimetres to metres
        {Unit::Metre, Unit::Foot, 0.01, 1, 0.01},    // a declared unit wins
        {Unit::Metre, Unit::None, 0, 1, 1},          // undeclared, no --file-units
        {Unit::Centimetre, Unit::Inch, 0, 1, 2.54},  // undeclared inches
        {Unit::Foot, Unit::Inch, 0, 3, 0.25},        // twelve inches a foot, times 3
        {Unit::Millimetre, Unit::None, 1, 1, 1000},  // glTF metres
        {Unit::Inch, Unit::Millimetre, 0, 1, 1 / 25.4},
        {Unit::Foot, Unit::None, 0.3048, 1, 1},
    };
    for (const auto& c : cases) {
        kvoimport::FrameSettings s;
        s.units = c.units;
        s.fileUnits = c.fileUnits;
        s.scale = c.scale;
        EXPECT_NEAR(kvoimport::UnitFactor(s, c.declared), c.factor, 1e-12 * c.factor)
            << kvoimport::UnitName(c.units) << " " << kvoimport::UnitName(c.fileUnits);
    }
    for (const char* name : {"m", "cm", "mm", "in", "ft"}) {
        Unit u = Unit::None;
        ASSERT_TRUE(kvoimport::ParseUnit(name, u)) << name;
        EXPECT_STREQ(kvoimport::UnitName(u), name);
    }
    Unit u = Unit::None;
    for (const char* bad : {"", "M", "km", "inch", "m "})
        EXPECT_FALSE(kvoimport::ParseUnit(bad, u));
    kvoimport::UpChoice up = kvoimport::UpChoice::Auto;
    EXPECT_TRUE(kvoimport::ParseUpChoice("z", up));
    EXPECT_EQ(up, kvoimport::UpChoice::Z);
    EXPECT_FALSE(kvoimport::ParseUpChoice("x", up));
}

// The frame's part of a request: u8 unit, u8 file unit, u8 up, f64 scale.
TEST(ImportProtocolFrame, RoundTripsAndRefusesDamagedFrames) {
    kvoimport::ImportSettings settings;
    settings.frame = {kvoimport::Unit::Inch, kvoimport::Unit::Millimetre, 0.125,
                      kvoimport::UpChoice::Z};
    std::vector<uint8_t> good = kvoimport::EncodeRequest("a.stl", settings);
    const std::vector<uint8_t> pinnedTail = {2 | 8, 4, 3, 2, 0, 0, 0, 0, 0, 0, 0xc0, 0x3f};
    ASSERT_GE(good.size(), pinnedTail.size());
    EXPECT_EQ(std::vector<uint8_t>(good.end() - 12, good.end()), pinnedTail);
    good.erase(good.begin());
    const size_t frameAt = good.size() - kvoimport::kFrameRequestBytes;
    const auto with = [&](size_t at, uint8_t value) {
        std::vector<uint8_t> b = good;
        b[at] = value;
        return b;
    };
    std::vector<uint8_t> nanScale = good, zeroScale = good;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(&nanScale[frameAt + 3], &nan, 8);
    std::memset(&zeroScale[frameAt + 3], 0, 8);
    std::vector<uint8_t> noFrame(good.begin(), good.begin() + frameAt);
    noFrame.back() = 3;  // collapse and join, without the frame bit (8)
    const struct {
        const char* what;
        std::vector<uint8_t> body;
        bool ok;
    } cases[] = {
        {"whole", good, true},
        {"unit 6", with(frameAt, 6), false},
        {"file unit 9", with(frameAt + 1, 9), false},
        {"up 3", with(frameAt + 2, 3), false},
        {"a negative scale", with(good.size() - 1, 0xbf), false},
        {"a NaN scale", nanScale, false},
        {"a zero scale", zeroScale, false},
        {"cut inside the frame", {good.begin(), good.end() - 1}, false},
        {"cut before the frame", {good.begin(), good.begin() + frameAt}, false},
        {"no frame bit: the defaults", noFrame, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clitest::ExactReads read(c.body);
        std::string path;
        kvoimport::ImportSettings got;
        got.frame.scale = 99;
        ASSERT_EQ(kvoimport::ReadRequest(read, path, got), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(path, "a.stl");
        const bool framed = c.body.size() == good.size();
        EXPECT_EQ(got.frame.units, framed ? kvoimport::Unit::Inch : kvoimport::Unit::None);
        EXPECT_EQ(got.frame.fileUnits,
                  framed ? kvoimport::Unit::Millimetre : kvoimport::Unit::None);
        EXPECT_EQ(got.frame.up, framed ? kvoimport::UpChoice::Z : kvoimport::UpChoice::Auto);
        EXPECT_EQ(got.frame.scale, framed ? 0.125 : 1.0);
    }
}

}  // namespace
