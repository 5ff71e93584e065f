#include "cli/import/obj_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "cli/import/assimp_import.h"
#include "cli/import/import_files.h"
#include "cli/import/obj_exact_numbers.h"
#include "cli/import/obj_number.h"
#include "cli/import/obj_parser.h"
#include "cli/import/scene_import.h"
#include "cli_test_support.h"
#include "obj_scene_compare.h"

namespace {

using kvoimport::ImportSettings;
using kvoimport::ObjRead;
using kvoscene::Scene;

uint32_t Bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Reads `path` with both readers under both weld settings and compares them;
// "" when ours took the file and agrees with Assimp.
std::string AgreeWithAssimp(const std::string& path, bool exactNumbers = true) {
    const std::set<uint32_t> exact =
        exactNumbers ? clitest::ExactNumbersOf(clitest::ReadFile(path)) : std::set<uint32_t>();
    for (bool join : {true, false}) {
        ImportSettings settings;
        settings.joinVertices = join;
        Scene ours, theirs;
        std::string message, error;
        const ObjRead read = kvoimport::ReadObjFile(path, settings, ours, message);
        if (read != ObjRead::Done) return "not read: " + message;
        if (!kvoimport::ImportWithAssimp(path, settings, theirs, error)) {
            return "Assimp fails: " + error;
        }
        const std::string difference = clitest::CompareObjScenes(ours, theirs, exact);
        if (!difference.empty()) return (join ? "welded: " : "unwelded: ") + difference;
    }
    return {};
}

// The files each import reads, for the depfile.
std::vector<std::string> FilesReadBy(const std::string& path, bool ours) {
    kvoimport::FilesRead files;
    Scene scene;
    std::string error;
    if (ours) {
        EXPECT_TRUE(kvoimport::ImportScene(path, {}, scene, error, &files)) << error;
    } else {
        EXPECT_TRUE(kvoimport::ImportWithAssimp(path, {}, scene, error, &files)) << error;
    }
    return files.Paths();
}

// Corners 1-4 of a unit square and a fifth point; used by most cases.
const std::string kSquare = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.5 2 0.25\n";

// A fan of 100 triangles around one pole whose every corner has a texture
// coordinate of its own: more seams at one position than the index chains take.
std::string PoleObj() {
    std::string text = "v 0 1 0\n";
    for (int i = 0; i < 100; ++i) {
        const double a = i * 0.0628318;
        text += "v " + std::to_string(std::cos(a)) + " 0 " + std::to_string(std::sin(a)) + "\n";
        text += "vt " + std::to_string(i / 100.0) + " 1\nvt " + std::to_string(i / 100.0) + " 0\n";
    }
    for (int i = 0; i < 100; ++i) {
        const int b = 2 + i, c = 2 + (i + 1) % 100;
        text += "f 1/" + std::to_string(2 * i + 1) + " " + std::to_string(b) + "/" +
                std::to_string(2 * i + 2) + " " + std::to_string(c) + "/" +
                std::to_string(2 * ((i + 1) % 100) + 2) + "\n";
    }
    return text + "f 1/1 2/2 3/4\n";
}

struct TakenCase {
    const char* what;
    std::string obj;
    std::string mtl;                    // written as m.mtl when not empty
    std::vector<std::string> textures;  // files made beside the OBJ
};

// Files the reader takes: its scene must be Assimp's, numbers exact.
TEST(ObjReader, GivesTheAssimpPathsSceneForWhatItTakes) {
    const TakenCase cases[] = {
        {"triangles and quads", kSquare + "f 1 2 3\nf 1 2 3 4\nf 2 3 5\n", "", {}},
        {"objects, groups, repeated names and a return to an earlier object",
         kSquare + "o A\nf 1 2 3\ng G\nf 1 3 4\ng G\nf 2 3 4\no B\nf 1 2 5\ng A\nf 1 2 4\n"
                   "o A\nf 2 3 5\ng G\nf 1 4 5\no Empty\n",
         "",
         {}},
        {"negative and forward indices",
         "f 1 2 3\n" + kSquare + "f -1 -2 -3\nf -5 -4 -3 -2\n",
         "",
         {}},
        {"continued lines",
         "v 0 0 0\nv 1 0 \\\n0\nv 1 1 0\nv 0 1 0\n# comment \\\nf 9 9 9\nf 1 3 \\\n4\r\n"
         "f 1 \\\r\n2 \\\n3\n",
         "",
         {}},
        {"smoothing groups", kSquare + "s 1\nf 1 2 3\ns off\nf 1 3 4\ns 2\nf 2 3 5\n", "", {}},
        {"a missing .mtl", "mtllib nothere.mtl\n" + kSquare + "usemtl red\nf 1 2 3\n", "", {}},
        {"materials, textures and the .mtl's current material",
         "mtllib m.mtl\n" + kSquare +
             "o Box\nf 1 2 3\nusemtl Red One \nf 1 3 4\nusemtl Blue\nf 2 3 5\n"
             "usemtl gone\nf 1 2 5\nusemtl Red One\nf 1 2 4\n",
         "newmtl Red One \nKd 1 0 0\nmap_Kd  tex/a b.png\n  map_Ka amb.png\nmap_Ks shine.png\n"
         "map_bump bump.png\nmap_d alpha.png\nnewmtl Blue\r\nmap_Kd blue.png\r\nbump b2.png\n"
         "map_Ke glow.png\nnorm n.png\nmap_Ns shine.png\nnewmtl Star\nmap_Kd *0\n",
         {"tex/a b.png", "amb.png", "shine.png", "bump.png", "alpha.png", "blue.png", "b2.png",
          "glow.png", "n.png", "shine.png"}},
        {"a .mtl after the faces gives its first new material to the current mesh",
         kSquare + "o A\nf 1 2 3\nmtllib m.mtl\nf 1 3 4\no B\nf 2 3 4\n",
         "newmtl First\nnewmtl Second\n",
         {}},
        {"usemtl before any object and repeated",
         kSquare + "usemtl a\nusemtl b\nf 1 2 3\nusemtl b\nf 1 3 4\nusemtl a\nusemtl c\n"
                   "f 2 3 4\ng G\nusemtl a\nf 1 2 5\n",
         "",
         {}},
        {"texture coordinates and normals, mixed across faces",
         kSquare + "vt 0.25 0.75\nvt 0.5 0.125 0.5\nvn 0 0 1\nvn 0.6 0.8 0\n"
                   "f 1/1 2/2 3/1\nf 1//1 3//2 4//1\nf 1 2 4\nf 1/2/2 2/1/1 3/2/2 4/1/1\n"
                   "o N\nf 1//1 2//2 3//1\no T\nf 1/1 2/2 3/2\n",
         "",
         {}},
        {"vertex colours",
         "v 0 0 0 1 0 0\nv 1 0 0 0 1 0\nv 1 1 0 0 0 1\nv 0 1 0\nf 1 2 3\nf 1 3 4\n",
         "",
         {}},
        {"concave, crossed and degenerate quads",
         "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0.2 0.2 0\nv 0.9 0.1 0\n"
         "f 1 2 3 4\nf 4 1 2 3\nf 3 4 1 2\nf 2 3 4 1\nf 1 3 2 4\nf 1 1 2 3\nf 1 2 5 3\n"
         "f 5 3 1 2\n",
         "",
         {}},
        {"names of several words, an unnamed group and CR LF lines",
         kSquare + "o Big Box\r\nf 1 2 3\r\ng\r\nf 1 3 4\r\ng Left Side\r\nf 2 3 4\r\n",
         "",
         {}},
        {"lines that open with blanks are skipped, as are comments",
         kSquare + "  v 9 9 9\n\tf 1 2 3\n f 1 2 3\n# f 1 2 3\nf 1 2 3\n\n\n",
         "",
         {}},
        {"a pole of more seams than a chain of indices takes", PoleObj(), "", {}},
        {"number forms",
         "v -.5 1e-3 1E+2\nv 3. 0.1234567890123 -0\nv 1e-40 -2.5e-39 123456789012\n"
         "v 0.333333333 -49.713837 11.887197\nvt 1e39 0.5\nvn -0.000001 1 0.7071068\n"
         "f 1/1/1 2/1/1 3/1/1\nf 2/1/1 3/1/1 4/1/1\n",
         "",
         {}},
    };
    for (const TakenCase& c : cases) {
        SCOPED_TRACE(c.what);
        clitest::ScratchDir dir;
        const std::string path = dir.Path("case.obj");
        clitest::WriteFile(path, c.obj);
        if (!c.mtl.empty()) clitest::WriteFile(dir.Path("m.mtl"), c.mtl);
        for (const std::string& texture : c.textures) {
            std::filesystem::create_directories(
                std::filesystem::path(dir.Path(texture)).parent_path());
            clitest::WriteFile(dir.Path(texture), "x");
        }
        EXPECT_EQ(AgreeWithAssimp(path), "");
        EXPECT_EQ(FilesReadBy(path, true), FilesReadBy(path, false));
    }
}

// Files it leaves to the importer; the import as a whole still gives
// Assimp's answer for them.
TEST(ObjReader, LeavesWhatItDoesNotTakeToTheImporter) {
    const std::pair<const char*, std::string> cases[] = {
        {"a polygon of five corners", kSquare + "f 1 2 3 4 5\n"},
        {"a line", kSquare + "f 1 2 3\nl 1 2\n"},
        {"a point", kSquare + "f 1 2 3\np 1\n"},
        {"a merging group", kSquare + "mg 1 0.5\nf 1 2 3\n"},
        {"a curve", kSquare + "f 1 2 3\ncstype bspline\ndeg 3\ncurv 0 1 1 2 3 4\n"},
        {"a number without a leading digit", "v .5 0 0\n" + kSquare + "f 1 2 3\n"},
        {"a number with a plus", "v +1 0 0\n" + kSquare + "f 1 2 3\n"},
        {"an infinity", "v inf 0 0\n" + kSquare + "f 1 2 3\n"},
        {"a trailing comment", kSquare + "f 1 2 3 # top\n"},
        {"index 0", kSquare + "f 0 1 2\n"},
        {"an index out of range", kSquare + "f 1 2 9\n"},
        {"a relative index before the first vertex", kSquare + "f -1 -2 -9\n"},
        {"corner forms mixed in a face", kSquare + "vt 0 0\nf 1/1 2 3\n"},
        {"a texture index before any texture vertex", kSquare + "vn 0 0 1\nf 1/1 2/1 3/1\n"},
        {"no faces", kSquare},
        {"a vertex of five numbers", "v 1 2 3 4 5\n" + kSquare + "f 1 2 3\n"},
        {"a texture vertex of one number", kSquare + "vt 0.5\nf 1 2 3\n"},
        {"a vertex of weight 0", "v 1 2 3 0\n" + kSquare + "f 1 2 3\n"},
        {"a parameter vertex", kSquare + "vp 0.5\nf 1 2 3\n"},
        {"a byte order mark", "\xef\xbb\xbf" + kSquare + "f 1 2 3\n"},
        {"a NUL byte", kSquare + std::string("# a\0b\nf 1 2 3\n", 14)},
        {"a lone CR", kSquare + "f 1 2 3\rf 1 3 4\n"},
        {"a continuation into an empty line", kSquare + "f 1 2 \\\n\n3\n"},
        {"a tiny file", "f 1 2 3\n"},
        {"texture options", "mtllib m.mtl\n" + kSquare + "usemtl a\nf 1 2 3\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        clitest::ScratchDir dir;
        const std::string path = dir.Path("case.obj");
        clitest::WriteFile(path, c.second);
        clitest::WriteFile(dir.Path("m.mtl"), "newmtl a\nmap_Kd -clamp on a.png\n");
        Scene ours;
        std::string message;
        EXPECT_EQ(kvoimport::ReadObjFile(path, {}, ours, message), ObjRead::NotTaken) << message;
        EXPECT_FALSE(message.empty());
        Scene viaImport, theirs;
        std::string error1, error2;
        const bool imported = kvoimport::ImportScene(path, {}, viaImport, error1);
        EXPECT_EQ(imported, kvoimport::ImportWithAssimp(path, {}, theirs, error2));
        EXPECT_EQ(error1, error2);
        if (imported) {
            EXPECT_EQ(clitest::CompareObjScenes(viaImport, theirs, {}), "");
        }
    }
}

TEST(ObjReader, ReadsTheSharedObjFilesAsAssimpDoes) {
    const std::string models = clitest::ModelsDir();
    if (!std::filesystem::is_directory(models)) GTEST_SKIP() << "no " << models;
    size_t taken = 0, files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(models)) {
        if (!entry.is_regular_file() || !kvoimport::IsObjPath(entry.path().string())) continue;
        const std::string path = entry.path().string();
        SCOPED_TRACE(path);
        ++files;
        Scene ours, theirs;
        std::string message, error;
        const ObjRead read = kvoimport::ReadObjFile(path, {}, ours, message);
        const bool assimp = kvoimport::ImportWithAssimp(path, {}, theirs, error);
        std::printf("%s: %s\n", path.c_str(), read == ObjRead::Done ? "read" : message.c_str());
        if (read == ObjRead::NotTaken) continue;
        ASSERT_EQ(read, ObjRead::Done) << message;
        ASSERT_TRUE(assimp) << error;
        ++taken;
        EXPECT_EQ(AgreeWithAssimp(path), "");
        EXPECT_EQ(FilesReadBy(path, true), FilesReadBy(path, false));
    }
    // spider, box, cube_usemtl and cube_with_vertexcolors at least.
    EXPECT_GE(taken, 4u) << "of " << files;
}

// A generated mesh of many distinct numbers: ours are strtof's, Assimp's
// rounds some one unit off.
TEST(ObjReader, EveryNumberOfALargeFileIsExact) {
    clitest::ScratchDir dir;
    std::mt19937 random(25);
    std::uniform_real_distribution<double> coordinate(-1000, 1000);
    std::string text = "o Field of numbers\n";
    char number[64];
    const int n = 40;
    for (int i = 0; i < n * n; ++i) {
        text += "v";
        for (int k = 0; k < 3; ++k) {
            std::snprintf(number, sizeof number, " %.*f", 3 + i % 6, coordinate(random));
            text += number;
        }
        std::snprintf(number, sizeof number, "\nvt %.7f %.7f\nvn %.6f %.6f %.6f\n",
                      std::fabs(coordinate(random)) / 1000, std::fabs(coordinate(random)) / 1000,
                      coordinate(random) / 1000, coordinate(random) / 1000, 0.5);
        text += number;
    }
    for (int y = 0; y + 1 < n; ++y) {
        for (int x = 0; x + 1 < n; ++x) {
            const int a = y * n + x + 1, b = a + 1, c = a + n + 1, d = a + n;
            text += "f " + std::to_string(a) + "/" + std::to_string(a) + "/" + std::to_string(a);
            for (int v : {b, c, d}) {
                text += " " + std::to_string(v) + "/" + std::to_string(v) + "/" + std::to_string(v);
            }
            text += "\n";
        }
    }
    const std::string path = dir.Path("numbers.obj");
    clitest::WriteFile(path, text);
    EXPECT_EQ(AgreeWithAssimp(path), "");
    // And against a reference of our own: positions in file order are strtof's.
    Scene ours;
    std::string message;
    ImportSettings unwelded;
    unwelded.joinVertices = false;
    ASSERT_EQ(kvoimport::ReadObjFile(path, unwelded, ours, message), ObjRead::Done) << message;
    ASSERT_EQ(ours.nodes.size(), 1u);
    EXPECT_EQ(ours.nodes[0].name, "Field of numbers");
    const std::vector<float>& p = ours.nodes[0].mesh.positions;
    std::istringstream lines(text);
    std::vector<std::array<float, 3>> file;
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 2, "v ") != 0) continue;
        std::istringstream words(line.substr(2));
        std::string x, y, z;
        words >> x >> y >> z;
        file.push_back({std::strtof(x.c_str(), nullptr), std::strtof(y.c_str(), nullptr),
                        std::strtof(z.c_str(), nullptr)});
    }
    // The first corner of face f is vertex y * n + x; its position comes
    // back (x, z, -y) in the Z-up frame.
    size_t face = 0;
    for (int y = 0; y + 1 < n; ++y) {
        for (int x = 0; x + 1 < n; ++x, ++face) {
            const std::array<float, 3>& v = file[static_cast<size_t>(y * n + x)];
            const float* q = &p[face * 4 * 3];
            EXPECT_EQ(Bits(q[0]), Bits(v[0]));
            EXPECT_EQ(Bits(q[1]), Bits(-v[2]));
            EXPECT_EQ(Bits(q[2]), Bits(v[1]));
        }
    }
}

// The number parser against the C library's, on literal texts and on many
// random ones.
TEST(ObjNumber, EqualsStrtofForEveryNumberItTakes) {
    const char* literals[] = {"0",
                              "-0",
                              "1",
                              "-1",
                              "0.1",
                              "-49.713837",
                              "11.887197",
                              "0.333333333",
                              "3.4028235e38",
                              "3.4028236e38",
                              "1e39",
                              "-1e39",
                              "1e-45",
                              "7e-46",
                              "1e-50",
                              "1.17549435e-38",
                              "1.1754942e-38",
                              "123456789012345678901234567890",
                              "0.000000000000000000000001",
                              "2.5",
                              "3.",
                              "-.5",
                              "1E+2",
                              "1e-3",
                              "16777217",
                              "0.1000000015",
                              "0.10000000149011612",
                              "0.100000001490116119384765625"};
    for (const char* text : literals) {
        SCOPED_TRACE(text);
        float ours = 0;
        ASSERT_TRUE(kvoimport::ParseObjFloat(text, text + std::strlen(text), ours));
        EXPECT_EQ(Bits(ours), Bits(std::strtof(text, nullptr)));
    }
    for (const char* text : {"", "-", ".5", "+1", "1e", "1.5.2", "inf", "-nan", "0x10", "1,5",
                             "1e5x", "--1", "-.", "."}) {
        float ours = 0;
        EXPECT_FALSE(kvoimport::ParseObjFloat(text, text + std::strlen(text), ours)) << text;
    }
    std::mt19937_64 random(7);
    char text[80];
    for (int i = 0; i < 200000; ++i) {
        const int digits = 1 + static_cast<int>(random() % 17);
        const int exponent = static_cast<int>(random() % 90) - 45;
        const unsigned long long mantissa = random() % 100000000000000000ull;
        const int point = static_cast<int>(random() % (digits + 1));
        std::string m = std::to_string(mantissa).substr(0, static_cast<size_t>(digits));
        if (point < static_cast<int>(m.size())) m.insert(static_cast<size_t>(point), ".");
        if (m[0] == '.') m.insert(0, "0");
        std::snprintf(text, sizeof text, "%s%se%d", random() % 2 ? "-" : "", m.c_str(), exponent);
        float ours = 0;
        ASSERT_TRUE(kvoimport::ParseObjFloat(text, text + std::strlen(text), ours)) << text;
        ASSERT_EQ(Bits(ours), Bits(std::strtof(text, nullptr))) << text;
    }
}

TEST(ObjNumber, TakesOnlyIndicesTheImporterCountsRight) {
    const std::pair<const char*, int32_t> good[] = {
        {"1", 1}, {"-1", -1}, {"2147483647", 2147483647}, {"-2147483647", -2147483647}, {"90", 90}};
    for (const auto& g : good) {
        int32_t value = 0;
        EXPECT_TRUE(kvoimport::ParseObjIndex(g.first, g.first + std::strlen(g.first), value));
        EXPECT_EQ(value, g.second);
    }
    for (const char* bad :
         {"", "0", "-0", "01", "+1", "2147483648", "-2147483648", "1a", "-", "12345678901"}) {
        int32_t value = 0;
        EXPECT_FALSE(kvoimport::ParseObjIndex(bad, bad + std::strlen(bad), value)) << bad;
    }
}

const char kSmallObj[] =
    "# a small file\nmtllib small.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0.5 0.5 1\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvn 0 0 1\nvn 0 1 0\no Body\nusemtl wood\ns 1\n"
    "f 1/1/1 2/2/1 3/3/1 4/1/1\nf -5/1/2 -4/2/2 -1/3/2\ng Roof Part\nusemtl metal\n"
    "f 2//2 3//2 5//2\nf 3 4 \\\n5\n";
const char kSmallMtl[] = "newmtl wood\nmap_Kd wood.png\nnewmtl metal\nKd 0.5 0.5 0.5\n";

// Every prefix of a small file: ours succeeds as Assimp does, or leaves the
// file to it.
TEST(ObjReader, EveryTruncationIsReadAsAssimpReadsItOrLeftToIt) {
    clitest::ScratchDir dir;
    clitest::WriteFile(dir.Path("small.mtl"), kSmallMtl);
    const std::string text = kSmallObj;
    const std::string path = dir.Path("cut.obj");
    size_t taken = 0;
    for (size_t length = 0; length <= text.size(); ++length) {
        SCOPED_TRACE(length);
        clitest::WriteFile(path, text.substr(0, length));
        Scene ours, theirs;
        std::string message, error;
        const ObjRead read = kvoimport::ReadObjFile(path, {}, ours, message);
        ASSERT_NE(read, ObjRead::Failed) << message;
        if (read == ObjRead::NotTaken) {
            ASSERT_LT(length, text.size()) << message;
            continue;
        }
        ++taken;
        ASSERT_TRUE(kvoimport::ImportWithAssimp(path, {}, theirs, error)) << error;
        EXPECT_EQ(clitest::CompareObjScenes(ours, theirs, clitest::ExactNumbersOf(text)), "");
    }
    // From the first face on, most cuts leave a file it takes.
    EXPECT_GT(taken, 20u);
}

// Consistency of a scene the reader gives: every index inside its arrays.
void ExpectWellFormed(const Scene& scene) {
    for (const kvoscene::Node& node : scene.nodes) {
        const kvoscene::Mesh& m = node.mesh;
        ASSERT_EQ(m.faces.size(), m.materialIds.size() * 3);
        ASSERT_EQ(m.smoothing.size(), m.materialIds.size());
        for (uint32_t index : m.faces) ASSERT_LT(index, m.VertexCount());
        ASSERT_TRUE(m.normals.empty() || m.normals.size() == m.positions.size());
        ASSERT_TRUE(m.uvs.empty() || m.uvs.size() == m.positions.size());
        ASSERT_TRUE(node.material == kvoscene::kNone || node.material < scene.materials.size());
    }
}

// Every byte of the file replaced by bytes that matter to the parser.
TEST(ObjReader, CorruptedBytesNeverBreakIt) {
    const std::string text = kSmallObj;
    kvoimport::ObjSource source;
    source.path = "dir/small.obj";
    source.readMtl = [](const std::string& path, std::string& bytes) {
        if (path != "dir/small.mtl") return kvoimport::MtlFile::Missing;
        bytes = kSmallMtl;
        return kvoimport::MtlFile::Read;
    };
    size_t taken = 0, left = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        for (char c : {'\0', '\n', '\r', ' ', '/', '-', '\\', '9', 'x', '#', '\xff'}) {
            std::string corrupt = text;
            corrupt[at] = c;
            Scene scene;
            std::string message;
            const ObjRead read =
                kvoimport::ReadObjBytes(corrupt.data(), corrupt.size(), source, {}, scene, message);
            if (read == ObjRead::Done) {
                ++taken;
                ExpectWellFormed(scene);
            } else {
                ++left;
                EXPECT_FALSE(message.empty());
                EXPECT_TRUE(scene.nodes.empty());
            }
        }
    }
    EXPECT_GT(taken, 0u);
    EXPECT_GT(left, 0u);
}

}  // namespace

namespace {

// A random OBJ of the statements the reader takes, in any order and with the
// importer's odd corners (usemtl before objects, returns to earlier objects,
// faces before their vertices, continuations...).
std::string RandomObj(std::mt19937& random, bool& usesMtl) {
    const auto pick = [&random](int n) { return static_cast<int>(random() % n); };
    const char* names[] = {"A", "B", "Two Words", "A", "C"};
    const char* materials[] = {"red", "blue", "gone", "Red One"};
    std::string text;
    int positions = 0, uvs = 0, normals = 0;
    usesMtl = false;
    for (int i = 0; i < 8; ++i) {
        text += "v " + std::to_string(pick(7) - 3) + "." + std::to_string(pick(1000)) + " " +
                std::to_string(pick(5)) + " 0." + std::to_string(pick(100000)) + "\n";
        ++positions;
    }
    const int statements = 10 + pick(30);
    for (int s = 0; s < statements; ++s) {
        switch (pick(14)) {
            case 0:
                // Assimp keeps an `o` name's first word only: one-word names here.
                text += std::string("o ") + names[pick(2) * 3 + pick(2) * 1] + "\n";
                break;
            case 1:
                text +=
                    pick(4) == 0 ? std::string("g\n") : std::string("g ") + names[pick(5)] + "\n";
                break;
            case 2:
                text += std::string("usemtl ") + materials[pick(4)] + "\n";
                break;
            case 3:
                text += pick(2) ? "mtllib r.mtl\n" : "mtllib missing.mtl\n";
                usesMtl = true;
                break;
            case 4:
                text +=
                    "vt 0." + std::to_string(pick(1000)) + " " + std::to_string(pick(2)) + ".5\n";
                ++uvs;
                break;
            case 5:
                text += "vn 0 " + std::to_string(pick(3) - 1) + ".25 1\n";
                ++normals;
                break;
            case 6:
                text += pick(2) ? "s 1\n" : "# note\n";
                break;
            case 7:
                text += "v 0." + std::to_string(pick(100)) + " 1." + std::to_string(pick(100)) +
                        (pick(3) == 0 ? " -2 0.5 0.25 1\n" : " -2\n");
                ++positions;
                break;
            default: {
                const int corners = 3 + pick(2);
                const int form = pick(4);
                if (((form & 1) && uvs == 0) || ((form & 2) && normals == 0)) break;
                text += "f";
                for (int k = 0; k < corners; ++k) {
                    const int v = 1 + pick(positions);
                    text += " " +
                            (pick(3) == 0 ? std::to_string(v - positions - 1) : std::to_string(v));
                    if (form == 1) text += "/" + std::to_string(1 + pick(uvs));
                    if (form == 2) text += "//" + std::to_string(1 + pick(normals));
                    if (form == 3) {
                        text += "/" + std::to_string(1 + pick(uvs)) + "/" +
                                std::to_string(1 + pick(normals));
                    }
                    if (k + 1 < corners && pick(12) == 0) text += " \\\n";
                }
                text += pick(6) == 0 ? "\r\n" : "\n";
            }
        }
    }
    return text;
}

TEST(ObjReader, AgreesWithAssimpOnRandomFiles) {
    clitest::ScratchDir dir;
    clitest::WriteFile(dir.Path("r.mtl"),
                       "newmtl red\nmap_Kd red.png\nnewmtl Red One\nnewmtl blue\nmap_Kd b.png\n");
    std::mt19937 random(2025);
    size_t taken = 0;
    for (int i = 0; i < 300; ++i) {
        bool usesMtl = false;
        const std::string text = RandomObj(random, usesMtl);
        const std::string path = dir.Path("r.obj");
        clitest::WriteFile(path, text);
        Scene ours;
        std::string message;
        if (kvoimport::ReadObjFile(path, {}, ours, message) != ObjRead::Done) continue;
        ++taken;
        const std::string difference = AgreeWithAssimp(path);
        ASSERT_EQ(difference, "") << text;
    }
    EXPECT_GT(taken, 200u);
}

}  // namespace

namespace {

// Where the .mtl is: read by ours, or left to Assimp where Assimp would look
// under other names; either way the scene is Assimp's.
TEST(ObjReader, FindsTheMtlWhereAssimpFindsIt) {
    struct Case {
        const char* what;
        const char* mtllib;
        const char* mtlFile;  // made in the OBJ's folder
        bool taken;
        bool assimpFindsIt;
    };
    const Case cases[] = {
        {"beside the file", "m.mtl", "m.mtl", true, true},
        {"in a sub-folder", "sub/m.mtl", "sub/m.mtl", true, true},
        {"missing, with one named after the OBJ", "gone.mtl", "case.mtl", true, true},
        {"missing everywhere", "gone.mtl", "other.mtl", true, false},
        {"named with a backslash", "sub\\m.mtl", "sub/m.mtl", false, true},
        {"named with a %-escape, which this reader does not follow", "m%2emtl", "m.mtl", false,
         false},
        {"in a folder that is not there, but beside the file", "nowhere/m.mtl", "m.mtl", false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clitest::ScratchDir dir;
        const std::string path = dir.Path("case.obj");
        clitest::WriteFile(path, "mtllib " + std::string(c.mtllib) + "\n" + kSquare +
                                     "usemtl red\nf 1 2 3\nusemtl blue\nf 1 3 4\n");
        std::filesystem::create_directories(
            std::filesystem::path(dir.Path(c.mtlFile)).parent_path());
        clitest::WriteFile(dir.Path(c.mtlFile), "newmtl blue\nmap_Kd b.png\nnewmtl red\n");
        Scene ours;
        std::string message;
        const ObjRead read = kvoimport::ReadObjFile(path, {}, ours, message);
        EXPECT_EQ(read, c.taken ? ObjRead::Done : ObjRead::NotTaken) << message;
        if (read == ObjRead::Done) {
            EXPECT_EQ(AgreeWithAssimp(path), "");
            EXPECT_EQ(FilesReadBy(path, true), FilesReadBy(path, false));
        } else {
            Scene viaImport, theirs;
            std::string error1, error2;
            ASSERT_TRUE(kvoimport::ImportScene(path, {}, viaImport, error1)) << error1;
            ASSERT_TRUE(kvoimport::ImportWithAssimp(path, {}, theirs, error2)) << error2;
            EXPECT_EQ(clitest::CompareObjScenes(viaImport, theirs, {}), "");
            ASSERT_GE(viaImport.materials.size(), 2u);
            EXPECT_EQ(viaImport.materials[1].diffuseMap, c.assimpFindsIt ? "b.png" : "");
        }
    }
    // An mtllib that names a folder is left alone too (Assimp fails on it, and
    // leaks the stream it opened, so it is not asked here).
    clitest::ScratchDir dir;
    const std::string path = dir.Path("folder.obj");
    clitest::WriteFile(path, "mtllib sub\n" + kSquare + "f 1 2 3\n");
    std::filesystem::create_directories(dir.Path("sub"));
    Scene ours;
    std::string message;
    EXPECT_EQ(kvoimport::ReadObjFile(path, {}, ours, message), ObjRead::NotTaken);
}

}  // namespace

namespace {

using kvoimport::ObjModel;
using kvoimport::ObjSizeCounter;
using kvoimport::ObjSizeHint;

ObjSizeHint CountInPieces(const std::string& text, size_t piece) {
    ObjSizeCounter counter;
    for (size_t at = 0; at < text.size(); at += piece) {
        counter.Feed(text.data(), at, std::min(text.size(), at + piece));
    }
    return counter.Finish(text.data(), text.size());
}

// Everything the parser gathers, so that two parses can be told apart.
void ExpectSameModel(const ObjModel& a, const ObjModel& b, const std::string& label) {
    SCOPED_TRACE(label);
    EXPECT_EQ(a.positions, b.positions);
    EXPECT_EQ(a.uvs, b.uvs);
    EXPECT_EQ(a.normals, b.normals);
    EXPECT_EQ(a.colors, b.colors);
    EXPECT_EQ(a.faceCount, b.faceCount);
    ASSERT_EQ(a.meshes.size(), b.meshes.size());
    for (size_t m = 0; m < a.meshes.size(); ++m) {
        const kvoimport::ObjMesh& x = a.meshes[m];
        const kvoimport::ObjMesh& y = b.meshes[m];
        EXPECT_EQ(x.name, y.name) << m;
        EXPECT_EQ(x.material, y.material) << m;
        EXPECT_EQ(x.faceSizes, y.faceSizes) << m;
        ASSERT_EQ(x.corners.size(), y.corners.size()) << m;
        for (size_t k = 0; k < x.corners.size(); ++k) {
            EXPECT_TRUE(x.corners[k].v == y.corners[k].v && x.corners[k].vt == y.corners[k].vt &&
                        x.corners[k].vn == y.corners[k].vn)
                << m << " corner " << k;
        }
    }
    ASSERT_EQ(a.objects.size(), b.objects.size());
    for (size_t o = 0; o < a.objects.size(); ++o) {
        EXPECT_EQ(a.objects[o].name, b.objects[o].name) << o;
        EXPECT_EQ(a.objects[o].meshes, b.objects[o].meshes) << o;
    }
}

// The counted sizes: a line's kind by its first bytes, continued lines not
// counted, lines too short for their numbers not counted, a stretch per o, g
// and usemtl line; the same whatever pieces the bytes arrive in.
TEST(ObjSizeCounter, CountsLinesByKindInPiecesOfAnySize) {
    struct Case {
        const char* name;
        std::string text;
        size_t vertices, textureVertices, normals;
        std::vector<uint32_t> faces;
    };
    const Case cases[] = {
        {"empty", "", 0, 0, 0, {0}},
        {"one of each without a last line end",
         "v 0 0 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 1/1/1 1/1/1",
         1,
         1,
         1,
         {1}},
        {"stretches",
         "f 1 2 3\no A\nf 1 2 3\nf 1 2 3 4\ng B\nusemtl red\nf 1 2 3\nusemtl\tblue\n",
         0,
         0,
         0,
         {1, 2, 0, 1, 0}},
        {"CRLF, comments, blanks in front and other statements",
         "# v 0 0 0\r\n v 0 0 0\r\nv 1 2 3\r\nvp 1 2 3\r\ns 1\r\nmtllib a.mtl\r\nusemtlx\r\n",
         1,
         0,
         0,
         {0}},
        {"continued lines count once", "f 1 2 \\\n3\nv 0 0 \\\nv 0 0 0\nv 1 1 1\n", 2, 0, 0, {1}},
        {"continued through CRLF", "v 0 0 0 \\\r\nf 1 2 3\r\nf 1 2 3\r\n", 1, 0, 0, {1}},
        {"too short for their numbers", "v 0 0\nvt 0\nvn 0 0\nf 1 2\nv 0 0 0\n", 1, 0, 0, {0}},
    };
    for (const Case& c : cases) {
        for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{15}, size_t{16}, size_t{17},
                             size_t{1} << 20}) {
            const ObjSizeHint hint = CountInPieces(c.text, piece);
            const std::string label = std::string(c.name) + ", pieces of " + std::to_string(piece);
            EXPECT_EQ(hint.vertices, c.vertices) << label;
            EXPECT_EQ(hint.textureVertices, c.textureVertices) << label;
            EXPECT_EQ(hint.normals, c.normals) << label;
            EXPECT_EQ(hint.faces, c.faces) << label;
        }
    }
}

// The hint sizes the model's arrays and nothing else: a missing, a counted, an
// empty and a wrong one give the same model; a counted one leaves a one-mesh
// file's arrays without room to spare, so they were never grown by copies.
TEST(ObjSizeCounter, AHintChangesTheAllocationsOnlyNeverTheModel) {
    std::vector<std::string> texts;
    std::string grid = "o Grid\n";
    for (int i = 0; i < 3000; ++i) grid += "v " + std::to_string(i) + " 0.5 1\nvt 0.25 0.75\n";
    for (int i = 0; i < 3000; ++i) grid += "vn 0 1 0\n";
    for (int i = 1; i + 2 <= 3000; ++i) {
        const std::string a = std::to_string(i), b = std::to_string(i + 1),
                          c = std::to_string(i + 2);
        grid += "f " + a + "/" + a + "/" + a + " " + b + "/" + b + "/" + b + " " + c + "/" + c +
                "/" + c + "\n";
    }
    texts.push_back(grid);
    std::mt19937 random(77);
    for (int i = 0; i < 60; ++i) {
        bool usesMtl = false;
        texts.push_back(RandomObj(random, usesMtl));
    }
    kvoimport::ObjSource source;
    source.path = "hinted.obj";
    for (size_t t = 0; t < texts.size(); ++t) {
        const std::string& text = texts[t];
        ObjModel plain;
        std::vector<std::string> mtl;
        std::string reason;
        const bool taken =
            kvoimport::ParseObj(text.data(), text.size(), source, plain, mtl, reason);
        const ObjSizeHint counted = CountInPieces(text, 4096);
        ObjSizeHint wrong = counted;
        wrong.vertices = wrong.vertices / 2 + 1;
        wrong.normals += 7;
        wrong.faces.assign(counted.faces.size() + 3, 2);
        const ObjSizeHint hints[] = {counted, ObjSizeHint(), wrong};
        for (size_t h = 0; h < std::size(hints); ++h) {
            ObjModel hinted;
            std::string why;
            const std::string label = "text " + std::to_string(t) + ", hint " + std::to_string(h);
            ASSERT_EQ(
                kvoimport::ParseObj(text.data(), text.size(), source, hinted, mtl, why, &hints[h]),
                taken)
                << label;
            EXPECT_EQ(why, reason) << label;
            if (taken) ExpectSameModel(hinted, plain, label);
        }
    }
    ObjModel model;
    std::vector<std::string> mtl;
    std::string reason;
    ASSERT_TRUE(kvoimport::ParseObj(grid.data(), grid.size(), source, model, mtl, reason))
        << reason;
    EXPECT_EQ(model.positions.capacity(), model.positions.size());
    EXPECT_EQ(model.uvs.capacity(), model.uvs.size());
    EXPECT_EQ(model.normals.capacity(), model.normals.size());
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].faceSizes.capacity(), model.meshes[0].faceSizes.size());
    // Room for four corners a face at most, as the counter cannot tell triangles from quads.
    EXPECT_EQ(model.meshes[0].corners.capacity(), model.meshes[0].faceSizes.size() * 4);
}

}  // namespace
