// cmake/KvoExport.cmake for real: a generated CMake project exports three
// scenes with Ninja; a touched texture, .mtl or .bin re-exports its scene
// alone, and a build with nothing changed does nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "tests/cli/cli_test_support.h"

namespace {

namespace fs = std::filesystem;
using clitest::ProcessResult;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A glTF of one triangle whose buffer lies beside it in `bin`.
void WriteGltfWithBin(const std::string& path, const std::string& bin, const std::string& node) {
    std::string bytes;
    const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const uint16_t indices[4] = {0, 1, 2, 0};
    bytes.append(reinterpret_cast<const char*>(positions), sizeof positions);
    bytes.append(reinterpret_cast<const char*>(indices), sizeof indices);
    clitest::WriteFile(fs::path(path).parent_path().string() + "/" + bin, bytes);
    clitest::WriteFile(
        path, R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],)"
              R"("nodes":[{"name":")" +
                  node +
                  R"(","mesh":0}],)"
                  R"("meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1}]}],)"
                  R"("buffers":[{"uri":")" +
                  bin +
                  R"(","byteLength":44}],)"
                  R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},)"
                  R"({"buffer":0,"byteOffset":36,"byteLength":6}],)"
                  R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",)"
                  R"("min":[0,0,0],"max":[1,1,0]},)"
                  R"({"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"}]})");
}

// An OBJ of one textured triangle per object, with its .mtl.
void WriteObj(const std::string& dir, const std::string& stem,
              const std::vector<std::string>& names, const std::string& texture) {
    std::string obj = "mtllib " + stem + ".mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nusemtl m\n";
    for (const std::string& name : names) obj += "o " + name + "\nf 1/1 2/1 3/1\n";
    clitest::WriteFile(dir + "/" + stem + ".obj", obj);
    clitest::WriteFile(dir + "/" + stem + ".mtl", "newmtl m\nKd 1 1 1\nmap_Kd " + texture + "\n");
    clitest::WriteFile(dir + "/" + texture, std::string("\x89PNG\r\n\x1a\n", 8) + "png");
}

// Modification times of the files in a folder, by name.
std::map<std::string, fs::file_time_type> Stamps(const std::string& dir) {
    std::map<std::string, fs::file_time_type> stamps;
    for (const auto& entry : fs::directory_iterator(dir)) {
        stamps[entry.path().filename().string()] = entry.last_write_time();
    }
    return stamps;
}

void Touch(const std::string& path) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    fs::last_write_time(path, fs::file_time_type::clock::now());
}

class NinjaBuild : public ::testing::Test {
protected:
    void SetUp() override {
        if (!clitest::ModuleBuilt()) GTEST_SKIP() << "the plug-in module is not built";
        src_ = dir_.Sub("project");
        scenes_ = dir_.Sub("project/my scenes");
        build_ = dir_.Path("project/build");
        WriteObj(scenes_, "crate", {"Crate"}, "crate wood.png");
        WriteObj(scenes_, "rock", {"Rock", "Pebble"}, "rock.png");
        WriteGltfWithBin(src_ + "/tower.gltf", "tower.bin", "Tower");
        clitest::WriteFile(src_ + "/CMakeLists.txt",
                           "cmake_minimum_required(VERSION 3.25)\n"
                           "project(assets NONE)\n"
                           "include(\"" KVOEXP_EXPORT_MODULE
                           "\")\n"
                           "kvoexp_add_export(assets\n"
                           "  SCENES \"my scenes/crate.obj\" \"my scenes/rock.obj\" tower.gltf\n"
                           "  OUTPUT_DIR out\n"
                           "  OPTIONS --shader --geometry-ini)\n");
    }
    ProcessResult Ninja(const std::vector<std::string>& extra) {
        std::vector<std::string> args = {"-C", build_};
        args.insert(args.end(), extra.begin(), extra.end());
        return clitest::RunProcess(KVOEXP_NINJA, args, 120);
    }
    // The scenes whose step ran in a `ninja -v` output.
    std::vector<std::string> Exported(const std::string& out) const {
        std::vector<std::string> scenes;
        for (const char* scene : {"crate.obj", "rock.obj", "tower.gltf"}) {
            const std::string stem = fs::path(scene).stem().string();
            if (Contains(out, " -o " + build_ + "/out/" + stem + " ")) {
                scenes.push_back(scene);
            }
        }
        return scenes;
    }
    void ExpectNothingToDo() {
        const ProcessResult again = Ninja({"-j2"});
        EXPECT_EQ(again.exitCode, 0) << again.out;
        EXPECT_TRUE(Contains(again.out, "ninja: no work to do.")) << again.out;
    }

    clitest::ScratchDir dir_;
    std::string src_, scenes_, build_;
};

TEST_F(NinjaBuild, RebuildsOnlyTheSceneWhoseInputsChanged) {
    const ProcessResult configure =
        clitest::RunProcess(KVOEXP_CMAKE,
                            {"-S", src_, "-B", build_, "-G", "Ninja",
                             std::string("-DCMAKE_MAKE_PROGRAM=") + KVOEXP_NINJA,
                             "-DKVOEXP_EXECUTABLE=" + clitest::KvoexpBinary()},
                            120);
    ASSERT_EQ(configure.exitCode, 0) << configure.out << configure.err;
    EXPECT_FALSE(Contains(configure.err, "Warning")) << configure.err;

    ProcessResult r = Ninja({"-j2", "-v"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(Exported(r.out), (std::vector<std::string>{"crate.obj", "rock.obj", "tower.gltf"}))
        << r.out;
    const std::string out = build_ + "/out";
    using Names = std::vector<std::string>;
    const auto names = [](const std::string& dir) {
        Names list;
        for (const auto& [name, time] : Stamps(dir)) list.push_back(name);
        return list;
    };
    EXPECT_EQ(names(out + "/crate"), (Names{"Crate.kvo", "geometry.ini", "kvoexp.shd"}));
    EXPECT_EQ(names(out + "/rock"),
              (Names{"Pebble.kvo", "Rock.kvo", "geometry.ini", "kvoexp.shd"}));
    EXPECT_EQ(names(out + "/tower"), (Names{"Tower.kvo", "geometry.ini", "kvoexp.shd"}));
    ExpectNothingToDo();

    struct Change {
        std::string file;
        std::string scene;  // the one step expected to run
    };
    const Change changes[] = {{scenes_ + "/crate wood.png", "crate.obj"},
                              {scenes_ + "/rock.mtl", "rock.obj"},
                              {src_ + "/tower.bin", "tower.gltf"},
                              {src_ + "/tower.gltf", "tower.gltf"}};
    for (const Change& change : changes) {
        const auto before = Stamps(out + "/crate");
        const auto rockBefore = Stamps(out + "/rock");
        const auto towerBefore = Stamps(out + "/tower");
        Touch(change.file);
        r = Ninja({"-j2", "-v"});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(Exported(r.out), Names{change.scene}) << change.file << "\n" << r.out;
        EXPECT_EQ(Stamps(out + "/crate") == before, change.scene != "crate.obj") << change.file;
        EXPECT_EQ(Stamps(out + "/rock") == rockBefore, change.scene != "rock.obj") << change.file;
        EXPECT_EQ(Stamps(out + "/tower") == towerBefore, change.scene != "tower.gltf")
            << change.file;
        ExpectNothingToDo();
    }

    // A renamed object: its old file is pruned, the other scenes untouched.
    const auto crateBefore = Stamps(out + "/crate");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    WriteObj(scenes_, "rock", {"Boulder", "Pebble"}, "rock.png");
    r = Ninja({"-j2", "-v"});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(Exported(r.out), Names{"rock.obj"}) << r.out;
    EXPECT_EQ(names(out + "/rock"),
              (Names{"Boulder.kvo", "Pebble.kvo", "geometry.ini", "kvoexp.shd"}));
    EXPECT_TRUE(Stamps(out + "/crate") == crateBefore);
    ExpectNothingToDo();
}

}  // namespace
