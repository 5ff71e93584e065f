// What a scene file says about its unit and up axis, as Assimp leaves it, and
// the conversion of the imported scene form to the unit and frame asked for.
#pragma once

#include <string>

#include "cli/import/frame_conversion.h"
#include "cli/import/units.h"

struct aiScene;

namespace kvoimport {

struct DeclaredFrame {
    double metresPerUnit = 0;     // 0: the file declares no unit
    SignedAxes toYUp;             // the file's frame turned Y-up
    bool importerTurned = false;  // the importer's root already turns Z-up into Y-up
};

// FBX: its unit scale (centimetres per unit) and axis settings. Collada:
// metres, Y-up (the importer has applied <unit> and up_axis on the root).
// glTF: metres, Y-up. STL and Blender: Z-up, as are 3DS files unless the
// importer has already turned the root. Anything else: no unit, Y-up.
// Forcing Z-up leaves a scene that the importer has turned as it is.
DeclaredFrame ReadDeclaredFrame(const aiScene& ai, const std::string& path);

// Converts `scene` (made as if the file were Y-up, in its own numbers) to the
// frame and unit `settings` ask for, and records them in scene.frame.
void ConvertFrame(const DeclaredFrame& declared, const FrameSettings& settings,
                  kvoscene::Scene& scene);

}  // namespace kvoimport
