// The import floor: Assimp's ReadFile alone, with the flags, the importer
// property and the allocator of kvoexp's import process, so that an end-to-end
// time of kvoexp can be set against the parse it cannot avoid.
//
//   import_floor FILE...     prints each file's triangles and seconds
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <mimalloc.h>

#include <assimp/Importer.hpp>
#include <chrono>
#include <cstdio>

#include "cli/program/allocator_tuning.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: import_floor FILE...\n");
        return 2;
    }
    // Used, so the allocator that replaces malloc stays linked.
    if (mi_version() <= 0) return 2;
    // The import workers' allocator settings, unless the environment says otherwise.
    kvocli::TuneAllocator();
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const auto start = std::chrono::steady_clock::now();
        Assimp::Importer importer;
        importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
        const aiScene* scene = importer.ReadFile(argv[i], aiProcess_Triangulate);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (scene == nullptr) {
            std::fprintf(stderr, "import_floor: %s: %s\n", argv[i], importer.GetErrorString());
            status = 1;
            continue;
        }
        unsigned long long triangles = 0;
        for (unsigned m = 0; m < scene->mNumMeshes; ++m) triangles += scene->mMeshes[m]->mNumFaces;
        std::printf("%s: %llu triangles, %.3f s\n", argv[i], triangles, took.count());
    }
    return status;
}
