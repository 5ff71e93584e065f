// Parses the bytes of an OBJ file into an ObjModel, with the importer's
// meaning of every statement it takes. What it does not take (curves, lines,
// points, polygons of more than four corners, unusual numbers...) makes it
// give up with a reason, so that the file goes to the importer instead.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/import/obj_model.h"

namespace kvoimport {

enum class MtlFile { Read, Missing, Unusable };

struct ObjSource {
    // The path the OBJ was opened as: its folder is where `mtllib` names are
    // looked up, and "<path without obj>mtl" is tried when one is missing.
    std::string path;
    // Reads a whole .mtl; Missing when there is none, Unusable when there is
    // something this reader does not read as the importer would (not a regular
    // file, or a file the importer would find under another name).
    std::function<MtlFile(const std::string& path, std::string& bytes)> readMtl;
};

// False, with `reason`, when the file is not one this reader takes. The
// paths of the .mtl files read are added to `mtlFiles`.
bool ParseObj(const char* data, size_t size, const ObjSource& source, ObjModel& model,
              std::vector<std::string>& mtlFiles, std::string& reason);

}  // namespace kvoimport
