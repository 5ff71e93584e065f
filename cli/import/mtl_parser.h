// Reads an .mtl file into the OBJ model that names it: its materials (added
// in order, each new one given to the current mesh as the importer does) and
// their texture names. Colours and other values do not reach the scene.
#pragma once

#include <cstddef>
#include <string>

#include "cli/import/obj_model.h"

namespace kvoimport {

// False, with `reason`, for statements this reader does not take (texture
// options, unknown texture kinds...).
bool ParseMtl(const char* data, size_t size, ObjModel& model, std::string& reason);

// Names longer than this do not fit the importer's strings.
constexpr size_t kObjMaxName = 1023;

}  // namespace kvoimport
