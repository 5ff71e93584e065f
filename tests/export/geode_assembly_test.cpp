// Geode assembly: groups in ID order within the geob table, the optimiser, the
// material list, the save and its failure, the progress it reports.
#include "export/geode_assembly.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>

#include "export/export_run.h"
#include "export/node_file.h"
#include "export/preprocess.h"
#include "export/record_tables.h"
#include "export_test_support.h"
#include "reference_builder.h"

namespace exporttest {
namespace {

// A scene of one node, prepared, with the log open in a scratch directory.
struct Assembly {
    explicit Assembly(Mesh mesh, const std::string& name = "Node") {
        node = AddMeshNode(scene, name, std::move(mesh));
        context.scene = &scene;
        context.running = true;
        context.options.optimize = false;
        context.options.generateLog = true;
        context.log->Open(dir.File("log.txt"));
    }
    // Prepares the node and builds its geode into `file`.
    bool Build(const std::string& file = "node.kvo") {
        exporter::Preprocess(context);
        PreparedNode& prepared = *context.nodes.at(0);
        context.BeginObject(prepared.faceCount);
        context.detailTexts.clear();
        KvoGeode geode(dir.File(file));
        return exporter::BuildGeode(context, geode, prepared);
    }
    std::string Log() {
        context.CloseSideFiles();
        const std::string header = CrLf("Valdrin KVO Exporter Log\n======================\n");
        const std::string text = ReadFile(dir.File("log.txt"));
        return text.compare(0, header.size(), header) == 0 ? text.substr(header.size()) : text;
    }

    ScratchDir dir;
    HostScene scene;
    INode* node;
    FakeContext context;
};

Mesh GridWithIds(int cols, int rows, const std::function<uint16_t(int)>& idOfFace) {
    Mesh mesh = MakeGrid(cols, rows);
    for (size_t f = 0; f < mesh.faces.size(); ++f)
        mesh.faces[f].setMatID(idOfFace(static_cast<int>(f)));
    return mesh;
}

// The file the assembly should have written: the literal builder's geobs with the
// given materials, optimised when asked, saved by the format library.
std::string ReferenceFile(Assembly& assembly, const std::vector<std::string>& materialNames,
                          bool optimize) {
    PreparedNode& prepared = *assembly.context.nodes.at(0);
    std::vector<ExpectedGeob> expected;
    int materialIndex = 0;
    for (const auto& group : prepared.facesByMaterial) {
        for (auto& geob :
             ReferenceGroupGeobs(*prepared.mesh, prepared.objectTM, assembly.context.options,
                                 materialIndex, group.second)) {
            expected.push_back(std::move(geob));
        }
        ++materialIndex;
    }
    std::unique_ptr<KvoGeob[]> geobs(new KvoGeob[expected.size()]);
    std::unique_ptr<KvoMaterial[]> materials(new KvoMaterial[materialNames.size()]);
    for (size_t g = 0; g < expected.size(); ++g) FillGeob(expected[g], geobs[g]);
    for (size_t m = 0; m < materialNames.size(); ++m) {
        materials[m].name = materialNames[m];
        materials[m].textures[0] = new std::string();
        materials[m].textureCount = 1;
    }
    const std::string path = assembly.dir.File("reference.kvo");
    {
        KvoGeode geode(path);
        geode.SetMaterials(static_cast<int32_t>(materialNames.size()), materials.get());
        geode.SetGeobs(static_cast<int32_t>(expected.size()), geobs.get());
        int32_t a = 0, b = 0, c = 0;
        if (optimize) geode.Optimize(&a, &b, &c);
        EXPECT_TRUE(geode.Save(path));
        geode.ClearTables();
    }
    for (size_t g = 0; g < expected.size(); ++g) geobs[g].FreeArrays();
    return ReadFile(path);
}

TEST(GeodeAssembly, BuildsGroupsInAscendingIdOrderOneMaterialEach) {
    for (bool optimize : {false, true}) {
        Assembly assembly(GridWithIds(3, 2, [](int f) -> uint16_t {
            return f % 3 == 0 ? 5 : f % 3 == 1 ? 0 : 2;
        }));
        MultiMtl* multi = assembly.scene.Make<MultiMtl>();
        multi->SetName("Multi");
        for (int id : {0, 2, 5}) {
            StdMtl* sub = assembly.scene.Make<StdMtl>();
            sub->SetName(("Sub " + std::to_string(id)).c_str());
            multi->SetSubMtl(id, sub);
        }
        assembly.node->SetMtl(multi);
        assembly.context.options.optimize = optimize;
        ASSERT_TRUE(assembly.Build());

        std::vector<std::string> details{"Status: Geob 1 of 3", "Status: Geob 2 of 3",
                                         "Status: Geob 3 of 3"};
        if (optimize) details.push_back("Status: Optimizing...");
        EXPECT_EQ(assembly.context.detailTexts, details);
        EXPECT_EQ(ReadFile(assembly.dir.File("node.kvo")),
                  ReferenceFile(assembly, {"Sub_0", "Sub_2", "Sub_5"}, optimize));

        auto loaded = LoadKvo(assembly.dir.File("node.kvo"));
        ASSERT_TRUE(loaded);
        ASSERT_EQ(loaded->geobCount, 3);
        ASSERT_EQ(loaded->materialCount, 3);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(loaded->geobs[k]->materialIndex, k);
        EXPECT_EQ(loaded->materials[2]->name, "Sub_5");
    }
}

TEST(GeodeAssembly, LogsNodeLinesInOrderAndTheOptimisationCounts) {
    // Vertices 4 and 5 repeat vertex 1 (position, texture vertex, normal): welding finds
    // three equal pairs, and compaction then removes one unused vertex below the highest
    // used one, so the two counts differ and their order in the line shows.
    Mesh mesh = MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {1, 0, 0}},
                         {{{0, 1, 2}}, {{2, 4, 3}}, {{5, 3, 2}}});
    SetTexture(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}},
               {{0, 1, 2}, {2, 1, 3}, {1, 3, 2}});
    Assembly assembly(std::move(mesh));
    StdMtl* mtl = assembly.scene.Make<StdMtl>();
    mtl->SetName("Car Body-01");
    BitmapTex* bitmap = assembly.scene.Make<BitmapTex>();
    bitmap->SetMapName("D:\\maps\\body.bmp");
    mtl->SetSubTexmap(1, bitmap);
    assembly.node->SetMtl(mtl);
    assembly.context.options.optimize = true;
    ASSERT_TRUE(assembly.Build());
    EXPECT_EQ(assembly.Log(),
              CrLf("\tNumber of geobs: 1\n"
                   "\t\tGeob0\n\t\t\tMaterial Index ... 0\n\t\t\tFaces ............ 3\n"
                   "\t\t\tVertices ......... 6\n\t\t\tTexCoords ........ 6\n"
                   "\t\t\tNormals .......... 6\n\t\t\tVertex Colors .... 0\n"
                   "\t\tOptimization: 3 indices eq'd, 1 vertices and 0 bursts removed.\n"
                   "\tNumber of materials: 1\n\t\tMaterial0: Car_Body01\n\t\t\tFile0: body.bmp\n"));
    auto loaded = LoadKvo(assembly.dir.File("node.kvo"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->geobs[0]->vertexCount, 4);
    EXPECT_EQ(loaded->geobs[0]->burstLength[0], 18);  // the builder's value survives
}

TEST(GeodeAssembly, AGroupOfMoreThan21845FacesGivesSeveralGeobsOfOneMaterial) {
    Assembly assembly(GridWithIds(10924, 1, [](int f) -> uint16_t { return f < 21846 ? 0 : 1; }));
    assembly.context.options.generateLog = false;
    ASSERT_TRUE(assembly.Build());
    EXPECT_EQ(assembly.context.detailTexts,
              (std::vector<std::string>{"Status: Geob 1 of 2", "Status: Geob 3 of 2"}));
    auto loaded = LoadKvo(assembly.dir.File("node.kvo"));
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->geobCount, 3);
    EXPECT_EQ(loaded->materialCount, 2);
    EXPECT_EQ(loaded->geobs[0]->materialIndex, 0);
    EXPECT_EQ(loaded->geobs[1]->materialIndex, 0);
    EXPECT_EQ(loaded->geobs[1]->indexCount, 3);
    EXPECT_EQ(loaded->geobs[2]->materialIndex, 1);
    EXPECT_EQ(assembly.Log().rfind(CrLf("\tNumber of geobs: 2\n"), 0), 0u);
}

const char kWarningLine[] =
    "\tWARNING: Geob index 200 exceeded maximum number of allowed geobs 200\n";

std::string Warning() {
    return CrLf(kWarningLine);
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST(GeodeAssembly, StopsAtTheTableOf200GeobsWithOneWarning) {
    // 201 groups of two faces; then 199 small groups and one that needs two geobs.
    const std::vector<std::pair<int, std::function<uint16_t(int)>>> cases{
        {201, [](int f) -> uint16_t { return static_cast<uint16_t>(f / 2); }},
        {10923 + 199,
         [](int f) -> uint16_t { return static_cast<uint16_t>(f < 398 ? f / 2 : 199); }},
    };
    for (const auto& [cols, idOf] : cases) {
        Assembly assembly(GridWithIds(cols, 1, idOf));
        assembly.context.options.optimize = true;
        ASSERT_TRUE(assembly.Build());
        const std::string log = assembly.Log();
        EXPECT_EQ(Count(log, Warning()), 1u);
        // The warning follows the last geob's lines; the optimisation line and the list
        // of the 200 materials follow it.
        std::string tail = std::string("\t\t\tVertex Colors .... 0\n") + kWarningLine +
                           "\t\tOptimization: 0 indices eq'd, 0 vertices and 0 bursts removed.\n"
                           "\tNumber of materials: 200\n";
        for (int j = 0; j < 200; ++j) {
            tail += "\t\tMaterial" + std::to_string(j) + ": \n\t\t\tFile0: \n";
        }
        tail = CrLf(tail);
        ASSERT_GT(log.size(), tail.size());
        EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
        EXPECT_LT(log.find("\t\tGeob199\r\n"), log.find(Warning()));
        EXPECT_EQ(log.find("\t\tGeob200"), std::string::npos);
        auto loaded = LoadKvo(assembly.dir.File("node.kvo"));
        ASSERT_TRUE(loaded);
        EXPECT_EQ(loaded->geobCount, 200);
        EXPECT_EQ(loaded->materialCount, 200);
    }
}

TEST(GeodeAssembly, SavedFileKeepsAColourSeamOnSharedTextureVerticesAndHardEdges) {
    // A folded strip of two faces sharing the edge 1-2 with its texture vertices; the
    // faces differ in smoothing group and in the colour of their corners.
    Mesh mesh =
        MakeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}}, {{{0, 1, 2}, 1}, {{2, 1, 3}, 2}});
    SetTexture(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {2, 1, 3}});
    mesh.setNumVertCol(2);
    mesh.vertCol = {{1, 0, 0}, {0, 0, 1}};
    mesh.vcFace[0].setTVerts(0, 0, 0);
    mesh.vcFace[1].setTVerts(1, 1, 1);
    Assembly assembly(std::move(mesh));
    assembly.context.options.exportNormals = true;
    assembly.context.options.exportVertexColors = true;
    ASSERT_TRUE(assembly.Build());
    auto geode = LoadKvo(assembly.dir.File("node.kvo"));
    ASSERT_TRUE(geode);
    ASSERT_EQ(geode->geobCount, 1);
    const KvoGeob& geob = *geode->geobs[0];
    ASSERT_EQ(geob.vertexCount, 6);
    ASSERT_EQ(geob.colorCount, 6);
    // Every corner of face 0 is red with the flat normal, every corner of face 1 blue
    // with the tilted one, the shared edge included.
    const Point3 flat = assembly.context.nodes.at(0)->mesh->getFaceNormal(0);
    const Point3 tilted = assembly.context.nodes.at(0)->mesh->getFaceNormal(1);
    for (int k = 0; k < 6; ++k) {
        const int v = geob.indices[k];
        const float red[3] = {1, 0, 0}, blue[3] = {0, 0, 1};
        EXPECT_TRUE(SameFloats(geob.colors + 3 * v, k < 3 ? red : blue, 3)) << k;
        const Point3 n = k < 3 ? flat : tilted;
        const float yUp[3] = {n.x, n.z, -n.y};
        EXPECT_TRUE(SameFloats(geob.normals + 3 * v, yUp, 3)) << k;
    }
    EXPECT_NE(assembly.Log().find("\t\t\tVertices ......... 6\r\n"), std::string::npos);
}

TEST(GeodeAssembly, AMeshWithoutFacesGivesAnEmptyFile) {
    Assembly assembly{Mesh()};
    assembly.context.options.optimize = true;
    ASSERT_TRUE(assembly.Build());
    EXPECT_TRUE(assembly.context.detailTexts.empty());
    EXPECT_EQ(assembly.context.totalSteps, 0u);
    EXPECT_EQ(assembly.Log(), CrLf("\tNumber of geobs: 0\n"));
    auto loaded = LoadKvo(assembly.dir.File("node.kvo"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->geobCount, 0);
    EXPECT_EQ(loaded->materialCount, 0);
}

TEST(GeodeAssembly, ReportsAFailedSave) {
    Assembly assembly(MakeGrid(1, 1));
    const std::string path = assembly.dir.File("missing/node.kvo");
    ASSERT_FALSE(assembly.Build("missing/node.kvo"));
    // The save error follows the material list and ends the node's lines.
    EXPECT_EQ(assembly.Log(),
              CrLf("\tNumber of geobs: 1\n"
                   "\t\tGeob0\n\t\t\tMaterial Index ... 0\n\t\t\tFaces ............ 2\n"
                   "\t\t\tVertices ......... 4\n\t\t\tTexCoords ........ 4\n"
                   "\t\t\tNormals .......... 4\n\t\t\tVertex Colors .... 0\n"
                   "\tNumber of materials: 1\n\t\tMaterial0: \n\t\t\tFile0: \n"
                   "\tERROR: Failed to save KVO '" +
                   path + "'.\n\n"));
}

TEST(GeodeAssembly, MeetsTheNodesProgressBudget) {
    // 1000 faces: a budget of 1100; one group takes 1000 + 50 + 50 steps, two take 50 more.
    for (int groups : {1, 2}) {
        Assembly assembly(GridWithIds(
            25, 20, [groups](int f) -> uint16_t { return static_cast<uint16_t>(f % groups); }));
        ASSERT_TRUE(assembly.Build());
        EXPECT_EQ(assembly.context.objectSteps, 1100u);
        EXPECT_EQ(assembly.context.totalSteps, groups == 1 ? 1100u : 1150u);
    }
}

TEST(GeodeAssembly, ACancelBetweenGroupsSavesNothing) {
    Assembly assembly(
        GridWithIds(2, 1, [](int f) -> uint16_t { return static_cast<uint16_t>(f / 2); }));
    // Pre-processing polls 4 times; the first group once, then its builder 1 + 7 * 2 times.
    assembly.context.cancelAtPoll = 4 + 1 + (1 + 7 * 2) + 1;
    ASSERT_FALSE(assembly.Build());
    EXPECT_EQ(assembly.context.polls, assembly.context.cancelAtPoll);
    EXPECT_FALSE(Exists(assembly.dir.File("node.kvo")));
    EXPECT_EQ(assembly.Log(), CrLf("\tNumber of geobs: 2\n\t\tGeob0\n\t\t\tMaterial Index ... 0\n"
                                   "\t\t\tFaces ............ 2\n\t\t\tVertices ......... 4\n"
                                   "\t\t\tTexCoords ........ 4\n\t\t\tNormals .......... 4\n"
                                   "\t\t\tVertex Colors .... 0\n"));
}

bool IsDefault(const KvoGeob& geob) {
    const KvoGeob fresh;
    return geob.indices == nullptr && geob.vertices == nullptr && geob.normals == nullptr &&
           geob.colors == nullptr && geob.texCoords == nullptr && geob.indexCount == 0 &&
           geob.vertexCount == 0 && geob.normalCount == 0 && geob.colorCount == 0 &&
           geob.texCoordCount == 0 && geob.materialIndex == 0 && geob.burstCount == 1 &&
           std::memcmp(geob.burstStart, fresh.burstStart, sizeof fresh.burstStart) == 0 &&
           std::memcmp(geob.burstLength, fresh.burstLength, sizeof fresh.burstLength) == 0 &&
           std::memcmp(geob.burstMaterial, fresh.burstMaterial, sizeof fresh.burstMaterial) == 0;
}

bool IsDefault(const KvoMaterial& material) {
    for (const std::string* texture : material.textures) {
        if (texture != nullptr) return false;
    }
    return material.name.empty() && material.textureCount == 0;
}

TEST(GeodeAssembly, TablesReusedAcrossNodesWriteWhatFreshTablesWriteAndAreLeftDefault) {
    ScratchDir dir;
    HostScene scene;
    FakeContext context;
    context.scene = &scene;
    context.running = true;
    context.options.optimize = true;
    context.options.exportVertexColors = true;
    MultiMtl* multi = scene.Make<MultiMtl>();
    for (int id = 0; id < 6; ++id) {
        StdMtl* sub = scene.Make<StdMtl>();
        sub->SetName(("Sub " + std::to_string(id)).c_str());
        BitmapTex* map = scene.Make<BitmapTex>();
        map->SetMapName(("maps\\sub" + std::to_string(id) + ".png").c_str());
        sub->SetSubTexmap(1, map);
        multi->SetSubMtl(id, sub);
    }
    struct NodeCase {
        int faces;
        int materialIds;
        uint64_t cancelAfter;  // polls into the build; 0: none
    };
    // Fewer groups after more, a node cancelled in its second group, one over two geobs.
    const NodeCase cases[] = {
        {300, 6, 0}, {400, 3, 1200}, {120, 2, 0}, {50000, 2, 0}, {200, 6, 0}, {90, 1, 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        INode* node = AddMeshNode(
            scene, "Node" + std::to_string(i),
            MakeRandomMesh(uint32_t(40 + i), cases[i].faces, true, true, cases[i].materialIds));
        node->SetMtl(multi);
    }
    exporter::Preprocess(context);
    ASSERT_EQ(context.nodes.size(), std::size(cases));

    exporter::RecordTables tables;
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("node " + std::to_string(i));
        PreparedNode& prepared = *context.nodes[i];
        std::string files[2];
        bool saved[2];
        for (int shared = 0; shared < 2; ++shared) {
            context.BeginObject(prepared.faceCount);
            if (cases[i].cancelAfter != 0)
                context.cancelAtPoll = context.polls + cases[i].cancelAfter;
            files[shared] = dir.File("node" + std::to_string(i) + (shared ? "s" : "f") + ".kvo");
            KvoGeode geode(files[shared]);
            saved[shared] =
                exporter::BuildGeode(context, geode, prepared, shared ? &tables : nullptr);
            context.running = true;
            context.cancelAtPoll = 0;
        }
        EXPECT_EQ(saved[0], cases[i].cancelAfter == 0);
        EXPECT_EQ(saved[1], saved[0]);
        if (saved[0]) {
            EXPECT_EQ(ReadFile(files[1]), ReadFile(files[0]));
        }
        for (int g = 0; g < KvoGeode::kMaxGeobs; ++g) {
            ASSERT_TRUE(IsDefault(tables.geobs()[g])) << "geob " << g;
        }
        for (int m = 0; m < KvoGeode::kMaxMaterials; ++m) {
            ASSERT_TRUE(IsDefault(tables.materials()[m])) << "material " << m;
        }
    }
}

// Tables the owner keeps outlive a run: every run works in them, leaves them
// on default records, and writes the bytes of a run with tables of its own.
TEST(GeodeAssembly, RunsWorkInTheTablesTheOwnerKeepsAndLeaveThemOnDefaults) {
    ScratchDir dir;
    HostScene scene;
    FakeContext context;
    context.scene = &scene;
    context.options.optimize = true;
    AddMeshNode(scene, "Grid", MakeRandomMesh(7, 30000, true, true, 3));
    AddMeshNode(scene, "Small", MakeRandomMesh(8, 40, true, true, 1));

    const auto run = [&](const std::string& folder) {
        context.outputDir = dir.Sub(folder);
        exporter::DoExport(context, nullptr);
        return ReadFile(exporter::OutputPath(context.outputDir, "Grid.kvo")) +
               ReadFile(exporter::OutputPath(context.outputDir, "Small.kvo"));
    };
    const std::string own = run("own");
    ASSERT_FALSE(own.empty());

    context.keptTables = std::make_unique<exporter::RecordTables>();
    exporter::RecordTables& kept = *context.keptTables;
    bool keptInUse = false;  // seen holding a built geob during a run
    context.onPoll = [&](uint64_t) { keptInUse = keptInUse || kept.geobs()[0].vertexCount > 0; };
    for (const char* folder : {"first", "second"}) {
        SCOPED_TRACE(folder);
        keptInUse = false;
        EXPECT_EQ(run(folder), own);
        EXPECT_TRUE(keptInUse);
        for (int g = 0; g < KvoGeode::kMaxGeobs; ++g) {
            ASSERT_TRUE(IsDefault(kept.geobs()[g])) << "geob " << g;
        }
        for (int m = 0; m < KvoGeode::kMaxMaterials; ++m) {
            ASSERT_TRUE(IsDefault(kept.materials()[m])) << "material " << m;
        }
    }
}

}  // namespace
}  // namespace exporttest
