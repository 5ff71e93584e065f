// The console host with an output folder per scene: one plug-in lifetime per
// folder, the depfile, --prune, and outputs that depend only on the inputs
// and the options.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "tests/cli/cli_test_support.h"

namespace {

namespace fs = std::filesystem;
using clitest::ProcessResult;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Model(const std::string& relative) {
    return clitest::ModelsDir() + "/assimp/test/models/" + relative;
}
std::string Sample() {
    return clitest::SamplesDir() + "/sample_scene.gltf";
}

// kvoexp run in `cwd`.
ProcessResult RunIn(const std::string& cwd, const std::vector<std::string>& args,
                    double timeout = 120) {
    std::vector<std::string> all = {"-c", "cd \"$0\" && exec \"$@\"", cwd, clitest::KvoexpBinary()};
    all.insert(all.end(), args.begin(), args.end());
    return clitest::RunProcess("/bin/sh", all, timeout);
}

// The files below `dir` with their bytes, by relative path; with `exts`
// only files of those extensions.
std::map<std::string, std::string> Tree(const std::string& dir,
                                        const std::set<std::string>& exts = {}) {
    std::map<std::string, std::string> files;
    if (!fs::exists(dir)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        if (!exts.empty() && exts.count(entry.path().extension().string()) == 0) continue;
        files[fs::relative(entry.path(), dir).string()] = clitest::ReadFile(entry.path().string());
    }
    return files;
}

std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& [path, bytes] : Tree(dir)) names.insert(path);
    return names;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A depfile read back as Ninja reads it: targets before the colon, inputs after.
struct Rule {
    std::vector<std::string> targets, inputs;
};
Rule ReadDepfile(const std::string& text) {
    Rule rule;
    std::string word;
    bool afterColon = false;
    const auto flush = [&] {
        if (word.empty()) return;
        if (!afterColon && word.back() == ':') {
            word.pop_back();
            rule.targets.push_back(word);
            afterColon = true;
        } else {
            (afterColon ? rule.inputs : rule.targets).push_back(word);
        }
        word.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == ' ' || text[i + 1] == '#')) {
            word += text[++i];
        } else if (c == '\\' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            flush();
        } else if (c == '$' && i + 1 < text.size() && text[i + 1] == '$') {
            word += text[++i];
        } else if (c == ' ' || c == '\n') {
            flush();
        } else {
            word += c;
        }
    }
    flush();
    return rule;
}

std::string Normal(const std::string& path) {
    return fs::path(path).lexically_normal().string();
}

// An OBJ with one triangle per object name.
void WriteObjects(const std::string& path, const std::vector<std::string>& names) {
    std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    for (const std::string& name : names) text += "o " + name + "\nf 1 2 3\n";
    clitest::WriteFile(path, text);
}

class SceneFolders : public ::testing::Test {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
    }
    clitest::ScratchDir dir_;
};

const std::vector<std::string> kSideFlags = {"--shader", "--geometry-ini", "--log",
                                             "--vertex-colors"};

TEST_F(SceneFolders, EachFolderGetsTheCompleteSideFilesOfItsOwnScene) {
    const std::vector<std::string> scenes = {Sample(), Model("OBJ/spider.obj"),
                                             Model("OBJ/box.obj")};
    std::vector<std::string> args = scenes;
    args.insert(args.end(), {"-o", dir_.Path("out/{scene}")});
    args.insert(args.end(), kSideFlags.begin(), kSideFlags.end());
    const ProcessResult r = clitest::RunKvoexp(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Each folder holds what an invocation for its scene alone writes.
    for (const std::string& scene : scenes) {
        const std::string stem = fs::path(scene).stem().string();
        const std::string alone = dir_.Path("alone/" + stem);
        std::vector<std::string> one = {scene, "-o", alone};
        one.insert(one.end(), kSideFlags.begin(), kSideFlags.end());
        ASSERT_EQ(clitest::RunKvoexp(one).exitCode, 0) << scene;
        const std::string folder = dir_.Path("out/" + stem);
        std::map<std::string, std::string> got = Tree(folder);
        std::map<std::string, std::string> want = Tree(alone);
        got["kvoexp_log.txt"] = Replace(got["kvoexp_log.txt"], folder, "<out>");
        want["kvoexp_log.txt"] = Replace(want["kvoexp_log.txt"], alone, "<out>");
        EXPECT_GT(want.size(), 3u) << stem;
        EXPECT_TRUE(got == want) << stem;
        const std::string ini = got["geometry.ini"];
        EXPECT_EQ(ini.substr(ini.size() - 3), "}\r\n") << stem;
    }
    EXPECT_TRUE(Contains(clitest::ReadFile(dir_.Path("out/sample_scene/geometry.ini")),
                         "Signal-Tower.kvo"));
    EXPECT_FALSE(
        Contains(clitest::ReadFile(dir_.Path("out/spider/geometry.ini")), "Signal-Tower.kvo"));
}

TEST_F(SceneFolders, APlainDirectoryStaysOneLifetimeForAllScenes) {
    const ProcessResult r = clitest::RunKvoexp(
        {Sample(), Model("OBJ/box.obj"), "-o", dir_.Path("out"), "--geometry-ini"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string ini = clitest::ReadFile(dir_.Path("out/geometry.ini"));
    EXPECT_TRUE(Contains(ini, "Signal-Tower.kvo")) << ini;
    EXPECT_TRUE(Contains(ini, "1.kvo")) << ini;  // box.obj's one object
}

TEST_F(SceneFolders, ScenesOfOneFolderShareItsLifetimeInTheOrderGiven) {
    const std::string work = dir_.Sub("work");
    fs::create_directories(work + "/a");
    fs::create_directories(work + "/b");
    WriteObjects(work + "/a/x.obj", {"X1", "X2"});
    WriteObjects(work + "/b/y.obj", {"Y1"});
    WriteObjects(work + "/a/z.obj", {"Z1"});
    const ProcessResult r =
        RunIn(work, {"a/x.obj", "b/y.obj", "a/z.obj", "-o", "out/{dir}", "--geometry-ini"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Names(work + "/out/a"),
              (std::set<std::string>{"X1.kvo", "X2.kvo", "Z1.kvo", "geometry.ini"}));
    EXPECT_EQ(Names(work + "/out/b"), (std::set<std::string>{"Y1.kvo", "geometry.ini"}));
    const std::string ini = clitest::ReadFile(work + "/out/a/geometry.ini");
    EXPECT_LT(ini.find("X2.kvo"), ini.find("Z1.kvo")) << ini;
    // Folder by folder: a's scenes first.
    EXPECT_LT(r.out.find("a/z.obj: "), r.out.find("b/y.obj: ")) << r.out;
}

TEST_F(SceneFolders, TemplatesThatCannotPlaceAllScenesAreUsageErrors) {
    const std::string work = dir_.Sub("work");
    WriteObjects(dir_.Path("outside.obj"), {"A"});
    ProcessResult r = RunIn(work, {"../outside.obj", "-o", "out/{dir}"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(
        Contains(r.err, "kvoexp: error: ../outside.obj: lies outside the working directory"))
        << r.err;
    r = RunIn(work, {"../outside.obj", "-o", "out/{name}"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(Contains(r.err, "unknown placeholder {name}")) << r.err;
    EXPECT_FALSE(fs::exists(work + "/out"));
    // {scene} alone places any scene.
    r = RunIn(work, {"../outside.obj", "-o", "out/{scene}"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(work + "/out/outside/A.kvo"));
}

TEST_F(SceneFolders, TheDepfileListsEveryFileWrittenAndEveryFileRead) {
    const std::string spider = Model("OBJ/spider.obj");
    const std::string box = Model("glTF2/BoxTextured-glTF/BoxTextured.gltf");
    const std::string depfile = dir_.Path("export.d");
    const std::string out = dir_.Path("out");
    const ProcessResult r = clitest::RunKvoexp(
        {spider, box, "-o", out + "/{scene}", "--shader", "--geometry-ini", "--depfile", depfile});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Rule rule = ReadDepfile(clitest::ReadFile(depfile));
    std::set<std::string> written;
    for (const std::string& path : Names(out)) written.insert(out + "/" + path);
    EXPECT_EQ(std::set<std::string>(rule.targets.begin(), rule.targets.end()), written);
    EXPECT_EQ(rule.targets.size(), written.size());
    EXPECT_GT(written.size(), 6u);
    const std::string o = Model("OBJ/");
    const std::string g = Model("glTF2/BoxTextured-glTF/");
    ASSERT_EQ(rule.inputs.size(), 10u) << clitest::ReadFile(depfile);
    EXPECT_EQ(rule.inputs[0], Normal(spider));
    EXPECT_EQ(rule.inputs[1], Normal(o + "spider.mtl"));
    EXPECT_EQ(std::set<std::string>(rule.inputs.begin() + 2, rule.inputs.begin() + 7),
              (std::set<std::string>{Normal(o + "wal67ar_small.jpg"),
                                     Normal(o + "wal69ar_small.jpg"), Normal(o + "SpiderTex.jpg"),
                                     Normal(o + "drkwood2.jpg"), Normal(o + "engineflare1.jpg")}));
    EXPECT_EQ(std::vector<std::string>(rule.inputs.begin() + 7, rule.inputs.end()),
              (std::vector<std::string>{Normal(box), Normal(g + "BoxTextured0.bin"),
                                        Normal(g + "CesiumLogoFlat.png")}));
    // A build step names its declared output instead.
    const ProcessResult named =
        clitest::RunKvoexp({spider, box, "-o", out + "/{scene}", "--depfile", depfile,
                            "--depfile-target", dir_.Path("step stamp")});
    ASSERT_EQ(named.exitCode, 0) << named.err;
    const Rule step = ReadDepfile(clitest::ReadFile(depfile));
    EXPECT_EQ(step.targets, std::vector<std::string>{dir_.Path("step stamp")});
    EXPECT_EQ(step.inputs, rule.inputs);
}

TEST_F(SceneFolders, PruneRemovesTheKvoFilesTheRunDidNotWriteAndListsThem) {
    const std::string work = dir_.Sub("work");
    WriteObjects(work + "/a.obj", {"Old", "Keep"});
    WriteObjects(work + "/b.obj", {"B"});
    ASSERT_EQ(RunIn(work, {"a.obj", "b.obj", "-o", "out/{scene}"}).exitCode, 0);
    WriteObjects(work + "/a.obj", {"New", "Keep"});  // Old renamed
    clitest::WriteFile(work + "/out/b/notes.txt", "kept");
    ProcessResult r = RunIn(work, {"a.obj", "b.obj", "-o", "out/{scene}"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Names(work + "/out/a"), (std::set<std::string>{"Old.kvo", "New.kvo", "Keep.kvo"}));
    EXPECT_FALSE(Contains(r.out, "removed"));

    r = RunIn(work, {"a.obj", "b.obj", "-o", "out/{scene}", "--prune"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Names(work + "/out/a"), (std::set<std::string>{"New.kvo", "Keep.kvo"}));
    EXPECT_EQ(Names(work + "/out/b"), (std::set<std::string>{"B.kvo", "notes.txt"}));
    EXPECT_TRUE(Contains(r.out, "\nremoved stale out/a/Old.kvo\n")) << r.out;
}

TEST_F(SceneFolders, PruneRemovesNothingAfterAFailure) {
    const std::string work = dir_.Sub("work");
    WriteObjects(work + "/a.obj", {"Keep"});
    WriteObjects(work + "/bad.obj", {"sub/name", "Fine"});  // one node cannot be saved
    fs::create_directories(work + "/out/a");
    fs::create_directories(work + "/out/bad");
    clitest::WriteFile(work + "/out/a/Stale.kvo", "old");
    clitest::WriteFile(work + "/out/bad/Stale.kvo", "old");
    for (const std::vector<std::string>& scenes :
         {std::vector<std::string>{"a.obj", "missing.obj"}, {"a.obj", "bad.obj"}}) {
        std::vector<std::string> args = scenes;
        args.insert(args.end(), {"-o", "out/{scene}", "--prune"});
        const ProcessResult r = RunIn(work, args);
        EXPECT_EQ(r.exitCode, 1) << scenes[1] << r.err;
        EXPECT_FALSE(Contains(r.out, "removed")) << r.out;
        EXPECT_TRUE(fs::exists(work + "/out/a/Stale.kvo")) << scenes[1];
    }
    EXPECT_TRUE(fs::exists(work + "/out/bad/Stale.kvo"));
    EXPECT_TRUE(fs::exists(work + "/out/bad/Fine.kvo"));
}

TEST_F(SceneFolders, PruneKeepsEverythingAfterACancel) {
    const std::string obj = dir_.Path("big.obj");
    clitest::WriteBigObj(obj, 12, 160, "Field-");  // 614,400 triangles
    const std::string out = dir_.Path("out/big");
    fs::create_directories(out);
    clitest::WriteFile(out + "/Stale.kvo", "old");
    const std::string log = out + "/kvoexp_log.txt";
    bool sent = false;  // once the log exists, the export has begun
    const ProcessResult r = clitest::RunKvoexpInterruptedOnce(
        {obj, "-o", dir_.Path("out/{scene}"), "--log", "--prune"}, log, sent);
    ASSERT_TRUE(sent);
    ASSERT_TRUE(r.exited) << r.signal;
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_TRUE(Contains(r.out, "; cancelled")) << r.out;
    EXPECT_FALSE(Contains(r.out, "removed")) << r.out;
    EXPECT_EQ(clitest::ReadFile(out + "/Stale.kvo"), "old");
}

// The same scenes from two working directories, given relative and absolute,
// with one import worker and with two: the same bytes.
TEST_F(SceneFolders, OutputsDependOnlyOnTheInputsAndTheOptions) {
    const std::vector<std::string> models = {
        "OBJ/spider.obj",        "OBJ/cube_usemtl.obj",
        "FBX/box.fbx",           "3DS/test1.3ds",
        "Collada/duck.dae",      "glTF2/BoxTextured-glTF/BoxTextured.gltf",
        "STL/Spider_binary.stl", "OBJ/cube_with_vertexcolors.obj"};
    const std::string one = dir_.Sub("one");
    const std::string two = dir_.Sub("two/deeper");
    std::vector<std::string> relative, absolute;
    for (const std::string& m : models) {
        relative.push_back(fs::relative(Model(m), one).string());
        absolute.push_back(Model(m));
    }
    relative.push_back(fs::relative(Sample(), one).string());
    absolute.push_back(Sample());
    const std::vector<std::string> flags = {"--shader", "--geometry-ini", "--vertex-colors", "-q"};
    std::vector<std::string> first = relative;
    first.insert(first.end(), {"-o", "out/{scene}", "-j", "1"});
    first.insert(first.end(), flags.begin(), flags.end());
    std::vector<std::string> second = absolute;
    second.insert(second.end(), {"-o", two + "/elsewhere/{scene}", "-j", "2"});
    second.insert(second.end(), flags.begin(), flags.end());
    const ProcessResult a = RunIn(one, first, 300);
    const ProcessResult b = RunIn(two, second, 300);
    ASSERT_EQ(a.exitCode, 0) << a.err;
    ASSERT_EQ(b.exitCode, 0) << b.err;
    const std::set<std::string> exts = {".kvo", ".shd", ".ini"};
    const std::map<std::string, std::string> treeA = Tree(one + "/out", exts);
    const std::map<std::string, std::string> treeB = Tree(two + "/elsewhere", exts);
    EXPECT_GT(treeA.size(), 30u);
    EXPECT_EQ(treeA.size(), treeB.size());
    EXPECT_TRUE(treeA == treeB) << "the working directory or -j changed the bytes";
}

}  // namespace
