// One material record per material group: the sanitised name of the node's
// material (or of its sub-material for the group's ID) and its diffuse bitmap.
#pragma once

#include <string>

#include "export/export_context.h"
#include "kvo/kvo_material.h"
#include "platform/max/max_sdk.h"

namespace exporter {

// Fills materials[materialIndex]; writes nothing for an index outside the table.
// Hands the record to the shader file when "Generate Basic Shader" is on.
void BuildMaterial(ExportContext& context, INode* node, KvoMaterial* materials, int materialIndex,
                   int materialId);

// File name (without directories) of the bitmap in the material's diffuse map, or "".
std::string GetDiffuseMapFile(Mtl* mtl);

// The part after the last backslash, or after the last slash when there is no backslash.
std::string StripPath(const std::string& path);

// Letters, digits and "_" kept, blanks turned into "_", every other byte dropped.
std::string SanitizeName(const std::string& text);

}  // namespace exporter
