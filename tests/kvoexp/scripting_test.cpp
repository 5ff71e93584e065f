// kvoexp in scripts and build steps: the report alone on standard output,
// each scene's summary as soon as it ends, budgets with --error-on and
// --ignore, options read from a file, and a clean --help.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/checks/warning_codes.h"
#include "tests/cli/cli_test_support.h"

namespace {

using kvochecks::WarningCode;

using clitest::Code;

using clitest::ProcessResult;
using clitest::RunKvoexp;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class KvoexpScripting : public ::testing::Test {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    }
    // One triangle whose material names a texture that is not there.
    std::string MissingTextureObj(const std::string& name) {
        clitest::WriteFile(dir_.Path(name + ".mtl"),
                           "newmtl Paint\nmap_Kd " + name + "_missing.png\n");
        clitest::WriteFile(dir_.Path(name + ".obj"),
                           "mtllib " + name + ".mtl\no " + name +
                               "\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Paint\nf 1 2 3\n");
        return dir_.Path(name + ".obj");
    }
    // A grid of 10 x 10 quads: 200 triangles.
    std::string GridObj() {
        const std::string path = dir_.Path("grid.obj");
        clitest::WriteBigObj(path, 1, 10, "Grid");
        return path;
    }
    clitest::ScratchDir dir_;
};

TEST_F(KvoexpScripting, ReportOnStandardOutputIsTheJsonAloneAndSummariesComeAsScenesEnd) {
    const std::string first = MissingTextureObj("first");
    const std::string second = MissingTextureObj("second");
    for (const std::vector<std::string>& mode :
         {std::vector<std::string>{"--check"}, {"-o", dir_.Path("out")}}) {
        std::vector<std::string> args = {first, second, "--report", "-"};
        args.insert(args.end(), mode.begin(), mode.end());
        const ProcessResult r = RunKvoexp(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const nlohmann::json report = nlohmann::json::parse(r.out);  // throws on anything else
        ASSERT_EQ(report["scenes"].size(), 2u);
        EXPECT_EQ(report["scenes"][0]["warnings"][0]["code"], Code(WarningCode::kTextureMissing));
        EXPECT_EQ(report["scenes"][0]["warnings"][0]["ignored"], false);
        // The first scene's summary is printed before the second scene's warning.
        const size_t summary = r.err.find(first + ": 1 node exported");
        const size_t warning = r.err.find("kvoexp: warning: " + second);
        ASSERT_NE(summary, std::string::npos) << r.err;
        ASSERT_NE(warning, std::string::npos) << r.err;
        EXPECT_LT(summary, warning) << r.err;
        // A dry run says what it would write.
        const bool check = mode[0] == "--check";
        EXPECT_EQ(Contains(r.err, "1 file would be written"), check) << r.err;
        EXPECT_EQ(Contains(r.err, "1 file written"), !check) << r.err;
    }
    // Without the report on standard output the summaries stay there.
    const ProcessResult plain = RunKvoexp({first, "--check"});
    EXPECT_TRUE(Contains(plain.out, first + ": 1 node exported")) << plain.out;
    EXPECT_FALSE(Contains(plain.err, "node exported")) << plain.err;
}

TEST_F(KvoexpScripting, BudgetsWarnAndWarningCodesBecomeErrorsOrAreIgnored) {
    const std::string grid = GridObj();
    const std::string report = dir_.Path("report.json");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* line;  // on standard error, or "" for none about the budget
        bool ignored;
    };
    const Case cases[] = {
        {{"--max-triangles", "201"}, 0, "", false},
        {{"--max-triangles", "200"}, 0, "", false},
        {{"--max-triangles", "199"},
         0,
         "kvoexp: warning: GRID: 'Grid0': 200 triangles, over the budget of 199 (--max-triangles)",
         false},
        {{"--max-triangles", "199", "--error-on", "texture_missing,triangles_over_budget"},
         1,
         "kvoexp: error: GRID: 'Grid0': 200 triangles, over the budget of 199",
         false},
        {{"--max-triangles", "199", "--error-on", Code(WarningCode::kTextureMissing)},
         0,
         "kvoexp: warning: GRID: 'Grid0': 200 triangles",
         false},
        {{"--max-triangles", "199", "--ignore", Code(WarningCode::kTrianglesOverBudget)},
         0,
         "",
         true},
        // --strict still counts every warning, ignored ones too.
        {{"--max-triangles", "199", "--ignore", Code(WarningCode::kTrianglesOverBudget),
          "--strict"},
         1,
         "",
         true},
        {{"--max-vertices", "568"},
         0,
         "'Grid0': 569 vertices, over the budget of 568 (--max-vertices)",
         false},
        {{"--max-vertices", "569"}, 0, "", false},
        {{"--max-file-bytes", "100"}, 0, "over the budget of 100 (--max-file-bytes)", false},
        {{"--max-file-bytes", "1000000"}, 0, "", false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {grid, "--check", "--report", report};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult r = RunKvoexp(args);
        const std::string what = c.args[0] + " " + c.args[1] + (c.args.size() > 2 ? " ..." : "");
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.err;
        std::string line = c.line;
        if (line.find("GRID") != std::string::npos) line.replace(line.find("GRID"), 4, grid);
        if (!line.empty()) {
            EXPECT_TRUE(Contains(r.err, line)) << what << "\n" << r.err;
        } else {
            EXPECT_FALSE(Contains(r.err, "over the budget")) << what << "\n" << r.err;
        }
        const nlohmann::json json = nlohmann::json::parse(clitest::ReadFile(report));
        const nlohmann::json& warnings = json["scenes"][0]["warnings"];
        if (c.ignored) {
            ASSERT_EQ(warnings.size(), 1u) << what;
            EXPECT_EQ(warnings[0]["code"], Code(WarningCode::kTrianglesOverBudget));
            EXPECT_EQ(warnings[0]["ignored"], true);
            EXPECT_EQ(json["options"]["ignore"],
                      nlohmann::json({Code(WarningCode::kTrianglesOverBudget)}));
        }
    }
    // A code that is none, or one both made an error and ignored, is a usage error.
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--error-on", "too_many_triangles"},
          {"--ignore", "texture_missing,nope"},
          {"--error-on", Code(WarningCode::kBelowRoot), "--ignore",
           Code(WarningCode::kBelowRoot)}}) {
        std::vector<std::string> args = {grid, "--check"};
        args.insert(args.end(), bad.begin(), bad.end());
        const ProcessResult r = RunKvoexp(args);
        EXPECT_EQ(r.exitCode, 2) << r.err;
    }
}

TEST_F(KvoexpScripting, OptionsFileWithTheCommandLineWinning) {
    const std::string grid = GridObj();
    const std::string team = dir_.Path("props.toml");
    clitest::WriteFile(team,
                       "# props of level 3\n"
                       "max-triangles = 150\n"
                       "error-on = [\"triangles_over_budget\"]\n"
                       "shader = true\n");
    const std::string report = dir_.Path("report.json");
    const ProcessResult fromFile =
        RunKvoexp({grid, "-o", dir_.Path("a"), "--options", team, "--report", report});
    EXPECT_EQ(fromFile.exitCode, 1) << fromFile.err;
    EXPECT_TRUE(Contains(fromFile.err, "kvoexp: error: " + grid + ": 'Grid0': 200 triangles"))
        << fromFile.err;
    EXPECT_FALSE(clitest::ReadFile(dir_.Path("a/kvoexp.shd")).empty());
    nlohmann::json json = nlohmann::json::parse(clitest::ReadFile(report));
    EXPECT_EQ(json["options"]["options_file"], team);
    EXPECT_EQ(json["options"]["budgets"]["max_triangles"], 150);
    EXPECT_EQ(json["options"]["check_boxes"]["shader"], true);

    const ProcessResult overridden = RunKvoexp({grid, "-o", dir_.Path("b"), "--options", team,
                                                "--max-triangles", "500", "--report", report});
    EXPECT_EQ(overridden.exitCode, 0) << overridden.err;
    json = nlohmann::json::parse(clitest::ReadFile(report));
    EXPECT_EQ(json["options"]["budgets"]["max_triangles"], 500);
    EXPECT_EQ(json["options"]["budgets"]["max_vertices"], nullptr);

    // A missing file and an unknown key are usage errors.
    EXPECT_EQ(RunKvoexp({grid, "--check", "--options", dir_.Path("none.toml")}).exitCode, 2);
    clitest::WriteFile(dir_.Path("typo.toml"), "max-triangle = 5\n");
    const ProcessResult typo = RunKvoexp({grid, "--check", "--options", dir_.Path("typo.toml")});
    EXPECT_EQ(typo.exitCode, 2) << typo.err;
}

TEST(KvoexpHelp, ShowsDefaultsAndMetavariablesCleanly) {
    const ProcessResult help = RunKvoexp({"--help"});
    ASSERT_EQ(help.exitCode, 0);
    for (const char* wanted : {"--dump-scene SCENE OUT ", "--options FILE", "--max-triangles N",
                               "--error-on CODE,...", "--no-preview", "(default: 60)"}) {
        EXPECT_TRUE(Contains(help.out, wanted)) << wanted << "\n" << help.out;
    }
    for (const char* unwanted : {"{false}", "{true}", " x 2", "TEXT", "UINT", "INT", "FLOAT"}) {
        EXPECT_FALSE(Contains(help.out, unwanted)) << unwanted << "\n" << help.out;
    }
}

}  // namespace
