// The Export operation end to end: files, side files, messages, cancellation.
#include "export/export_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "export_test_support.h"
#include "platform/max/path_separator.h"
#include "reference_builder.h"

namespace exporttest {
namespace {

std::string Join(const std::string& dir, const std::string& file) {
    return dir + kPathSeparator + file;
}

Mesh WithIds(Mesh mesh, const std::function<uint16_t(int)>& idOfFace) {
    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        mesh.faces[f].setMatID(idOfFace(static_cast<int>(f)));
    }
    return mesh;
}

struct Scene {
    Scene() {
        context.scene = &scene;
        context.outputDir = dir.Sub("out");
    }
    void Export() { exporter::DoExport(context, nullptr); }
    std::string Out(const std::string& file) const { return Join(context.outputDir, file); }

    ScratchDir dir;
    HostScene scene;
    FakeContext context;
};

// Colours by vertex parity, so that no vertex has a colour seam.
void ColourByVertex(Mesh& mesh) {
    mesh.setNumVertCol(2);
    mesh.vertCol = {{1, 0.5f, 0}, {0, 0.25f, 1}};
    for (size_t f = 0; f < mesh.vcFace.size(); ++f) {
        const DWORD* v = mesh.faces[f].v;
        mesh.vcFace[f].setTVerts(v[0] % 2, v[1] % 2, v[2] % 2);
    }
}

// Box01 with a standard material and a bitmap; a selected camera; Plane 02 with a
// multi-material over IDs 0 and 1, of which only 0 has a sub-material, and colours.
void BuildSmallScene(Scene& s) {
    INode* box = AddMeshNode(s.scene, "Box01", MakeGrid(1, 1));
    StdMtl* body = s.scene.Make<StdMtl>();
    body->SetName("Car Body-01");
    BitmapTex* bodyMap = s.scene.Make<BitmapTex>();
    bodyMap->SetMapName("D:\\maps\\body.bmp");
    body->SetSubTexmap(1, bodyMap);
    box->SetMtl(body);

    INode* camera = s.scene.GetRootNode()->CreateChild("Camera01");
    camera->SetObject(new NonGeomObject(CAMERA_CLASS_ID));
    camera->SetSelected(true);

    Mesh plane =
        WithIds(MakeGrid(2, 1), [](int f) -> uint16_t { return static_cast<uint16_t>(f / 2); });
    ColourByVertex(plane);
    INode* planeNode = AddMeshNode(s.scene, "Plane 02", std::move(plane));
    planeNode->SetObjTM(TransMatrix(Point3(5, 6, 7)));
    MultiMtl* multi = s.scene.Make<MultiMtl>();
    multi->SetName("Multi-Mat");
    StdMtl* red = s.scene.Make<StdMtl>();
    red->SetName("Red");
    BitmapTex* redMap = s.scene.Make<BitmapTex>();
    redMap->SetMapName("maps/sub/red.tga");
    red->SetSubTexmap(1, redMap);
    multi->SetSubMtl(0, red);
    planeNode->SetMtl(multi);
}

std::string GeobLines(int geob, int material, int faces, int vertices, int normals, int colours) {
    return "\t\tGeob" + std::to_string(geob) + "\n\t\t\tMaterial Index ... " +
           std::to_string(material) + "\n\t\t\tFaces ............ " + std::to_string(faces) +
           "\n\t\t\tVertices ......... " + std::to_string(vertices) +
           "\n\t\t\tTexCoords ........ " + std::to_string(vertices) +
           "\n\t\t\tNormals .......... " + std::to_string(normals) + "\n\t\t\tVertex Colors .... " +
           std::to_string(colours) + "\n";
}

std::string NodeLog(const std::string& dir) {
    const std::string none = "\t\tOptimization: 0 indices eq'd, 0 vertices and 0 bursts removed.\n";
    return "Exporting object 'Box01'...\n\tNumber of geobs: 1\n" + GeobLines(0, 0, 2, 4, 4, 0) +
           none + "\tNumber of materials: 1\n\t\tMaterial0: Car_Body01\n\t\t\tFile0: body.bmp\n" +
           "\tSuccessfully created KVO '" + Join(dir, "Box01.kvo") + "'.\n\n" +
           "Exporting object 'Plane 02'...\n\tNumber of geobs: 2\n" + GeobLines(0, 0, 2, 4, 4, 4) +
           GeobLines(1, 1, 2, 4, 4, 4) + none +
           "\tNumber of materials: 2\n\t\tMaterial0: Red\n\t\t\tFile0: red.tga\n"
           "\t\tMaterial1: MultiMat\n\t\t\tFile0: \n" +
           "\tSuccessfully created KVO '" + Join(dir, "Plane 02.kvo") + "'.\n\n";
}

std::string Entry(const std::string& name) {
    return "\t" + name + "\n\t{\n\t\tfile=" + name + ".kvo\n\t\tflags=6\n\t}\n";
}

TEST(ExportRun, WritesEveryFileOfASmallSceneWithEveryOptionOn) {
    Scene s;
    BuildSmallScene(s);
    s.context.options = ExportOptions{true, true, true, true, true, true, true, true};
    s.Export();

    EXPECT_TRUE(s.context.errors.empty());
    EXPECT_EQ(s.context.finishMessages, std::vector<std::string>{"Done!"});
    EXPECT_EQ(s.context.settingsSaved, 1);
    EXPECT_EQ(s.context.progressShown, 1);
    EXPECT_EQ(s.context.nextObjects, 2);
    EXPECT_FALSE(s.context.running);
    EXPECT_TRUE(s.context.nodes.empty());
    EXPECT_EQ(s.context.statusTexts,
              (std::vector<std::string>{"File: " + s.Out("Box01.kvo"),
                                        "File: " + s.Out("Plane 02.kvo"), ""}));
    EXPECT_EQ(s.context.beginObjects, (std::vector<uint32_t>{2, 4}));

    // The saved geometry is the literal builder's (the optimiser finds nothing to do here).
    auto plane = LoadKvo(s.Out("Plane 02.kvo"));
    ASSERT_TRUE(plane);
    ASSERT_EQ(plane->geobCount, 2);
    Mesh mesh =
        WithIds(MakeGrid(2, 1), [](int f) -> uint16_t { return static_cast<uint16_t>(f / 2); });
    ColourByVertex(mesh);
    mesh.buildNormals();
    for (int g = 0; g < 2; ++g) {
        const auto expected = ReferenceGroupGeobs(mesh, TransMatrix(Point3(5, 6, 7)),
                                                  s.context.options, g, {2 * g, 2 * g + 1});
        EXPECT_TRUE(GeobMatches(*plane->geobs[g], expected.at(0)));
    }
    EXPECT_EQ(plane->materials[1]->name, "MultiMat");
    ASSERT_EQ(plane->materials[0]->textureCount, 1);
    EXPECT_EQ(*plane->materials[0]->textures[0], "red.tga");

    // A second run into another directory: new .kvo files there, side files grow where they are.
    const std::string first = s.context.outputDir;
    s.context.outputDir = s.dir.Sub("second");
    s.Export();
    EXPECT_TRUE(Exists(s.Out("Box01.kvo")));
    EXPECT_FALSE(Exists(Join(s.context.outputDir, "kvoexp_log.txt")));
    s.context.CloseSideFiles();

    EXPECT_EQ(
        ReadFile(Join(first, "kvoexp_log.txt")),
        CrLf("Valdrin KVO Exporter Log\n======================\n"
             "Output directory:  " +
             first + "\nNumber of objects: 2\n\n" + NodeLog(first) +
             "\tERROR: Cannot export node 'Camera01': not a geometry object\n\n"
             "Output directory:  " +
             s.context.outputDir + "\nNumber of objects: 2\n\n" + NodeLog(s.context.outputDir)));
    EXPECT_EQ(
        ReadFile(Join(first, "geometry.ini")),
        CrLf("; Geometry file automatically generated by Valdrin KVO Exporter Plugin\n\n"
             "objects\n{\n" +
             Entry("Box01") + Entry("Plane 02") + Entry("Box01") + Entry("Plane 02") + "}\n"));
    EXPECT_EQ(ReadFile(Join(first, "kvoexp.shd")),
              CrLf("; Shader automatically generated by Valdrin KVO Exporter Plugin\n\n"
                   "shader_Car_Body01\n{\n\tlayer0\n\t{\n\t\tmap=body.bmp\n\t}\n}\n\n"
                   "shader_Red\n{\n\tlayer0\n\t{\n\t\tmap=red.tga\n\t}\n}\n\n"
                   "shader_MultiMat\n{\n\tlayer0\n\t{\n\t\tmap=\n\t}\n}\n\n"));
}

TEST(ExportRun, ChecksThePathFirstThenTheSelection) {
    struct Case {
        bool validDir;
        bool selected;
        const char* message;
    };
    for (const Case& c : {Case{false, false, "Please specify valid output path!"},
                          Case{false, true, "Please specify valid output path!"},
                          Case{true, false, "Please select objects to export!"}}) {
        Scene s;
        s.context.options.generateLog = true;
        AddMeshNode(s.scene, "Box01", MakeGrid(1, 1), c.selected);
        INode* light = s.scene.GetRootNode()->CreateChild("Omni01");
        light->SetObject(new NonGeomObject(LIGHT_CLASS_ID));
        light->SetSelected(true);
        INode* parent = AddMeshNode(s.scene, "Parent", MakeGrid(1, 1), false);
        parent->CreateChild("Linked")->SetSelected(true);
        if (!c.validDir) s.context.outputDir = s.dir.File("nowhere");
        s.Export();
        EXPECT_EQ(s.context.errors, std::vector<std::string>{c.message});
        EXPECT_FALSE(s.context.running);
        EXPECT_EQ(s.context.progressShown, 0);
        EXPECT_FALSE(Exists(s.Out("kvoexp_log.txt")));
    }
}

TEST(ExportRun, APanelGoneAfterPreprocessingEndsTheRunWithoutAMessage) {
    Scene s;
    AddMeshNode(s.scene, "Box01", MakeGrid(1, 1));
    HWND page =
        CreateWindowExA(0, "Static", "page", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(page, nullptr);
    DestroyWindow(page);
    exporter::DoExport(s.context, page);
    EXPECT_TRUE(s.context.errors.empty());
    EXPECT_FALSE(s.context.running);  // Export works again afterwards
    EXPECT_TRUE(s.context.nodes.empty());
    EXPECT_EQ(s.context.progressShown, 0);
}

TEST(ExportRun, TwoNodesOfOneNameShareAFileAndGetTwoEntries) {
    Scene s;
    s.context.options.generateGeometry = true;
    AddMeshNode(s.scene, "Twin", MakeGrid(1, 1));
    AddMeshNode(s.scene, "Twin", MakeGrid(3, 1));
    s.Export();
    auto loaded = LoadKvo(s.Out("Twin.kvo"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->geobs[0]->indexCount, 18);  // the second node's six faces
    s.context.CloseSideFiles();
    EXPECT_EQ(ReadFile(s.Out("geometry.ini")),
              CrLf("; Geometry file automatically generated by Valdrin KVO Exporter Plugin\n\n"
                   "objects\n{\n" +
                   Entry("Twin") + Entry("Twin") + "}\n"));
}

TEST(ExportRun, ANodeNameIsNeverAPath) {
    Scene s;
    s.context.options.generateLog = true;
    s.context.options.generateGeometry = true;
    const std::vector<std::string> names{"../escape", "sub/file", "back\\slash", "..", "."};
    std::filesystem::create_directories(s.Out("sub"));
    for (const std::string& name : names) AddMeshNode(s.scene, name, MakeGrid(1, 1));
    AddMeshNode(s.scene, "Fine-Name 1", MakeGrid(1, 1));
    s.Export();
    EXPECT_EQ(s.context.nextObjects, 1);
    EXPECT_EQ(s.context.finishMessages, std::vector<std::string>{"Done!"});
    EXPECT_TRUE(Exists(s.Out("Fine-Name 1.kvo")));
    // Nothing but the output directory itself beside it, nothing in the sub-directory.
    size_t beside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(s.dir.Path())) {
        (void)entry;
        ++beside;
    }
    EXPECT_EQ(beside, 1u);
    EXPECT_TRUE(std::filesystem::is_empty(s.Out("sub")));
    s.context.CloseSideFiles();
    const std::string log = ReadFile(s.Out("kvoexp_log.txt"));
    for (const std::string& name : names) {
        const std::string path = Join(s.context.outputDir, name + ".kvo");
        EXPECT_NE(log.find(CrLf("\tERROR: Failed to save KVO '" + path + "'.\n\nNode '" + name +
                                "' export canceled\n")),
                  std::string::npos)
            << name;
    }
    EXPECT_EQ(ReadFile(s.Out("geometry.ini")),
              CrLf("; Geometry file automatically generated by Valdrin KVO Exporter Plugin\n\n"
                   "objects\n{\n" +
                   Entry("Fine-Name 1") + "}\n"));
}

// Three one-face nodes A, B, C. Polls: pre-processing 3, then per node the loop's
// poll, the group's poll and the builder's 1 + 7.
struct CancelScene : Scene {
    CancelScene() {
        context.options.generateLog = true;
        context.options.generateGeometry = true;
        for (const char* name : {"A", "B", "C"}) {
            AddMeshNode(scene, name, MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 2}}}));
        }
    }
    static uint64_t LoopPoll(int node) { return 3 + 1 + 10 * static_cast<uint64_t>(node); }
    std::string LogBody() {
        context.CloseSideFiles();
        const std::string text = ReadFile(Out("kvoexp_log.txt"));
        const std::string marker = CrLf("Number of objects: 3\n\n");
        return text.substr(text.find(marker) + marker.size());
    }
    // The lines of a node exported; the "Generate Log" lines only while that option is on.
    std::string Exported(const char* name) {
        std::string lines =
            std::string("Exporting object '") + name + "'...\n\tNumber of geobs: 1\n";
        if (context.options.generateLog) {
            lines +=
                "\t\tGeob0\n\t\t\tMaterial Index ... 0\n\t\t\tFaces ............ 1\n"
                "\t\t\tVertices ......... 3\n\t\t\tTexCoords ........ 3\n"
                "\t\t\tNormals .......... 3\n\t\t\tVertex Colors .... 0\n";
        }
        lines += "\t\tOptimization: 0 indices eq'd, 0 vertices and 0 bursts removed.\n";
        if (context.options.generateLog) {
            lines += "\tNumber of materials: 1\n\t\tMaterial0: \n\t\t\tFile0: \n";
        }
        return CrLf(lines + "\tSuccessfully created KVO '" + Out(std::string(name) + ".kvo") +
                    "'.\n\n");
    }
};

TEST(ExportRun, ACancelBetweenNodesStopsBeforeTheNextOne) {
    CancelScene s;
    s.context.options.generateLog = false;  // the log stays open from the run below
    s.context.log->Open(s.Out("kvoexp_log.txt"));
    s.context.log->Print("Number of objects: 3\n\n");
    s.context.cancelAtPoll = CancelScene::LoopPoll(1);
    s.Export();
    EXPECT_EQ(s.LogBody(), s.Exported("A") + CrLf("Node 'B' export canceled\n"));
    EXPECT_TRUE(Exists(s.Out("A.kvo")));
    EXPECT_FALSE(Exists(s.Out("B.kvo")));
    EXPECT_EQ(s.context.settingsSaved, 0);
    EXPECT_EQ(s.context.detailTexts.back(), "Status: Canceled.");
    EXPECT_EQ(s.context.objectsDone, 3u);
    EXPECT_TRUE(s.context.nodes.empty());
}

TEST(ExportRun, ACancelInsideAnAssemblyAbandonsThatNodeAndStopsBeforeTheNext) {
    for (uint64_t offset = 1; offset <= 9; ++offset) {  // the group's poll and every builder poll
        CancelScene s;
        s.context.cancelAtPoll = CancelScene::LoopPoll(1) + offset;
        s.Export();
        EXPECT_EQ(s.LogBody(),
                  s.Exported("A") + CrLf("Exporting object 'B'...\n\tNumber of geobs: 1\n"
                                         "Node 'B' export canceled\n"
                                         "Node 'C' export canceled\n"))
            << "offset " << offset;
        EXPECT_FALSE(Exists(s.Out("B.kvo")));
        EXPECT_EQ(s.context.nextObjects, 1);
        EXPECT_EQ(s.context.settingsSaved, 0);
        EXPECT_EQ(s.context.detailTexts.back(), "Status: Canceled.");
        s.context.CloseSideFiles();
        EXPECT_EQ(ReadFile(s.Out("geometry.ini")),
                  CrLf("; Geometry file automatically generated by Valdrin KVO Exporter Plugin\n\n"
                       "objects\n{\n" +
                       Entry("A") + "}\n"));
    }
}

TEST(ExportRun, ACancelDuringPreprocessingStopsAtTheFirstNode) {
    CancelScene s;
    s.context.cancelAtPoll = 2;
    s.Export();
    EXPECT_TRUE(s.context.errors.empty());
    EXPECT_EQ(s.context.progressShown, 1);
    s.context.CloseSideFiles();
    EXPECT_EQ(ReadFile(s.Out("kvoexp_log.txt")),
              CrLf("Valdrin KVO Exporter Log\n======================\nOutput directory:  " +
                   s.context.outputDir + "\nNumber of objects: 2\n\nNode 'A' export canceled\n"));
    EXPECT_EQ(s.context.detailTexts.back(), "Status: Canceled.");
    EXPECT_EQ(s.context.settingsSaved, 0);
    EXPECT_FALSE(Exists(s.Out("A.kvo")));
}

TEST(ExportRun, TheHostsCancelFlagEndsTheRunLikeACompletedOne) {
    CancelScene s;
    s.context.hostCancelAtPoll = CancelScene::LoopPoll(1) + 3;  // raised inside B's assembly
    s.Export();
    EXPECT_EQ(s.LogBody(), s.Exported("A") + s.Exported("B") + CrLf("Node 'C' export canceled\n"));
    EXPECT_EQ(s.context.settingsSaved, 1);
    EXPECT_EQ(s.context.finishMessages, std::vector<std::string>{"Done!"});
}

TEST(ExportRun, AnUnwritableOutputDirectoryFailsEveryFileQuietly) {
    Scene s;
    s.context.options = ExportOptions{false, true, true, false, false, true, true, true};
    AddMeshNode(s.scene, "Box01", MakeGrid(1, 1));
    // Directories in the way of every file: no file can be created, also for root.
    for (const char* name : {"kvoexp_log.txt", "geometry.ini", "kvoexp.shd", "Box01.kvo"}) {
        std::filesystem::create_directories(s.Out(name));
    }
    s.Export();
    EXPECT_TRUE(s.context.errors.empty());
    EXPECT_EQ(s.context.nextObjects, 0);
    EXPECT_EQ(s.context.finishMessages, std::vector<std::string>{"Done!"});
    EXPECT_TRUE(std::filesystem::is_directory(s.Out("Box01.kvo")));
}

// The output folder renamed, or renamed and replaced by a link into another
// tree, while the run is on its second node: every file still goes into the
// folder the run opened, none through the link, no temporary file is left,
// and the log shows the user's paths as ever.
TEST(ExportRun, FilesFollowTheOutputFolderWhenItsPathIsSwappedMidRun) {
    for (const bool link : {false, true}) {
        SCOPED_TRACE(link ? "replaced by a link" : "renamed");
        Scene s;
        s.context.options = ExportOptions{false, true, true, false, false, true, true, true};
        for (const char* name : {"Box01", "Box02", "Box03"}) {
            AddMeshNode(s.scene, name, MakeGrid(2, 2));
        }
        const std::string moved = s.dir.File("moved"), elsewhere = s.dir.Sub("elsewhere");
        bool swapped = false;
        s.context.onPoll = [&](uint64_t) {
            if (swapped || s.context.beginObjects.size() != 2) return;
            std::filesystem::rename(s.context.outputDir, moved);
            if (link) std::filesystem::create_directory_symlink(elsewhere, s.context.outputDir);
            swapped = true;
        };
        s.Export();
        s.context.CloseSideFiles();
        ASSERT_TRUE(swapped);
        EXPECT_EQ(s.context.nextObjects, 3);
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(moved)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names,
                  (std::vector<std::string>{"Box01.kvo", "Box02.kvo", "Box03.kvo", "geometry.ini",
                                            "kvoexp.shd", "kvoexp_log.txt"}));
        EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
        const std::string log = ReadFile(Join(moved, "kvoexp_log.txt"));
        EXPECT_NE(log.find("Output directory:  " + s.context.outputDir + "\r\n"),
                  std::string::npos);
        for (const char* name : {"Box01", "Box02", "Box03"}) {
            EXPECT_NE(
                log.find("Successfully created KVO '" + s.Out(std::string(name) + ".kvo") + "'."),
                std::string::npos)
                << name << "\n"
                << log;
        }
    }
}

TEST(ExportRun, TheStatusLineIsCutAt512Bytes) {
    Scene s;
    const std::string part(200, 'd');
    s.context.outputDir = s.dir.Sub(part + "/" + part + "/" + part);
    AddMeshNode(s.scene, "Box01", MakeGrid(1, 1));
    s.Export();
    ASSERT_FALSE(s.context.statusTexts.empty());
    const std::string& status = s.context.statusTexts[0];
    EXPECT_EQ(status.size(), 511u);
    EXPECT_EQ(status, ("File: " + s.Out("Box01.kvo")).substr(0, 511));
    EXPECT_TRUE(Exists(s.Out("Box01.kvo")));
}

TEST(ExportRun, DeletesACreatedTriObjectOnceItsNodeIsExported) {
    Scene s;
    int deletions = 0;
    INode* converted = s.scene.GetRootNode()->CreateChild("Converted");
    converted->SetObject(new ConvertingObject(MakeGrid(1, 1), &deletions));
    converted->SetSelected(true);
    AddMeshNode(s.scene, "Own", MakeGrid(1, 1));
    int deletionsDuringSecondNode = -1;
    s.context.onPoll = [&](uint64_t) {
        if (s.context.beginObjects.size() == 2) deletionsDuringSecondNode = deletions;
    };
    s.Export();
    EXPECT_EQ(deletionsDuringSecondNode, 1);
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(s.context.nextObjects, 2);
}

}  // namespace
}  // namespace exporttest
