// Shared pieces of the export pipeline's tests: a recording context with real
// generators, scratch directories, scene and mesh builders, file readers.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/export_context.h"
#include "export/record_tables.h"
#include "generators/generate_geometry.h"
#include "generators/generate_log.h"
#include "generators/generate_shader.h"
#include "kvo/kvo_geode.h"
#include "platform/max/host_scene.h"

namespace exporttest {

// A fresh directory per test, removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return path_; }
    // A sub-directory, created.
    std::string Sub(const std::string& name) const;
    std::string File(const std::string& name) const;

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// Text with every "\n" written as CR LF, as the generators write it.
std::string CrLf(const std::string& text);

// What the progress dialog and the panel would show, recorded; cancellation scripted.
class FakeContext : public ExportContext {
public:
    FakeContext();
    ~FakeContext() override;

    // Destroys the generators as the exporter does at unload (log, geometry.ini, shader).
    void CloseSideFiles();

    const ExportOptions& Options() const override { return options; }
    const char* OutputDir() const override { return outputDir.c_str(); }
    ILogger& ExportLog() override { return *log; }
    GenerateShader& ShaderFile() override { return *shader; }
    GenerateGeometry& GeometryFile() override { return *geometry; }
    INode* SceneRoot() override { return scene ? scene->GetRootNode() : nullptr; }
    bool HostCancelFlag() override { return hostCancel; }
    bool IsRunning() const override { return running; }
    void SetRunning(bool value) override { running = value; }
    PreparedNodeList& PreparedNodes() override { return nodes; }
    uint32_t& ObjectCount() override { return objectCount; }
    uint32_t& ObjectsDone() override { return objectsDone; }
    exporter::RecordTables* KeptTables() override { return keptTables.get(); }
    const OutputFolder* RunFolder() const override { return runFolder; }
    void SetRunFolder(const OutputFolder* folder) override { runFolder = folder; }
    bool CheckOutputDir(HWND panel) override;
    void ShowError(HWND owner, const char* text) override;
    void SaveSettings() override { ++settingsSaved; }
    bool IsCancelled() override;
    void SetDetailText(const char* text) override { detailTexts.push_back(text); }
    void SetStatusText(const char* text) override { statusTexts.push_back(text); }
    void ShowProgress() override { ++progressShown; }
    void BeginObject(uint32_t faceCount) override;
    void StepProgress(uint32_t steps) override;
    uint32_t ObjectExtraSteps() const override { return objectExtraSteps; }
    void NextObject() override;
    void FinishProgress(const char* message) override;

    // Presses Cancel: what the progress dialog's button does during a run.
    void PressCancel();

    ExportOptions options;
    std::string outputDir;
    HostScene* scene = nullptr;
    bool hostCancel = false;
    bool running = false;
    PreparedNodeList nodes;
    uint32_t objectCount = 0;
    uint32_t objectsDone = 0;
    const OutputFolder* runFolder = nullptr;
    std::unique_ptr<exporter::RecordTables> keptTables;  // null: each run makes its own
    uint32_t objectSteps = 0;
    uint32_t objectExtraSteps = 0;
    uint32_t objectStepsDone = 0;

    // Scripted events: on the polls with these numbers (1-based) Cancel is pressed or
    // the host's cancel flag is raised; `onPoll` runs on every poll.
    uint64_t cancelAtPoll = 0;
    uint64_t hostCancelAtPoll = 0;
    std::function<void(uint64_t)> onPoll;

    // Records.
    uint64_t polls = 0;
    uint64_t totalSteps = 0;
    std::vector<uint32_t> stepCalls;  // only while recordSteps is set
    bool recordSteps = false;
    std::vector<std::string> detailTexts;
    std::vector<std::string> statusTexts;
    std::vector<std::string> errors;
    std::vector<uint32_t> beginObjects;
    int settingsSaved = 0;
    int progressShown = 0;
    int nextObjects = 0;
    std::vector<std::string> finishMessages;

    std::unique_ptr<GenerateShader> shader;
    std::unique_ptr<GenerateGeometry> geometry;
    std::unique_ptr<GenerateLog> log;

private:
    bool cancelling_ = false;
};

// A TriObject that counts its deletions, and an object that converts into one.
class CountingTriObject : public TriObject {
public:
    explicit CountingTriObject(int* deletions) : deletions_(deletions) {}
    ~CountingTriObject() override { ++*deletions_; }

private:
    int* deletions_;
};

class ConvertingObject : public Object {
public:
    ConvertingObject(Mesh mesh, int* deletions) : mesh_(std::move(mesh)), deletions_(deletions) {}
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    int CanConvertToType(Class_ID type) override { return type == Class_ID(TRIOBJ_CLASS_ID, 0); }
    Object* ConvertToType(TimeValue t, Class_ID type) override;

private:
    Mesh mesh_;
    int* deletions_;
};

// Meshes. Faces are given as vertex triples; texture faces repeat them unless set.
struct FaceSpec {
    uint32_t v[3];
    uint32_t smGroup = 1;
    uint16_t matId = 0;
};
Mesh MakeMesh(const std::vector<Point3>& verts, const std::vector<FaceSpec>& faces);
// Gives every face's corners the texture vertices tv and the mesh tVerts.
void SetTexture(Mesh& mesh, const std::vector<Point3>& tVerts,
                const std::vector<std::array<uint32_t, 3>>& tvFaces);
// A grid of quads (two faces each) over (cols+1) x (rows+1) vertices, one texture
// vertex per mesh vertex, all in smoothing group 1 and material ID 0.
Mesh MakeGrid(int cols, int rows);
// A mesh of `faces` faces with random vertices, texture and colour vertices,
// smoothing bits and material IDs, drawn from small pools so keys repeat.
Mesh MakeRandomMesh(uint32_t seed, int faces, bool textured, bool coloured, int materialIds);

// Adds a selected child of the root holding a TriObject with the mesh.
INode* AddMeshNode(HostScene& scene, const std::string& name, Mesh mesh, bool selected = true);

// Loads a saved file with the format library's reader.
std::unique_ptr<KvoGeode> LoadKvo(const std::string& path);

// Float arrays compared bit for bit.
::testing::AssertionResult SameFloats(const float* a, const float* b, size_t count);

}  // namespace exporttest
