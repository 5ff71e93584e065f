// The one texture lookup rule: the path as named, its last component beside
// the scene, then in the search folders; any letter case; images only.
#include "textures/texture_lookup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

void WritePng(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << "\x89PNG\r\n\x1a\n" << std::string(16, '\0');
}

TEST(LookupTexture, FollowsTheRuleStepByStep) {
    testsupport::ScratchDir dir("kvo_lookup");
    const std::string scene = dir.Path("scene");
    WritePng(dir.Path("scene/maps/wood.png"));
    WritePng(dir.Path("scene/earthCylindric.jpg"));
    WritePng(dir.Path("scene/textures/drkwood2.jpg"));
    WritePng(dir.Path("lib/drkwood2.jpg"));
    WritePng(dir.Path("lib/stone.tga"));
    WritePng(dir.Path("lib2/stone.tga"));
    WritePng(dir.Path("lib2/Moss.PNG"));
    WritePng(dir.Path("elsewhere/abs.png"));
    std::ofstream(dir.Path("scene/notes.png")) << "root:x:0:0\n";
    const kvotextures::TextureSearch search = {scene, {dir.Path("lib"), dir.Path("lib2")}};
    const struct {
        std::string name;
        std::string found;
    } cases[] = {
        {"maps/wood.png", dir.Path("scene/maps/wood.png")},
        {"MAPS\\Wood.PNG", dir.Path("scene/maps/wood.png")},  // separators and case
        {"EarthCylindric.jpg", dir.Path("scene/earthCylindric.jpg")},
        {"textures/drkwood2.jpg", dir.Path("scene/textures/drkwood2.jpg")},
        {"D:\\projects\\art\\drkwood2.jpg", dir.Path("lib/drkwood2.jpg")},  // by its name
        {"stone.tga", dir.Path("lib/stone.tga")},                           // the first folder wins
        {"other/moss.png", dir.Path("lib2/Moss.PNG")},
        {dir.Path("elsewhere/abs.png"), dir.Path("elsewhere/abs.png")},
        {"../elsewhere/abs.png", dir.Path("scene/../elsewhere/abs.png")},
        {"$texture_dummy.bmp", ""},  // an importer's placeholder
        {"gone.png", ""},
        {"maps", ""},  // a folder is no texture
        {"", ""},
        {"..", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kvotextures::LookupTexture(c.name, search).path, c.found) << c.name;
    }
}

TEST(LookupTexture, NamesEveryPlaceLookedAtAndTheFileThatIsNoImage) {
    testsupport::ScratchDir dir("kvo_lookup_places");
    std::ofstream(dir.Path("passwd")) << "root:x:0:0:root:/root:/bin/bash\n";
    const kvotextures::TextureSearch search = {dir.Path("scene"), {dir.Path("lib")}};
    fs::create_directories(dir.Path("scene"));

    const kvotextures::TextureLookup drive = kvotextures::LookupTexture("C:\\art\\a.png", search);
    EXPECT_EQ(drive.looked,
              (std::vector<std::string>{dir.Path("scene/a.png"), dir.Path("lib/a.png")}));

    const kvotextures::TextureLookup nested = kvotextures::LookupTexture("maps/a.png", search);
    EXPECT_EQ(nested.looked,
              (std::vector<std::string>{dir.Path("scene/maps/a.png"), dir.Path("scene/a.png"),
                                        dir.Path("lib/a.png")}));

    const kvotextures::TextureLookup secret = kvotextures::LookupTexture("../passwd", search);
    EXPECT_EQ(secret.path, "");
    EXPECT_EQ(secret.notImage, dir.Path("scene/../passwd"));

    // A scene in the working directory: places stay relative, never rooted at '/'.
    const kvotextures::TextureLookup here = kvotextures::LookupTexture("../LWO/x.jpg", {"", {}});
    ASSERT_FALSE(here.looked.empty());
    EXPECT_EQ(here.looked.front(), "./../LWO/x.jpg");
    EXPECT_TRUE(kvotextures::LookupTexture("$texture_dummy.bmp", search).looked.empty());
}

TEST(TextureNames, PlaceholdersAndLastComponents) {
    EXPECT_TRUE(kvotextures::IsPlaceholderTexture("$texture_dummy.bmp"));
    EXPECT_TRUE(kvotextures::IsPlaceholderTexture("$Texture.png"));
    EXPECT_FALSE(kvotextures::IsPlaceholderTexture("texture.png"));
    EXPECT_FALSE(kvotextures::IsPlaceholderTexture("*0"));
    EXPECT_EQ(kvotextures::TextureFileName("D:\\art\\wood.jpg"), "wood.jpg");
    EXPECT_EQ(kvotextures::TextureFileName("C:wood.jpg"), "wood.jpg");
    EXPECT_EQ(kvotextures::TextureFileName("maps/stone.png"), "stone.png");
    EXPECT_EQ(kvotextures::TextureFileName("plain.tga"), "plain.tga");
}

}  // namespace
