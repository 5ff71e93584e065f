// KVO files to glTF 2 (.gltf with .bin, or .glb) and OBJ (with .mtl) through
// Assimp's exporter.
#pragma once

#include <string>
#include <vector>

namespace kvoview {

// The Assimp exporter id for the extension of `path` ("glb2", "gltf2", "obj");
// "" when the extension is none of .glb, .gltf, .obj (any letter case).
std::string ExportFormatFor(const std::string& path);

// Writes the geobs of the KVO file `in` as meshes, one child node each
// ("geob2") below a node named after the file, with their materials: name,
// diffuse colour, the first texture name as the base colour map. Positions
// and normals stay in the file's Y-up frame; texture coordinates are handed
// over as stored (v up) and the glTF writer stores them as 1 - v, the
// convention glTF files use.
bool ConvertKvoFile(const std::string& in, const std::string& out,
                    std::vector<std::string>* warnings, std::string* error);

}  // namespace kvoview
