// The depfile: paths escaped as Make and Ninja read them, the rule's exact
// text, paths a depfile cannot hold, and the .kvo files --prune finds stale.
#include "cli/outputs/depfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "cli/outputs/stale_outputs.h"
#include "tests/cli/cli_test_support.h"

namespace {

TEST(Depfile, PathsAreEscapedAsMakeAndNinjaReadThem) {
    const struct {
        const char* path;
        const char* escaped;
    } cases[] = {
        {"plain/a.obj", "plain/a.obj"},
        {"my scenes/a b.obj", "my\\ scenes/a\\ b.obj"},
        {"cost$1.obj", "cost$$1.obj"},
        {"take#2.mtl", "take\\#2.mtl"},
        {"back\\slash.png", "back\\slash.png"},
        {"end\\ space", "end\\\\\\ space"},  // the backslash before a space doubled
        {"two\\\\ x", "two\\\\\\\\\\ x"},
        {"hash\\#", "hash\\\\#"},
        {"$$ #", "$$$$\\ \\#"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kvooutputs::EscapeDepfilePath(c.path), c.escaped) << c.path;
}

TEST(Depfile, OneRuleWithEveryTargetAndEveryInput) {
    std::string text, error;
    ASSERT_TRUE(kvooutputs::FormatDepfile({"out/a/Box.kvo", "out/a/geometry.ini"},
                                          {"a.obj", "a.mtl", "tex/wood grain.png"}, text, error));
    EXPECT_EQ(text,
              "out/a/Box.kvo \\\n out/a/geometry.ini: \\\n a.obj \\\n a.mtl \\\n "
              "tex/wood\\ grain.png\n");
    ASSERT_TRUE(kvooutputs::FormatDepfile({}, {"a.obj"}, text, error));
    EXPECT_EQ(text, "");
}

TEST(Depfile, PathsADepfileCannotHoldAreRefused) {
    std::string text, error;
    for (const char* bad : {"line\nbreak.obj", "carriage\r.obj", "tab\t.obj"}) {
        EXPECT_FALSE(kvooutputs::FormatDepfile({"out/a.kvo"}, {bad}, text, error)) << bad;
        EXPECT_NE(error.find("a tab or a line break"), std::string::npos) << error;
        EXPECT_FALSE(kvooutputs::FormatDepfile({bad}, {"a.obj"}, text, error)) << bad;
    }
}

TEST(Depfile, WritesTheFileAndReportsAFailedWrite) {
    clitest::ScratchDir dir;
    std::string error;
    ASSERT_TRUE(kvooutputs::WriteDepfile(dir.Path("x.d"), {"o.kvo"}, {"s.obj"}, error)) << error;
    EXPECT_EQ(clitest::ReadFile(dir.Path("x.d")), "o.kvo: \\\n s.obj\n");
    EXPECT_FALSE(kvooutputs::WriteDepfile(dir.Path("missing/x.d"), {"o.kvo"}, {"s.obj"}, error));
    EXPECT_NE(error.find("cannot write the depfile " + dir.Path("missing/x.d")), std::string::npos)
        << error;
}

TEST(StaleOutputs, OnlyRegularKvoFilesNotWrittenAreStale) {
    clitest::ScratchDir dir;
    const std::string out = dir.Sub("out");
    for (const char* name : {"kept.kvo", "old.kvo", "notes.txt", "Upper.KVO", "kvo"}) {
        clitest::WriteFile(out + "/" + name, "x");
    }
    std::filesystem::create_directories(out + "/folder.kvo");
    clitest::WriteFile(dir.Path("elsewhere.kvo"), "x");
    ASSERT_EQ(symlink(dir.Path("elsewhere.kvo").c_str(), (out + "/link.kvo").c_str()), 0);
    const std::set<std::string> written = {out + "/kept.kvo"};
    EXPECT_EQ(kvooutputs::StaleKvoFiles(out, written), std::vector<std::string>{out + "/old.kvo"});

    std::vector<std::string> removed;
    std::string error;
    ASSERT_TRUE(kvooutputs::PruneStaleKvoFiles(out, written, removed, error)) << error;
    EXPECT_EQ(removed, std::vector<std::string>{out + "/old.kvo"});
    EXPECT_FALSE(std::filesystem::exists(out + "/old.kvo"));
    for (const char* name :
         {"kept.kvo", "notes.txt", "Upper.KVO", "kvo", "folder.kvo", "link.kvo"}) {
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(out + "/" + name)))
            << name;
    }
    EXPECT_TRUE(std::filesystem::exists(dir.Path("elsewhere.kvo")));
}

}  // namespace
