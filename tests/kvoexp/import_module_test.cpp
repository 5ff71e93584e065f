// The import program loads the importer (lib/kvoexp_import_assimp.so) only for
// scenes our OBJ reader does not take: an installation without it still
// exports OBJ files, and fails every other scene with a message naming it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/cli/cli_test_support.h"

namespace {

namespace fs = std::filesystem;
using clitest::Contains;
using clitest::ProcessResult;

class ImportModule : public ::testing::Test {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    }

    // A copy of the build's layout, bin/ and lib/, with or without the
    // importer's module. The programs are copied, since they find lib/ from
    // their own resolved path; the libraries are linked.
    std::string Install(const std::string& name, bool withImporter) {
        const fs::path built = fs::path(clitest::KvoexpBinary()).parent_path();
        const fs::path root = dir_.Sub(name);
        fs::create_directories(root / "bin");
        fs::create_directories(root / "lib");
        for (const char* program : {"kvoexp", "kvoexp-import"}) {
            fs::copy_file(built / program, root / "bin" / program);
        }
        for (const auto& entry : fs::directory_iterator(built / ".." / "lib")) {
            const std::string file = entry.path().filename().string();
            if (entry.path().extension() != ".so") continue;
            if (!withImporter && file == "kvoexp_import_assimp.so") continue;
            fs::create_symlink(fs::canonical(entry.path()), root / "lib" / file);
        }
        return (root / "bin" / "kvoexp").string();
    }

    clitest::ScratchDir dir_;
};

TEST_F(ImportModule, WithoutTheImporterOnlyScenesThatNeedItFail) {
    const std::string obj = dir_.Path("parts.obj");
    clitest::WriteBigObj(obj, 2, 2, "Part");
    const std::string gltf = clitest::SamplesDir() + "/sample_scene.gltf";
    struct Case {
        const char* name;
        bool withImporter;
        std::string scene;
        bool exports;
    };
    const Case cases[] = {
        {"obj-with", true, obj, true},
        {"gltf-with", true, gltf, true},
        {"obj-without", false, obj, true},
        {"gltf-without", false, gltf, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string kvoexp = Install(c.name, c.withImporter);
        const std::string out = dir_.Path(std::string(c.name) + "-out");
        const ProcessResult r = clitest::RunProcess(kvoexp, {"-q", c.scene, "-o", out}, 60);
        ASSERT_TRUE(r.exited) << "killed by signal " << r.signal;
        if (c.exports) {
            EXPECT_EQ(r.exitCode, 0) << r.err;
            EXPECT_FALSE(clitest::KvoFiles(out).empty());
        } else {
            EXPECT_EQ(r.exitCode, 1) << r.err;
            EXPECT_TRUE(Contains(r.err, c.scene + ": cannot import: the importer module cannot be "
                                                  "loaded: "))
                << r.err;
            EXPECT_TRUE(Contains(r.err, "/lib/kvoexp_import_assimp.so")) << r.err;
            EXPECT_TRUE(clitest::KvoFiles(out).empty());
        }
    }
}

}  // namespace
