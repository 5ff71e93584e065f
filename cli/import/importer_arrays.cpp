#include "cli/import/importer_arrays.h"

#include <assimp/scene.h>
#include <malloc.h>

#include <cstdint>
#include <cstring>
#include <unordered_set>
#include <vector>

namespace kvoimport {

namespace {

// new[] of a type with a destructor (aiFace) puts the element count in a
// cookie of one size_t before the first element.
constexpr size_t kArrayCookie = sizeof(size_t);

bool Fail(std::string& error, const std::string& message) {
    error = "the importer handed over a malformed scene: " + message;
    return false;
}

bool NameOk(const aiString& s) {
    return s.length < MAXLEN && std::memchr(s.data, 0, MAXLEN) != nullptr;
}

std::string Label(const aiString& s) {
    return NameOk(s) && s.length ? "'" + std::string(s.data, s.length) + "'" : "(unnamed)";
}

std::string Short(const std::string& what, uint64_t count, const std::string& unit) {
    return what + ": " + std::to_string(count) + " " + unit + " claimed, the array is shorter";
}

bool FacesHold(const aiFace* faces, uint64_t count) {
    if (count == 0) return true;
    if (faces == nullptr) return false;
    const void* block = reinterpret_cast<const char*>(faces) - kArrayCookie;
    return malloc_usable_size(const_cast<void*>(block)) >= kArrayCookie + count * sizeof(aiFace);
}

bool CheckMesh(const aiMesh* m, const std::string& at, std::string& error) {
    if (!NameOk(m->mName)) return Fail(error, at + ": its name has no end");
    const std::string what = at + " " + Label(m->mName);
    const uint64_t n = m->mNumVertices;
    if (!BlockHolds(m->mVertices, n, sizeof(aiVector3D))) {
        return Fail(error, Short(what + " positions", n, "vertices"));
    }
    if (m->mNormals && !BlockHolds(m->mNormals, n, sizeof(aiVector3D))) {
        return Fail(error, Short(what + " normals", n, "vertices"));
    }
    if (m->mTextureCoords[0] && !BlockHolds(m->mTextureCoords[0], n, sizeof(aiVector3D))) {
        return Fail(error, Short(what + " texture coordinates", n, "vertices"));
    }
    if (m->mColors[0] && !BlockHolds(m->mColors[0], n, sizeof(aiColor4D))) {
        return Fail(error, Short(what + " colours", n, "vertices"));
    }
    if (!FacesHold(m->mFaces, m->mNumFaces)) {
        return Fail(error, Short(what + " faces", m->mNumFaces, "faces"));
    }
    for (unsigned f = 0; f < m->mNumFaces; ++f) {
        const aiFace& face = m->mFaces[f];
        if (!BlockHolds(face.mIndices, face.mNumIndices, sizeof(unsigned))) {
            return Fail(error,
                        Short(what + " face " + std::to_string(f), face.mNumIndices, "corners"));
        }
    }
    return true;
}

bool CheckMaterial(const aiMaterial* mat, const std::string& at, std::string& error) {
    if (!BlockHolds(mat->mProperties, mat->mNumProperties, sizeof(void*))) {
        return Fail(error, Short(at, mat->mNumProperties, "properties"));
    }
    for (unsigned p = 0; p < mat->mNumProperties; ++p) {
        const aiMaterialProperty* prop = mat->mProperties[p];
        if (prop == nullptr)
            return Fail(error, at + ": property " + std::to_string(p) + " missing");
        const std::string what = at + " property " + std::to_string(p);
        if (!NameOk(prop->mKey)) return Fail(error, what + ": its key has no end");
        if (!BlockHolds(prop->mData, prop->mDataLength, 1)) {
            return Fail(error, Short(what, prop->mDataLength, "bytes"));
        }
        // A string is its length (32 bits), its bytes and a NUL.
        if (prop->mType == aiPTI_String) {
            uint32_t length = 0;
            if (prop->mDataLength >= sizeof length)
                std::memcpy(&length, prop->mData, sizeof length);
            if (prop->mDataLength < sizeof length ||
                uint64_t{length} + sizeof length + 1 > prop->mDataLength || length >= MAXLEN) {
                return Fail(error, what + ": a string longer than its property");
            }
        }
    }
    return true;
}

bool CheckNodes(const aiScene* s, std::string& error) {
    std::vector<const aiNode*> pending{s->mRootNode};
    std::unordered_set<const aiNode*> seen;
    while (!pending.empty()) {
        const aiNode* node = pending.back();
        pending.pop_back();
        if (node == nullptr || !seen.insert(node).second) continue;  // the conversion says why
        if (!NameOk(node->mName)) return Fail(error, "a node's name has no end");
        const std::string what = "node " + Label(node->mName);
        if (!BlockHolds(node->mMeshes, node->mNumMeshes, sizeof(unsigned))) {
            return Fail(error, Short(what, node->mNumMeshes, "meshes"));
        }
        if (!BlockHolds(node->mChildren, node->mNumChildren, sizeof(void*))) {
            return Fail(error, Short(what, node->mNumChildren, "children"));
        }
        for (unsigned i = 0; i < node->mNumChildren; ++i) pending.push_back(node->mChildren[i]);
    }
    return true;
}

}  // namespace

bool BlockHolds(const void* p, uint64_t count, size_t size) {
    if (count == 0) return true;
    if (p == nullptr) return false;
    if (size == 0 || count > SIZE_MAX / size) return false;  // no block is that large
    return malloc_usable_size(const_cast<void*>(p)) >= count * size;
}

bool CheckImporterArrays(const aiScene* s, std::string& error) {
    if (!BlockHolds(s->mMeshes, s->mNumMeshes, sizeof(void*))) {
        return Fail(error, Short("the mesh table", s->mNumMeshes, "meshes"));
    }
    if (!BlockHolds(s->mMaterials, s->mNumMaterials, sizeof(void*))) {
        return Fail(error, Short("the material table", s->mNumMaterials, "materials"));
    }
    if (!BlockHolds(s->mCameras, s->mNumCameras, sizeof(void*))) {
        return Fail(error, Short("the camera table", s->mNumCameras, "cameras"));
    }
    if (!BlockHolds(s->mLights, s->mNumLights, sizeof(void*))) {
        return Fail(error, Short("the light table", s->mNumLights, "lights"));
    }
    if (!BlockHolds(s->mTextures, s->mNumTextures, sizeof(void*))) {
        return Fail(error, Short("the texture table", s->mNumTextures, "textures"));
    }
    for (unsigned i = 0; i < s->mNumMeshes; ++i) {
        if (s->mMeshes[i] && !CheckMesh(s->mMeshes[i], "mesh " + std::to_string(i), error)) {
            return false;
        }
    }
    for (unsigned i = 0; i < s->mNumMaterials; ++i) {
        const std::string at = "material " + std::to_string(i);
        if (s->mMaterials[i] && !CheckMaterial(s->mMaterials[i], at, error)) return false;
    }
    for (unsigned i = 0; i < s->mNumCameras; ++i) {
        if (s->mCameras[i] && !NameOk(s->mCameras[i]->mName)) {
            return Fail(error, "a camera's name has no end");
        }
    }
    for (unsigned i = 0; i < s->mNumLights; ++i) {
        if (s->mLights[i] && !NameOk(s->mLights[i]->mName)) {
            return Fail(error, "a light's name has no end");
        }
    }
    for (unsigned i = 0; i < s->mNumTextures; ++i) {
        const aiTexture* t = s->mTextures[i];
        if (t == nullptr) continue;
        if (!NameOk(t->mFilename)) return Fail(error, "an embedded texture's name has no end");
        // Height 0: width bytes of an image file; else width x height texels.
        const uint64_t texels = t->mHeight == 0 ? 0 : uint64_t{t->mWidth} * uint64_t{t->mHeight};
        const bool held = t->mHeight == 0 ? BlockHolds(t->pcData, t->mWidth, 1)
                                          : BlockHolds(t->pcData, texels, sizeof(aiTexel));
        if (!held) {
            return Fail(error, Short("embedded texture " + std::to_string(i),
                                     t->mHeight == 0 ? t->mWidth : texels,
                                     t->mHeight == 0 ? "bytes" : "texels"));
        }
    }
    return CheckNodes(s, error);
}

}  // namespace kvoimport
