// libFuzzer entry point: builds an importer scene from arbitrary bytes, whose
// arrays may be shorter than the counts it claims (as a malformed file can
// make the importer hand over), and converts it as the import process does.
// The sanitizers catch any read past an array; the checks below catch a
// conversion that accepts a short array or fails without a cause.
#include <assimp/material.h>
#include <assimp/scene.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/import/assimp_import.h"

namespace {

// A claimed count and the length actually allocated for it.
struct Counted {
    unsigned claimed;
    unsigned held;
};

Counted Count(FuzzedDataProvider& in, unsigned most) {
    const unsigned claimed = in.ConsumeIntegralInRange<unsigned>(0, most);
    const bool shorter = claimed > 0 && in.ConsumeIntegralInRange<int>(0, 7) == 0;
    return {claimed, shorter ? in.ConsumeIntegralInRange<unsigned>(0, claimed - 1) : claimed};
}

template <class T>
T* Array(unsigned held) {
    return held ? new T[held]() : nullptr;
}

aiVector3D* Points(FuzzedDataProvider& in, unsigned held) {
    aiVector3D* p = Array<aiVector3D>(held);
    for (unsigned i = 0; i < held; ++i) {
        // Few distinct values, so that welding finds equal vertices.
        p[i] =
            aiVector3D(in.ConsumeIntegralInRange<int>(-2, 2), in.ConsumeIntegralInRange<int>(-2, 2),
                       in.ConsumeIntegralInRange<int>(-2, 2));
    }
    return p;
}

aiMesh* MakeMesh(FuzzedDataProvider& in, unsigned materials, bool& shortened,
                 std::vector<aiMesh*>& meshes, std::vector<unsigned>& heldFaces) {
    aiMesh* m = new aiMesh();
    const Counted v = Count(in, 40);
    m->mNumVertices = v.claimed;
    shortened |= v.held < v.claimed;
    m->mVertices = Points(in, v.held);
    if (in.ConsumeBool()) {
        const Counted n = Count(in, v.claimed);
        shortened |= n.held > 0 && n.held < v.claimed;  // none held: no normals
        m->mNormals = Points(in, n.held);
    }
    if (in.ConsumeBool()) {
        const Counted t = Count(in, v.claimed);
        shortened |= t.held > 0 && t.held < v.claimed;
        m->mTextureCoords[0] = Points(in, t.held);
    }
    if (in.ConsumeBool()) {
        const Counted c = Count(in, v.claimed);
        shortened |= c.held > 0 && c.held < v.claimed;
        m->mColors[0] = Array<aiColor4D>(c.held);
    }
    const Counted f = Count(in, 30);
    shortened |= f.held < f.claimed;
    m->mNumFaces = f.claimed;
    m->mFaces = Array<aiFace>(f.held);
    for (unsigned i = 0; i < f.held; ++i) {
        const Counted corners{3, in.ConsumeIntegralInRange<int>(0, 15) == 0 ? 2u : 3u};
        shortened |= corners.held < corners.claimed;
        m->mFaces[i].mNumIndices = corners.claimed;
        m->mFaces[i].mIndices = new unsigned[corners.held];
        for (unsigned k = 0; k < corners.held; ++k) {
            m->mFaces[i].mIndices[k] = in.ConsumeIntegralInRange<unsigned>(0, v.claimed + 1);
        }
    }
    m->mMaterialIndex = in.ConsumeIntegralInRange<unsigned>(0, materials);
    m->mName = aiString(in.ConsumeRandomLengthString(12));
    meshes.push_back(m);
    heldFaces.push_back(f.held);
    return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    bool shortened = false;
    aiScene* scene = new aiScene();
    scene->mRootNode = new aiNode("root");

    const unsigned materialCount = in.ConsumeIntegralInRange<unsigned>(0, 3);
    scene->mNumMaterials = materialCount;
    scene->mMaterials = Array<aiMaterial*>(materialCount);
    for (unsigned i = 0; i < materialCount; ++i) {
        scene->mMaterials[i] = new aiMaterial();
        const aiString name(in.ConsumeRandomLengthString(12));
        scene->mMaterials[i]->AddProperty(&name, AI_MATKEY_NAME);
    }

    std::vector<aiMesh*> meshes;
    std::vector<unsigned> heldFaces;
    const Counted meshCount = Count(in, 4);
    shortened |= meshCount.held < meshCount.claimed;
    scene->mNumMeshes = meshCount.claimed;
    scene->mMeshes = Array<aiMesh*>(meshCount.held);
    for (unsigned i = 0; i < meshCount.held; ++i) {
        scene->mMeshes[i] = MakeMesh(in, materialCount, shortened, meshes, heldFaces);
    }

    // Root children, each taking some of the meshes and maybe a child of its own.
    const Counted children = Count(in, 3);
    shortened |= children.held < children.claimed;
    aiNode* root = scene->mRootNode;
    root->mNumChildren = children.claimed;
    root->mChildren = Array<aiNode*>(children.held);
    std::vector<std::pair<aiNode*, unsigned>> nodes;  // with their meshes held
    for (unsigned i = 0; i < children.held; ++i) {
        aiNode* child = new aiNode(in.ConsumeRandomLengthString(8));
        child->mParent = root;
        root->mChildren[i] = child;
        const Counted list = Count(in, 3);
        shortened |= list.held < list.claimed;
        child->mNumMeshes = list.claimed;
        child->mMeshes = Array<unsigned>(list.held);
        for (unsigned k = 0; k < list.held; ++k) {
            child->mMeshes[k] = in.ConsumeIntegralInRange<unsigned>(0, meshCount.claimed);
        }
        child->mTransformation.a1 = in.ConsumeIntegralInRange<int>(-2, 2);
        nodes.emplace_back(child, list.held);
    }

    kvoimport::ImportSettings settings;
    settings.collapse = in.ConsumeBool();
    settings.joinVertices = in.ConsumeBool();
    kvoscene::Scene out;
    std::string error;
    const bool ok = kvoimport::ConvertAssimpScene(scene, "fuzz.gltf", settings, out, error);
    if (ok && shortened) std::abort();       // a short array went unnoticed
    if (!ok && error.empty()) std::abort();  // a refusal names its cause

    // Back to the lengths held, so that the scene frees what it has.
    scene->mNumMeshes = meshCount.held;
    root->mNumChildren = children.held;
    for (auto& [node, held] : nodes) node->mNumMeshes = held;
    for (size_t i = 0; i < meshes.size(); ++i) {
        aiMesh* m = meshes[i];
        m->mNumFaces = heldFaces[i];
        for (unsigned f = 0; f < m->mNumFaces; ++f) m->mFaces[f].mNumIndices = 0;
    }
    delete scene;
    return 0;
}
