// Save reports every failure and never damages an existing file.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>

#include "kvo/kvo_geode.h"
#include "kvo/kvo_temp_name.h"
#include "kvo/temp_file.h"
#include "kvo_test_support.h"

using namespace kvotest;
namespace fs = std::filesystem;

namespace {

size_t EntriesIn(const fs::path& dir) {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Runs in a child process that ignores SIGXFSZ, as the hosts do: exits 0 when
// Save reports the failed writes with their cause.
[[noreturn]] void SaveUnderFileSizeLimit(KvoGeode& geode, const std::string& target, rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit;
    limit.rlim_cur = limit.rlim_max = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool saved = geode.Save(target);
    const std::string expected = "cannot write '" + target + "': " + std::strerror(EFBIG);
    std::exit(!saved && geode.error == expected ? 0 : 1);
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

}  // namespace

TEST(WriterFailure, MissingDirectoryFails) {
    TempDir dir;
    KvoGeode geode("unused");
    EXPECT_FALSE(geode.Save(dir.File("no/such/dir/out.kvo")));
    EXPECT_EQ(geode.error, "cannot create a temporary file in '" + dir.File("no/such/dir/") +
                               "': No such file or directory");
    EXPECT_EQ(EntriesIn(dir.path), 0u);
}

TEST(WriterFailure, UnwritableDirectoryLeavesTheTargetUntouched) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    TempDir dir;
    const fs::path locked = dir.path / "locked";
    fs::create_directory(locked);
    const std::string target = (locked / "out.kvo").string();
    WriteAll(target, Bytes{'o', 'l', 'd'});
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);

    auto scene = MakeRichScene();
    KvoGeode geode("unused");
    scene->AttachTo(geode);
    EXPECT_FALSE(geode.Save(target));
    EXPECT_FALSE(geode.error.empty());
    EXPECT_EQ(ReadAll(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(EntriesIn(locked), 1u);
}

// The temporary name is short: a target name of 251 bytes (the limit is 255)
// saves, where "<target>.tmp" would not fit.
TEST(WriterFailure, LongTargetNamesSave) {
    TempDir dir;
    const std::string target = dir.File(std::string(251, 'n') + ".kvo");
    WriteAll(target, Bytes{'o', 'l', 'd'});
    KvoGeode geode("unused");
    ASSERT_TRUE(geode.Save(target)) << geode.error;
    EXPECT_EQ(ReadAll(target).size(), 36u);
    EXPECT_EQ(EntriesIn(dir.path), 1u);
}

// A link planted under the old temporary name, or under any name the writer
// might pick, is never written through.
TEST(WriterFailure, PlantedLinksAreNotFollowed) {
    TempDir dir;
    const fs::path outside = dir.path / "outside";
    fs::create_directory(outside);
    const fs::path victim = outside / "victim";
    WriteAll(victim.string(), Bytes{'k', 'e', 'e', 'p'});
    const fs::path out = dir.path / "out";
    fs::create_directory(out);
    fs::create_symlink(victim, out / "X.kvo.tmp");

    KvoGeode geode("unused");
    ASSERT_TRUE(geode.Save((out / "X.kvo").string())) << geode.error;
    EXPECT_EQ(ReadAll(victim.string()), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(ReadAll((out / "X.kvo").string()).size(), 36u);
    EXPECT_TRUE(fs::is_symlink(out / "X.kvo.tmp"));

    // The exclusive open refuses a link, a dangling one too, and creates nothing.
    const fs::path dangling = out / "dangling";
    fs::create_symlink(outside / "nothing", dangling);
    fs::create_symlink(victim, out / "live");
    for (const fs::path& link : {dangling, out / "live"}) {
        SCOPED_TRACE(link.string());
        bool exists = false;
        std::string failure;
        EXPECT_EQ(OpenExclusive(link.string(), -1, exists, failure), nullptr);
        EXPECT_TRUE(exists);
        EXPECT_EQ(failure, std::strerror(EEXIST));
    }
    EXPECT_FALSE(fs::exists(outside / "nothing"));
    EXPECT_EQ(ReadAll(victim.string()), (Bytes{'k', 'e', 'e', 'p'}));
}

TEST(WriterFailure, TemporaryNamesAreShortAndBesideTheTarget) {
    const std::string a = TemporaryPathBeside("dir/sub/" + std::string(200, 'x') + ".kvo", 1, "/");
    const std::string b = TemporaryPathBeside("dir/sub/y.kvo", 2, "/");
    EXPECT_EQ(a.substr(0, 8), "dir/sub/");
    EXPECT_EQ(a.size(), 8 + kTemporaryNameLength);
    EXPECT_NE(a.substr(8), b.substr(8));
    EXPECT_EQ(TemporaryPathBeside("a\\b.kvo", 3, "\\/").rfind("a\\.kvo-", 0), 0u);
    EXPECT_EQ(TemporaryPathBeside("bare.kvo", 4, "/").size(), kTemporaryNameLength);
    EXPECT_EQ(TemporaryPathBeside("bare.kvo", 4, "/").rfind(".kvo-", 0), 0u);
    // The name a signal handler looks for is the name the writer makes.
    for (uint64_t seed : {0ull, 1ull, 77ull, 1ull << 31}) {
        EXPECT_TRUE(kvo::IsTemporaryName(TemporaryPathBeside("x.kvo", seed, "/").c_str()));
    }
    for (const char* other : {"X.kvo.tmp", ".kvo-abcdef.kvo", ".kvo-abcdefg.tmp", "kvo-abcdef.tmp"}) {
        EXPECT_FALSE(kvo::IsTemporaryName(other)) << other;
    }
}

// A replaced file keeps its permission bits; a new file gets what fopen gives.
TEST(WriterFailure, PermissionBitsAreKept) {
    TempDir dir;
    auto scene = MakeRichScene();
    KvoGeode geode("unused");
    scene->AttachTo(geode);
    for (const mode_t mode : {mode_t{0640}, mode_t{0604}, mode_t{0444}, mode_t{0755}}) {
        SCOPED_TRACE(mode);
        const std::string target = dir.File("kept.kvo");
        WriteAll(target, Bytes{'o', 'l', 'd'});
        ASSERT_EQ(chmod(target.c_str(), mode), 0);
        ASSERT_TRUE(geode.Save(target)) << geode.error;
        EXPECT_EQ(ModeOf(target), mode);
        EXPECT_GT(ReadAll(target).size(), 3u);
    }
    WriteAll(dir.File("reference"), Bytes{1});
    ASSERT_TRUE(geode.Save(dir.File("new.kvo"))) << geode.error;
    EXPECT_EQ(ModeOf(dir.File("new.kvo")), ModeOf(dir.File("reference")));
}

// A file size limit makes the writes fail part way; the save must notice.
TEST(WriterFailure, ShortWriteFailsAndLeavesTheTargetUntouched) {
    TempDir dir;
    const std::string target = dir.File("out.kvo");
    WriteAll(target, Bytes{'o', 'l', 'd'});
    auto scene = MakeRichScene();
    KvoGeode geode("unused");
    scene->AttachTo(geode);
    EXPECT_EXIT(SaveUnderFileSizeLimit(geode, target, 1000), testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadAll(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(EntriesIn(dir.path), 1u);
}

TEST(WriterFailure, TargetThatCannotBeReplacedFailsWithoutATemporaryFile) {
    TempDir dir;
    const fs::path target = dir.path / "out.kvo";
    fs::create_directory(target);  // a directory where the file should go
    WriteAll((target / "keep").string(), Bytes{1});
    KvoGeode geode("unused");
    EXPECT_FALSE(geode.Save(target.string()));
    EXPECT_NE(geode.error.find("cannot replace"), std::string::npos) << geode.error;
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(EntriesIn(dir.path), 1u);
}

TEST(WriterFailure, SuccessReplacesTheTargetAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string target = dir.File("out.kvo");
    WriteAll(target, Bytes(5000, 0xEE));
    KvoGeode geode("unused");
    ASSERT_TRUE(geode.Save(target)) << geode.error;
    EXPECT_EQ(ReadAll(target).size(), 36u);
    EXPECT_EQ(EntriesIn(dir.path), 1u);
}

// Counts that would make the writer read outside the records are refused
// before any file is created.
TEST(WriterFailure, InconsistentRecordsAreRefused) {
    struct Case {
        const char* name;
        std::function<void(KvoMaterial&, KvoGeob&)> spoil;
        const char* cause;
    } cases[] = {
        {"burst count", [](KvoMaterial&, KvoGeob& g) { g.burstCount = 101; }, "burst count 101"},
        {"negative bursts", [](KvoMaterial&, KvoGeob& g) { g.burstCount = -1; }, "burst count -1"},
        {"indices without array", [](KvoMaterial&, KvoGeob& g) { g.indexCount = 3; },
         "index count 3 without an array"},
        {"negative vertices", [](KvoMaterial&, KvoGeob& g) { g.vertexCount = -2; },
         "vertex count -2"},
        {"texture count", [](KvoMaterial& m, KvoGeob&) { m.textureCount = 11; },
         "texture count 11"},
        {"sub-material count", [](KvoMaterial& m, KvoGeob&) { m.subMaterialCount = 101; },
         "sub-material count 101"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        KvoMaterial material;
        KvoGeob geob;
        c.spoil(material, geob);
        KvoGeode geode("unused");
        geode.SetMaterials(1, &material);
        geode.SetGeobs(1, &geob);
        EXPECT_FALSE(geode.Save(dir.File("out.kvo")));
        EXPECT_NE(geode.error.find(c.cause), std::string::npos) << geode.error;
        EXPECT_EQ(EntriesIn(dir.path), 0u);
        material.textureCount = 0;
        material.subMaterialCount = 0;
    }
}

TEST(WriterFailure, SubMaterialsNestedTooDeepAreRefused) {
    TempDir dir;
    KvoMaterial top;
    KvoMaterial* level = &top;
    for (int depth = 0; depth < KvoMaterial::kMaxNesting + 1; ++depth) {
        level->subMaterialCount = 1;
        level->subMaterials[0] = new KvoMaterial();
        level = level->subMaterials[0];
    }
    KvoGeode geode("unused");
    geode.SetMaterials(1, &top);
    EXPECT_FALSE(geode.Save(dir.File("deep.kvo")));
    EXPECT_NE(geode.error.find("sub-materials nested deeper than 32"), std::string::npos)
        << geode.error;
    // One level less is written, and reads back.
    KvoMaterial* parent = &top;
    for (int depth = 0; depth < KvoMaterial::kMaxNesting; ++depth) parent = parent->subMaterials[0];
    delete parent->subMaterials[0];
    parent->subMaterials[0] = nullptr;
    parent->subMaterialCount = 0;
    ASSERT_TRUE(geode.Save(dir.File("deep.kvo"))) << geode.error;
    KvoGeode loaded(dir.File("deep.kvo"));
    EXPECT_TRUE(loaded.Load()) << loaded.error;
}
