// The -o template: {scene} and {dir} for every kind of scene path, the
// placeholders refused, and scenes grouped into one lifetime per folder.
#include "cli/outputs/output_template.h"

#include <gtest/gtest.h>

#include "cli/outputs/output_plan.h"

namespace {

constexpr const char* kCwd = "/work/project";

struct ExpandCase {
    const char* what;
    const char* output;
    const char* scene;
    const char* expected;  // nullptr: refused
};

const ExpandCase kExpandCases[] = {
    {"plain name", "out/{scene}", "box.obj", "out/box"},
    {"dots in the name", "out/{scene}", "lod.0.2.fbx", "out/lod.0.2"},
    {"no extension", "out/{scene}", "models/README", "out/README"},
    {"a hidden file keeps its name", "out/{scene}", "a/.hidden", "out/.hidden"},
    {"a trailing dot", "out/{scene}", "box.", "out/box"},
    {"scene in the working directory", "{dir}", "box.obj", "."},
    {"its folder vanishes from a path", "out/{dir}/{scene}", "box.obj", "out/box"},
    {"nested folders", "out/{dir}/{scene}", "levels/one/box.obj", "out/levels/one/box"},
    {"dot segments", "out/{dir}/{scene}", "./levels/./one/../two/box.obj", "out/levels/two/box"},
    {"absolute inside", "out/{dir}", "/work/project/art/box.obj", "out/art"},
    {"absolute template", "/srv/out/{scene}", "/elsewhere/box.obj", "/srv/out/box"},
    {"twice", "{scene}/{scene}_{dir}", "a/b.obj", "b/b_a"},
    {"trailing slash", "out/{scene}/", "b.obj", "out/b"},
    {"other braces stay", "out/{x-1}/{scene}", "b.obj", "out/{x-1}/b"},
    {"parent folder", "out/{dir}", "../other/box.obj", nullptr},
    {"absolute outside", "out/{dir}", "/elsewhere/box.obj", nullptr},
    {"up and back in is inside", "out/{dir}", "../project/art/box.obj", "out/art"},
    {"a name that is two dots", "out/{scene}", "...obj", nullptr},
    {"no file name", "out/{scene}", "models/..", nullptr},
    {"unknown placeholder", "out/{scenes}", "b.obj", nullptr},
};

TEST(OutputTemplate, ExpandsEachKindOfScenePath) {
    for (const ExpandCase& c : kExpandCases) {
        std::string out, error;
        const bool ok = kvooutputs::ExpandOutputTemplate(c.output, c.scene, kCwd, out, error);
        if (c.expected == nullptr) {
            EXPECT_FALSE(ok) << c.what << " gave " << out;
            EXPECT_FALSE(error.empty()) << c.what;
        } else {
            EXPECT_TRUE(ok) << c.what << ": " << error;
            EXPECT_EQ(out, c.expected) << c.what;
        }
    }
}

TEST(OutputTemplate, RecognisesTemplatesAndRefusesUnknownPlaceholders) {
    EXPECT_TRUE(kvooutputs::IsOutputTemplate("out/{scene}"));
    EXPECT_TRUE(kvooutputs::IsOutputTemplate("{dir}"));
    EXPECT_FALSE(kvooutputs::IsOutputTemplate("out/{Scene}"));
    EXPECT_FALSE(kvooutputs::IsOutputTemplate("out"));
    std::string error;
    EXPECT_TRUE(kvooutputs::CheckOutputTemplate("a{b c}/{}/{scene}", error)) << error;
    EXPECT_FALSE(kvooutputs::CheckOutputTemplate("out/{name}", error));
    EXPECT_EQ(error, "unknown placeholder {name} in the output directory (known: {scene}, {dir})");
}

TEST(OutputPlan, APlainDirectoryIsOneFolderForEveryScene) {
    std::vector<kvooutputs::OutputFolder> folders;
    std::string error;
    ASSERT_TRUE(kvooutputs::PlanOutputFolders("out", {"b.obj", "a/b.obj", "../c.obj"}, kCwd,
                                              folders, error));
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].dir, "out");
    EXPECT_EQ(folders[0].scenes, (std::vector<std::string>{"b.obj", "a/b.obj", "../c.obj"}));
}

TEST(OutputPlan, ScenesOfOneFolderShareALifetimeInTheOrderOfTheirFirstScene) {
    std::vector<kvooutputs::OutputFolder> folders;
    std::string error;
    const std::vector<std::string> scenes = {"x/a.obj", "y/b.obj", "x/c.obj", "./y/d.obj",
                                             "/work/project/x/e.obj"};
    ASSERT_TRUE(kvooutputs::PlanOutputFolders("out/{dir}", scenes, kCwd, folders, error)) << error;
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0].dir, "out/x");
    EXPECT_EQ(folders[0].scenes,
              (std::vector<std::string>{"x/a.obj", "x/c.obj", "/work/project/x/e.obj"}));
    EXPECT_EQ(folders[1].dir, "out/y");
    EXPECT_EQ(folders[1].scenes, (std::vector<std::string>{"y/b.obj", "./y/d.obj"}));
    EXPECT_EQ(kvooutputs::ExportOrder(folders),
              (std::vector<std::string>{"x/a.obj", "x/c.obj", "/work/project/x/e.obj", "y/b.obj",
                                        "./y/d.obj"}));
}

TEST(OutputPlan, RefusesScenesTheTemplateCannotPlaceAndFoldersTooLongForThePanel) {
    std::vector<kvooutputs::OutputFolder> folders;
    std::string error;
    EXPECT_FALSE(
        kvooutputs::PlanOutputFolders("out/{dir}", {"a.obj", "../b.obj"}, kCwd, folders, error));
    EXPECT_NE(error.find("../b.obj: lies outside the working directory"), std::string::npos)
        << error;
    const std::string longName(255, 'n');
    EXPECT_FALSE(
        kvooutputs::PlanOutputFolders("output/{scene}", {longName + ".obj"}, kCwd, folders, error));
    EXPECT_NE(error.find("longer than 260 characters"), std::string::npos) << error;
    EXPECT_TRUE(
        kvooutputs::PlanOutputFolders("o/{scene}", {longName + ".obj"}, kCwd, folders, error));
}

}  // namespace
