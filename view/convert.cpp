// KVO mesh parts as an Assimp scene, written by Assimp's exporter.
#include "view/convert.h"

#include <assimp/material.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Exporter.hpp>
#include <cctype>
#include <filesystem>
#include <memory>

#include "kvo/kvo_geode.h"
#include "view/mesh_parts.h"
#include "view/output_io_system.h"

namespace kvoview {

namespace {

aiMaterial* MakeMaterial(const MaterialInfo& info) {
    auto* material = new aiMaterial;
    const aiString name(info.name);
    material->AddProperty(&name, AI_MATKEY_NAME);
    const aiColor4D colour(info.diffuse[0], info.diffuse[1], info.diffuse[2], info.diffuse[3]);
    material->AddProperty(&colour, 1, AI_MATKEY_COLOR_DIFFUSE);
    material->AddProperty(&colour, 1, AI_MATKEY_BASE_COLOR);
    if (!info.texture.empty()) {
        const aiString texture(info.texture);
        material->AddProperty(&texture, AI_MATKEY_TEXTURE(aiTextureType_DIFFUSE, 0));
        material->AddProperty(&texture, AI_MATKEY_TEXTURE(aiTextureType_BASE_COLOR, 0));
    }
    return material;
}

aiVector3D* Points(const std::vector<float>& values) {
    auto* points = new aiVector3D[values.size() / 3];
    for (size_t v = 0; v < values.size() / 3; ++v) {
        points[v] = aiVector3D(values[3 * v], values[3 * v + 1], values[3 * v + 2]);
    }
    return points;
}

aiMesh* MakeMesh(const MeshPart& part, unsigned material) {
    auto* mesh = new aiMesh;
    const unsigned vertices = static_cast<unsigned>(part.VertexCount());
    mesh->mName = aiString("geob" + std::to_string(part.geob) +
                           (part.burst < 0 ? "" : "_burst" + std::to_string(part.burst)));
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mMaterialIndex = material;
    mesh->mNumVertices = vertices;
    mesh->mVertices = Points(part.positions);
    if (!part.normals.empty()) mesh->mNormals = Points(part.normals);
    if (!part.texCoords.empty()) {
        mesh->mNumUVComponents[0] = 2;
        mesh->mTextureCoords[0] = new aiVector3D[vertices];
        for (unsigned v = 0; v < vertices; ++v) {
            mesh->mTextureCoords[0][v] =
                aiVector3D(part.texCoords[2 * size_t{v}], part.texCoords[2 * size_t{v} + 1], 0);
        }
    }
    if (!part.colors.empty()) {
        mesh->mColors[0] = new aiColor4D[vertices];
        for (unsigned v = 0; v < vertices; ++v) {
            const float* c = &part.colors[3 * size_t{v}];
            mesh->mColors[0][v] = aiColor4D(c[0], c[1], c[2], 1.0f);
        }
    }
    mesh->mNumFaces = static_cast<unsigned>(part.indices.size() / 3);
    mesh->mFaces = new aiFace[mesh->mNumFaces];
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        mesh->mFaces[f].mNumIndices = 3;
        mesh->mFaces[f].mIndices = new unsigned[3];
        std::copy_n(&part.indices[3 * size_t{f}], 3, mesh->mFaces[f].mIndices);
    }
    return mesh;
}

// The whole set as one node's meshes; parts without a material share a default one.
std::unique_ptr<aiScene> MakeScene(const MeshSet& set, const std::string& nodeName) {
    auto scene = std::make_unique<aiScene>();
    std::vector<aiMaterial*> materials;
    for (const MaterialInfo& info : set.materials) materials.push_back(MakeMaterial(info));
    int fallback = -1;
    std::vector<aiMesh*> meshes;
    for (const MeshPart& part : set.parts) {
        if (part.material < 0 && fallback < 0) {
            fallback = static_cast<int>(materials.size());
            materials.push_back(
                MakeMaterial(MaterialInfo{"default", {0.8f, 0.8f, 0.8f, 1}, "", ""}));
        }
        const int material = part.material >= 0 ? part.material : fallback;
        meshes.push_back(MakeMesh(part, static_cast<unsigned>(material)));
    }
    if (materials.empty()) {
        materials.push_back(MakeMaterial(MaterialInfo{"default", {0.8f, 0.8f, 0.8f, 1}, "", ""}));
    }
    scene->mNumMaterials = static_cast<unsigned>(materials.size());
    scene->mMaterials = new aiMaterial*[materials.size()];
    std::copy(materials.begin(), materials.end(), scene->mMaterials);
    scene->mNumMeshes = static_cast<unsigned>(meshes.size());
    scene->mMeshes = meshes.empty() ? nullptr : new aiMesh*[meshes.size()];
    std::copy(meshes.begin(), meshes.end(), scene->mMeshes);

    // One child per mesh: glTF gives a node one mesh, and the writer would
    // otherwise fold a node's meshes into primitives of its first one.
    aiNode* root = scene->mRootNode = new aiNode(nodeName);
    if (!meshes.empty()) {
        root->mNumChildren = scene->mNumMeshes;
        root->mChildren = new aiNode*[meshes.size()];
        for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
            aiNode* child = root->mChildren[m] = new aiNode(meshes[m]->mName.C_Str());
            child->mParent = root;
            child->mNumMeshes = 1;
            child->mMeshes = new unsigned[1]{m};
        }
    }
    return scene;
}

}  // namespace

std::string ExportFormatFor(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".glb") return "glb2";
    if (extension == ".gltf") return "gltf2";
    if (extension == ".obj") return "obj";
    return "";
}

bool ConvertKvoFile(const std::string& in, const std::string& out,
                    std::vector<std::string>* warnings, std::string* error) {
    std::vector<std::string> ignored;
    if (!warnings) warnings = &ignored;
    const std::string format = ExportFormatFor(out);
    if (format.empty()) {
        if (error) *error = "'" + out + "' is not a .glb, .gltf or .obj file name";
        return false;
    }
    KvoGeode geode(in);
    if (!geode.Load()) {
        if (error) *error = "cannot load '" + in + "': " + geode.error;
        return false;
    }
    MeshSet set;
    const std::string folder = std::filesystem::path(in).parent_path().string();
    ExtractMeshParts(geode, in, folder, &set, warnings);
    if (set.parts.empty()) warnings->push_back(in + ": no triangles; the output has no meshes");
    const std::unique_ptr<aiScene> scene =
        MakeScene(set, std::filesystem::path(in).stem().string());
    // The exporter owns its file access and deletes it; the pointer serves until then.
    Assimp::Exporter exporter;
    auto* files = new OutputIOSystem;
    exporter.SetIOHandler(files);
    if (exporter.Export(scene.get(), format, out) != AI_SUCCESS) {
        if (error) {
            *error = !files->OpenFailure().empty()
                         ? files->OpenFailure()
                         : "cannot write '" + out + "': " + exporter.GetErrorString();
        }
        files->Discard();
        return false;
    }
    return files->Commit(error);
}

}  // namespace kvoview
