// The console tools run as subprocesses: outputs, files and exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <limits>
#include <regex>

#include "kvo/kvo_geode.h"
#include "tests/kvo/kvo_test_support.h"

using namespace kvotest;

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

std::string Text(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Runs `program` with shell-quoted arguments, capturing both streams.
ToolRun RunTool(const TempDir& dir, const char* program, const std::vector<std::string>& args) {
    std::string command = std::string("'") + program + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >'" + dir.File("stdout.txt") + "' 2>'" + dir.File("stderr.txt") + "'";
    const int raw = std::system(command.c_str());
    ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Text(ReadAll(dir.File("stdout.txt"))),
                Text(ReadAll(dir.File("stderr.txt")))};
    std::remove(dir.File("stdout.txt").c_str());
    std::remove(dir.File("stderr.txt").c_str());
    return run;
}

ToolRun Kvo(const TempDir& dir, const std::vector<std::string>& args) {
    return RunTool(dir, KVO_TOOL_PATH, args);
}
ToolRun RoundTrip(const TempDir& dir, const std::vector<std::string>& args) {
    return RunTool(dir, KVO_ROUNDTRIP_PATH, args);
}

// Saves the rich sample, optionally spoiled, and returns its path.
std::string SaveRich(const TempDir& dir, const std::string& name,
                     void (*spoil)(SampleScene&) = nullptr) {
    auto scene = MakeRichScene();
    if (spoil) spoil(*scene);
    KvoGeode geode("unused");
    scene->AttachTo(geode);
    EXPECT_TRUE(geode.Save(dir.File(name))) << geode.error;
    return dir.File(name);
}

const char kBanner[] = "KVO Exporter\n------------\n";

}  // namespace

TEST(RoundTripTool, UsageBannerAndMessages) {
    TempDir dir;
    const std::string rich = SaveRich(dir, "rich.kvo");
    const std::string missing = dir.File("missing.kvo");
    const std::string out = dir.File("out.kvo");
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    } cases[] = {
        {{}, std::string(kBanner) + "Usage: KVO-Exporter [in_file] ([out_file])\n\n"},
        {{rich}, kBanner},
        {{missing, out}, std::string(kBanner) + "ERROR: Failed to load " + missing + "\n"},
        {{rich, dir.File("no/dir/x.kvo")},
         std::string(kBanner) + "ERROR: Failed to save to " + dir.File("no/dir/x.kvo") + "\n"},
    };
    for (const Case& c : cases) {
        const ToolRun run = RoundTrip(dir, c.args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, c.expected);
        EXPECT_EQ(run.err, "");
    }
    EXPECT_FALSE(std::filesystem::exists(out));  // no output when the load failed
}

TEST(RoundTripTool, RewritesInTheWritersOrder) {
    TempDir dir;
    const std::string rich = SaveRich(dir, "rich.kvo");
    // An unknown top-level chunk before the end tag is dropped by the round trip.
    Bytes withJunk = ReadAll(rich);
    const Bytes junk = ByteBuilder().Tag("JUNK").U32(3).Raw("xyz", 3).bytes;
    withJunk.insert(withJunk.end() - 4, junk.begin(), junk.end());
    WriteAll(dir.File("junk.kvo"), withJunk);
    const ToolRun run = RoundTrip(dir, {dir.File("junk.kvo"), dir.File("clean.kvo"), "ignored"});
    EXPECT_EQ(run.out, kBanner);
    EXPECT_EQ(ReadAll(dir.File("clean.kvo")), ReadAll(rich));
}

TEST(KvoTool, UsageErrorsAndHelp) {
    TempDir dir;
    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{}, 2},
        {{"bogus"}, 2},
        {{"info"}, 2},
        {{"info", "--strict", "a"}, 2},
        {{"info", "--frob", "a"}, 2},
        {{"validate"}, 2},
        {{"validate", "--json", "a"}, 2},
        {{"optimize", "a"}, 2},
        {{"optimize", "--strict", "a", "b"}, 2},
        {{"--help"}, 0},
        {{"info", "--help"}, 0},
        {{"validate", "-h"}, 0},
        {{"optimize", "--help"}, 0},
    };
    for (const Case& c : cases) {
        const ToolRun run = Kvo(dir, c.args);
        EXPECT_EQ(run.status, c.status) << (c.args.empty() ? "" : c.args[0]);
        const std::string& usage = c.status == 0 ? run.out : run.err;
        EXPECT_NE(usage.find("Usage: kvo"), std::string::npos) << usage;
    }
}

TEST(KvoTool, InfoSummarisesMaterialsAndGeobs) {
    TempDir dir;
    const std::string rich = SaveRich(dir, "rich.kvo");
    const ToolRun run = Kvo(dir, {"info", rich});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* expected :
         {": 3 materials, 5 geobs", "material 0 \"stone_wall\" (\"extra\")",
          "texture 1: \"maps\\\\stone_bump.tga\"", "diffuse   0.8 0.5 0.8 1",
          "sub-material 1 \"sub_b\"", "sub-material 0 \"deep\"", "texture 0: \"deep.png\"",
          "geob 2: material 1 \"multi\"", "9 indices (3 triangles), 9 vertices",
          "burst 2: start 18, length 9, material 0, 3 vertices per primitive", "bounding box: (",
          "geob 4: material 0 \"stone_wall\"", "bounding box: none"}) {
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    }
}

TEST(KvoTool, InfoJsonIsValidJson) {
    TempDir dir;
    const std::string rich = SaveRich(dir, "rich.kvo");
    const ToolRun run = Kvo(dir, {"info", "--json", rich});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"name\": \"stone_wall\""), std::string::npos);
    EXPECT_NE(run.out.find("\"textures\": [\"maps\\\\stone.tga\", \"maps\\\\stone_bump.tga\"]"),
              std::string::npos);
    EXPECT_NE(run.out.find("\"normalCount\": null"), std::string::npos);
    EXPECT_NE(run.out.find("\"boundingBox\": null"), std::string::npos);
    WriteAll(dir.File("info.json"), Bytes(run.out.begin(), run.out.end()));
    const std::string check =
        "python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
        "sys.exit(0 if len(d[\"geobs\"])==5 and "
        "d[\"materials\"][1][\"subMaterials\"][1][\"name\"]==\"sub_b\" "
        "else 1)' '" +
        dir.File("info.json") + "'";
    EXPECT_EQ(std::system(check.c_str()), 0) << run.out;
}

TEST(KvoTool, NamesAreEscapedInTextAndJson) {
    TempDir dir;
    const std::string file = SaveRich(dir, "odd.kvo", [](SampleScene& s) {
        s.materials[0].name = "q\"b\\\x01\xe9";
        s.materials[1].name = "T\xc3\xbcr";
    });
    ToolRun run = Kvo(dir, {"info", file});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("material 0 \"q\\\"b\\\\\\x01\\xe9\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("material 1 \"T\\xc3\\xbcr\""), std::string::npos) << run.out;
    run = Kvo(dir, {"info", "--json", file});
    ASSERT_EQ(run.status, 0) << run.err;
    // The lone Latin-1 byte is not valid UTF-8: U+FFFD, never reinterpreted as \u00e9.
    EXPECT_NE(run.out.find("\"name\": \"q\\\"b\\\\\\u0001\\ufffd\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"name\": \"T\xc3\xbcr\""), std::string::npos) << run.out;
    WriteAll(dir.File("info.json"), Bytes(run.out.begin(), run.out.end()));
    const std::string check =
        "python3 -c 'import json,sys; d=json.load(open(sys.argv[1], encoding=\"utf-8\")); "
        "sys.exit(0 if d[\"materials\"][1][\"name\"]==\"T\\u00fcr\" and "
        "d[\"materials\"][0][\"name\"]==\"q\\\"b\\\\\\x01\\ufffd\" else 1)' '" +
        dir.File("info.json") + "'";
    EXPECT_EQ(std::system(check.c_str()), 0) << run.out;
}

TEST(KvoTool, InfoTakesSeveralFiles) {
    TempDir dir;
    const std::string a = SaveRich(dir, "a.kvo");
    const std::string b =
        SaveRich(dir, "b.kvo", [](SampleScene& s) { s.materials[0].name = "bee"; });
    const std::string missing = dir.File("missing.kvo");
    ToolRun run = Kvo(dir, {"info", a, missing, b});
    EXPECT_EQ(run.status, 1);
    const size_t first = run.out.find(a + ": 3 materials, 5 geobs");
    const size_t second = run.out.find(b + ": 3 materials, 5 geobs");
    EXPECT_NE(first, std::string::npos) << run.out;
    EXPECT_NE(second, std::string::npos) << run.out;
    EXPECT_LT(first, second);
    EXPECT_EQ(run.err, "kvo info: cannot load '" + missing + "': Could not open file\n");

    run = Kvo(dir, {"info", "--json", a, b});
    ASSERT_EQ(run.status, 0) << run.err;
    WriteAll(dir.File("info.json"), Bytes(run.out.begin(), run.out.end()));
    const std::string check =
        "python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); "
        "sys.exit(0 if [f[\"materials\"][0][\"name\"] for f in d]==[\"stone_wall\",\"bee\"] "
        "else 1)' '" +
        dir.File("info.json") + "'";
    EXPECT_EQ(std::system(check.c_str()), 0) << run.out;
}

// A failed write to standard output is a failure of every tool.
TEST(KvoTool, FullStandardOutputFails) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TempDir dir;
    const std::string rich = SaveRich(dir, "rich.kvo");
    const std::string copy = dir.File("copy.kvo");
    struct Case {
        const char* program;
        std::vector<std::string> args;
    } cases[] = {
        {KVO_TOOL_PATH, {"info", "--json", rich}},
        {KVO_TOOL_PATH, {"info", rich}},
        {KVO_TOOL_PATH, {"validate", rich}},
        {KVO_TOOL_PATH, {"optimize", rich, copy}},
        {KVO_TOOL_PATH, {"--help"}},
        {KVO_ROUNDTRIP_PATH, {rich, copy}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::string command = std::string("'") + c.program + "'";
        for (const std::string& arg : c.args) command += " '" + arg + "'";
        command += " >/dev/full 2>'" + dir.File("stderr.txt") + "'";
        const int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), 1);
        EXPECT_NE(Text(ReadAll(dir.File("stderr.txt"))).find("cannot write to standard output: "),
                  std::string::npos);
    }
}

TEST(KvoTool, ValidateReportsTheCause) {
    TempDir dir;
    const std::string good = SaveRich(dir, "good.kvo");
    const std::string bad =
        SaveRich(dir, "bad.kvo", [](SampleScene& s) { s.geobs[3].indices[0] = 20; });
    Bytes truncated = ReadAll(good);
    uint32_t matsLength = 0;
    std::memcpy(&matsLength, &truncated[12], 4);
    truncated.resize(100);
    WriteAll(dir.File("cut.kvo"), truncated);

    ToolRun run = Kvo(dir, {"validate", good});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, good + ": valid (3 materials, 5 geobs)\n");

    run = Kvo(dir, {"validate", bad});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, bad + ": geob 3: index 20 at position 0 is not below the vertex count 20\n");

    run = Kvo(dir, {"validate", dir.File("cut.kvo")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "kvo validate: cannot load '" + dir.File("cut.kvo") +
                           "': MATS chunk at offset 8: length " + std::to_string(matsLength) +
                           " reaches past the end\n");

    // Several files: each is reported, and one bad file fails the whole run.
    run = Kvo(dir, {"validate", good, bad, good});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, good + ": valid (3 materials, 5 geobs)\n" + bad +
                           ": geob 3: index 20 at position 0 is not below the vertex count 20\n" +
                           good + ": valid (3 materials, 5 geobs)\n");
}

TEST(KvoTool, ValidateWarnsAboutNonFiniteValues) {
    TempDir dir;
    const std::string odd = SaveRich(dir, "odd.kvo", [](SampleScene& s) {
        s.geobs[0].vertices[4] = std::numeric_limits<float>::quiet_NaN();
        s.geobs[3].normals[0] = std::numeric_limits<float>::infinity();
    });
    const std::string good = SaveRich(dir, "good.kvo");
    const std::string warnings =
        "kvo validate: warning: " + odd +
        ": geob 0: 1 vertex with a non-finite position, the first is vertex 1\n"
        "kvo validate: warning: " +
        odd + ": geob 3: 1 vertex with a non-finite normal, the first is vertex 0\n";
    ToolRun run = Kvo(dir, {"validate", odd, good});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, odd + ": valid (3 materials, 5 geobs, 2 warnings)\n" + good +
                           ": valid (3 materials, 5 geobs)\n");
    EXPECT_EQ(run.err, warnings);

    run = Kvo(dir, {"validate", "--strict", odd, good});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, warnings);
    run = Kvo(dir, {"validate", "--strict", good});
    EXPECT_EQ(run.status, 0);
}

// Bursts that leave part of the index list uncovered keep the list as it is.
TEST(KvoTool, OptimizeKeepsAGeobWhoseBurstsDoNotCoverItsList) {
    TempDir dir;
    const std::string in = SaveRich(dir, "gap.kvo", [](SampleScene& s) {
        KvoGeob& g = s.geobs[1];
        const uint16_t list[6] = {0, 1, 2, 2, 1, 0};
        std::memcpy(g.indices, list, sizeof list);
        g.indexCount = 6;
        g.vertexCount = 3;
        g.burstCount = 2;
        g.burstStart[0] = 0;
        g.burstLength[0] = 6;  // entries 0 and 1 only
        g.burstStart[1] = 6;
        g.burstLength[1] = 0;
        g.burstMaterial[1] = 0;
    });
    const std::string out = dir.File("out.kvo");
    const ToolRun run = Kvo(dir, {"optimize", in, out});
    ASSERT_EQ(run.status, 0) << run.err;
    KvoGeode optimized(out);
    ASSERT_TRUE(optimized.Load()) << optimized.error;
    const KvoGeob& g = *optimized.geobs[1];
    EXPECT_EQ(std::vector<uint16_t>(g.indices, g.indices + g.indexCount),
              (std::vector<uint16_t>{0, 1, 2, 2, 1, 0}));
    EXPECT_EQ(g.burstCount, 2);
    EXPECT_EQ(g.burstLength[0], 6);
}

TEST(KvoTool, OptimizeSavesAndReportsTheCounts) {
    TempDir dir;
    const std::string good = SaveRich(dir, "good.kvo");
    ToolRun run = Kvo(dir, {"optimize", good, dir.File("opt.kvo")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::regex_match(
        run.out, std::regex("Optimization: \\d+ indices eq'd, \\d+ vertices and \\d+ bursts "
                            "removed\\.\n")))
        << run.out;
    KvoGeode optimized(dir.File("opt.kvo"));
    EXPECT_TRUE(optimized.Load()) << optimized.error;

    const std::string bad =
        SaveRich(dir, "bad.kvo", [](SampleScene& s) { s.geobs[0].burstCount = 0; });
    run = Kvo(dir, {"optimize", bad, dir.File("never.kvo")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("'" + bad + "' is not valid: geob 0: burst count 0"), std::string::npos)
        << run.err;

    run = Kvo(dir, {"optimize", dir.File("missing.kvo"), dir.File("never.kvo")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "kvo optimize: cannot load '" + dir.File("missing.kvo") + "': Could not open file\n");

    run = Kvo(dir, {"optimize", good, dir.File("no/dir/out.kvo")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot save '" + dir.File("no/dir/out.kvo") + "': cannot create"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("never.kvo")));
}
