// Units, scale and up axis through the whole console host: the same model
// saved by different tools comes out the same size and standing the same
// way; --scale reaches the positions with Localize on and off.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "kvo_corners.h"
#include "tests/cli/cli_test_support.h"

namespace {

namespace fs = std::filesystem;
using clitest::RunKvoexp;
using nlohmann::json;

struct Box {
    std::array<float, 3> lo{FLT_MAX, FLT_MAX, FLT_MAX};
    std::array<float, 3> hi{-FLT_MAX, -FLT_MAX, -FLT_MAX};
    float Extent(int axis) const { return hi[axis] - lo[axis]; }
};

// Every written corner of every .kvo file in `dir`, in file name order.
std::vector<std::array<float, 3>> Positions(const std::string& dir) {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() == ".kvo") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    std::vector<std::array<float, 3>> points;
    for (const std::string& file : files) {
        const clitest::KvoCorners kvo = clitest::ReadKvoCorners(file);
        EXPECT_TRUE(kvo.loaded) << file;
        for (const clitest::KvoTriangle& t : kvo.triangles) {
            for (const clitest::KvoCorner& c : t.corners) points.push_back(c.position);
        }
    }
    return points;
}

Box BoundingBox(const std::vector<std::array<float, 3>>& points) {
    Box box;
    for (const auto& p : points) {
        for (int k = 0; k < 3; ++k) {
            box.lo[k] = std::min(box.lo[k], p[k]);
            box.hi[k] = std::max(box.hi[k], p[k]);
        }
    }
    return box;
}

struct Exported {
    std::vector<std::array<float, 3>> points;
    Box box;
    json scene;  // the report's scene
};

// Exports `model` (relative to the models folder) with `options` into a
// folder of its own, and reads back what was written and reported.
Exported Export(const testsupport::ScratchDir& scratch, const std::string& name,
                const std::string& model, std::vector<std::string> options) {
    const std::string out = scratch.Sub(name);
    const std::string report = scratch.Path(name + ".json");
    std::vector<std::string> args = {
        clitest::ModelsDir() + "/" + model, "-o", out, "-q", "--report", report};
    args.insert(args.end(), options.begin(), options.end());
    const clitest::ProcessResult r = RunKvoexp(args);
    EXPECT_TRUE(r.exited && r.exitCode == 0) << name << ": " << r.err;
    Exported run;
    run.points = Positions(out);
    run.box = BoundingBox(run.points);
    const json parsed = json::parse(clitest::ReadFile(report), nullptr, false);
    if (parsed.is_object()) run.scene = parsed["scenes"][0];
    EXPECT_FALSE(run.points.empty()) << name;
    return run;
}

const char* kSpiderObj = "assimp/test/models/OBJ/spider.obj";
const char* kSpiderFbx = "assimp/test/models/FBX/spider.fbx";
const char* kSpiderStl = "assimp/test/models/STL/Spider_binary.stl";
const char* kCubeFbx = "assimp/test/models-nonbsd/FBX/2013_ASCII/kwxport_test_vcolors.fbx";
const char* kCubeDae = "assimp/test/models/Collada/kwxport_test_vcolors.dae";
const char* kTest3ds = "assimp/test/models/3DS/test1.3ds";

class UnitsAxes : public ::testing::Test {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    }
    testsupport::ScratchDir scratch{"units-axes"};
};

// The FBX says centimetres, the OBJ nothing (taken as metres): in metres they
// agree, while without --units the FBX is a hundred times larger.
TEST_F(UnitsAxes, SpiderObjAndFbxAgreeInMetres) {
    const Exported obj = Export(scratch, "obj", kSpiderObj, {"--units", "m", "--file-units", "m"});
    const Exported fbx = Export(scratch, "fbx", kSpiderFbx, {"--units", "m"});
    const Exported raw = Export(scratch, "raw", kSpiderFbx, {});
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(obj.box.lo[k], fbx.box.lo[k], 1e-4) << "axis " << k;
        EXPECT_NEAR(obj.box.hi[k], fbx.box.hi[k], 1e-4) << "axis " << k;
        EXPECT_NEAR(raw.box.Extent(k), 100 * obj.box.Extent(k), 0.05) << "axis " << k;
    }
    EXPECT_NEAR(obj.box.Extent(0), 150.591, 1e-3);
    EXPECT_EQ(obj.scene["length_factor"], 1.0);
    EXPECT_EQ(fbx.scene["length_factor"], 0.01);
    EXPECT_EQ(raw.scene["length_factor"], 1.0);
    for (const Exported* run : {&obj, &fbx, &raw}) EXPECT_EQ(run->scene["up"], "y");
}

// One cube saved Z-up in inches as FBX (axis settings, unit scale) and as
// Collada (up_axis and <unit>, which the importer applies itself): in metres
// both stand the same way with the same extents.
TEST_F(UnitsAxes, FbxAxisSettingsAgreeWithColladaUpAxis) {
    const Exported fbx = Export(scratch, "fbx", kCubeFbx, {"--units", "m"});
    const Exported dae = Export(scratch, "dae", kCubeDae, {"--units", "m"});
    const Exported yUp = Export(scratch, "fbx-y", kCubeFbx, {"--units", "m", "--up", "y"});
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(fbx.box.lo[k], dae.box.lo[k], 1e-5) << "axis " << k;
        EXPECT_NEAR(fbx.box.hi[k], dae.box.hi[k], 1e-5) << "axis " << k;
    }
    // Taken as Y-up, the cube lies on its side (its box alone, centred, would not tell).
    EXPECT_NE(yUp.points, fbx.points);
    EXPECT_EQ(fbx.scene["up"], "z");
    EXPECT_DOUBLE_EQ(fbx.scene["length_factor"].get<double>(), 0.0254);
    EXPECT_EQ(dae.scene["up"], "z");
    EXPECT_EQ(dae.scene["length_factor"], 1.0);
}

// The binary STL is the OBJ spider shrunk evenly and saved Z-up: under
// --up auto its three extents stand in the OBJ's proportions; taken as Y-up
// (today's --up y) it lies on its back, its height and depth swapped.
TEST_F(UnitsAxes, StlStandsLikeTheObjUnderAutoUp) {
    const Exported obj = Export(scratch, "obj", kSpiderObj, {});
    const Exported stl = Export(scratch, "stl", kSpiderStl, {});
    const Exported lying = Export(scratch, "lying", kSpiderStl, {"--up", "y"});
    const float ratio = stl.box.Extent(0) / obj.box.Extent(0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(stl.box.Extent(k) / obj.box.Extent(k), ratio, 1e-4 * ratio) << "axis " << k;
    }
    EXPECT_GT(std::abs(lying.box.Extent(1) / obj.box.Extent(1) - ratio), 0.1 * ratio);
    EXPECT_EQ(stl.scene["up"], "z");
    EXPECT_EQ(lying.scene["up"], "y");
    EXPECT_EQ(stl.scene["length_factor"], 1.0);
}

// A Z-up file forced either way: the two outputs differ by a quarter turn,
// exactly (the KVO's y is the other's z, its z the other's -y).
TEST_F(UnitsAxes, ForcedUpAxisIsAnExactQuarterTurn) {
    const Exported zUp = Export(scratch, "z", kSpiderStl, {"--up", "z"});
    const Exported yUp = Export(scratch, "y", kSpiderStl, {"--up", "y"});
    const Exported autoUp = Export(scratch, "auto", kSpiderStl, {});
    ASSERT_EQ(zUp.points.size(), yUp.points.size());
    size_t differing = 0;
    for (size_t i = 0; i < zUp.points.size(); ++i) {
        const auto& a = zUp.points[i];
        const auto& b = yUp.points[i];
        differing += (a[0] == b[0] && a[1] == b[2] && a[2] == -b[1]) ? 0 : 1;
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_EQ(zUp.points, autoUp.points);
}

// The 3DS importer turns its files upright itself: auto and a forced Z leave
// the scene as it was, and the report says the file was Z-up.
TEST_F(UnitsAxes, ThreeDsTurnedByTheImporterStaysAsItIs) {
    const Exported y = Export(scratch, "y", kTest3ds, {"--up", "y"});
    const Exported autoUp = Export(scratch, "auto", kTest3ds, {});
    const Exported z = Export(scratch, "z", kTest3ds, {"--up", "z"});
    EXPECT_EQ(autoUp.points, y.points);
    EXPECT_EQ(z.points, y.points);
    EXPECT_EQ(autoUp.scene["up"], "z");
    EXPECT_EQ(y.scene["up"], "y");
}

// --scale 2 doubles every written position bit for bit (doubling is exact in
// floating point), whether the positions are local or in the world; a unit
// conversion multiplies them by its factor.
TEST_F(UnitsAxes, ScaleReachesPositionsWithLocalizeOnAndOff) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
        double factor;
        bool exact;
    };
    const Case cases[] = {
        {"scale2", {"--scale", "2"}, 2, true},
        {"cm", {"--units", "cm", "--file-units", "m"}, 100, false},
        {"in-scaled", {"--units", "ft", "--file-units", "in", "--scale", "3"}, 0.25, false}};
    for (const char* localize : {"--localize", "--no-localize"}) {
        const Exported plain =
            Export(scratch, std::string("plain") + localize, kSpiderObj, {localize});
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + localize);
            std::vector<std::string> options = c.options;
            options.push_back(localize);
            const Exported scaled =
                Export(scratch, std::string(c.name) + localize, kSpiderObj, options);
            ASSERT_EQ(scaled.points.size(), plain.points.size());
            EXPECT_DOUBLE_EQ(scaled.scene["length_factor"].get<double>(), c.factor);
            size_t off = 0;
            for (size_t i = 0; i < plain.points.size(); ++i) {
                for (int k = 0; k < 3; ++k) {
                    const double want = plain.points[i][k] * c.factor;
                    const double got = scaled.points[i][k];
                    off += c.exact ? (got != want) : (std::abs(got - want) > 1e-5 * c.factor * 200);
                }
            }
            EXPECT_EQ(off, 0u);
        }
    }
}

// Without the options nothing changes: --units alone leaves files that
// declare no unit as they are, and the report says so.
TEST_F(UnitsAxes, UnitsWithoutAFileUnitKeepUndeclaredFiles) {
    const Exported plain = Export(scratch, "plain", kSpiderObj, {});
    const Exported units = Export(scratch, "units", kSpiderObj, {"--units", "mm"});
    EXPECT_EQ(plain.points, units.points);
    EXPECT_EQ(units.scene["length_factor"], 1.0);
}

// A team's options file carries the frame; the command line wins over it.
TEST_F(UnitsAxes, OptionsFileCarriesTheFrameAndTheCommandLineWins) {
    const std::string file = scratch.Path("team.toml");
    clitest::WriteFile(file, "units = \"m\"\nfile-units = \"cm\"\nscale = 2\nup = \"z\"\n");
    const Exported fromFile = Export(scratch, "file", kSpiderObj, {"--options", file});
    const Exported overridden =
        Export(scratch, "cli", kSpiderObj, {"--options", file, "--up", "y", "--scale", "1"});
    EXPECT_DOUBLE_EQ(fromFile.scene["length_factor"].get<double>(), 0.02);
    EXPECT_EQ(fromFile.scene["up"], "z");
    EXPECT_DOUBLE_EQ(overridden.scene["length_factor"].get<double>(), 0.01);
    EXPECT_EQ(overridden.scene["up"], "y");
}

// Bad values are usage errors.
TEST_F(UnitsAxes, BadValuesAreUsageErrors) {
    const std::string out = scratch.Sub("bad");
    const std::string obj = clitest::ModelsDir() + "/" + kSpiderObj;
    const std::vector<std::vector<std::string>> bad = {
        {"--units", "furlong"}, {"--file-units", "m"}, {"--units", "m", "--file-units", "yd"},
        {"--scale", "0"},       {"--scale", "-1"},     {"--scale", "inf"},
        {"--up", "x"}};
    for (const auto& options : bad) {
        std::vector<std::string> args = {obj, "-o", out};
        args.insert(args.end(), options.begin(), options.end());
        const clitest::ProcessResult r = RunKvoexp(args);
        EXPECT_TRUE(r.exited && r.exitCode == 2) << options[0] << " " << options[1] << r.err;
    }
}

}  // namespace
