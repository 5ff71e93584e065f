// What the console host knows of one selected node after an export: what the
// scene handed over and what the written file holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvochecks {

struct MaterialReport {
    std::string sourceName;           // the scene's material name
    std::string name;                 // as written: the sanitised name
    std::string texture;              // the texture name written, "" for none
    std::string resolvedPath;         // where the texture file was looked for, "" for none
    bool found = false;               // the texture file exists there
    std::vector<std::string> looked;  // every place looked at (textures/texture_lookup.h)
    std::string notImage;             // a file met there that holds no image
    bool embedded = false;            // the scene file holds the texture itself
};

// One material group of the node's mesh: the faces of one material ID.
struct MaterialGroup {
    uint16_t materialId = 0;
    uint64_t faces = 0;
    MaterialReport material;  // what the exporter writes for this group
};

struct NodeReport {
    std::string name;
    std::string kind;  // "geometry", "camera", "light", "helper"
    std::string file;  // the .kvo path, "" when the node writes none
    bool written = false;
    uint64_t bytes = 0;
    std::string sha256;  // of the written file, lower-case hex
    uint64_t facesIn = 0;
    uint64_t trianglesOut = 0;
    uint32_t geobs = 0;
    uint64_t vertices = 0;
    std::vector<MaterialGroup> groups;  // in ascending material-ID order
};

}  // namespace kvochecks
