#include "cli/program/frame_options.h"

#include <cmath>

namespace kvocli {

void AddFrameOptions(CLI::App& app, FrameOptionValues& values) {
    app.add_option("--units", values.units,
                   "convert every scene to this unit (m, cm, mm, in, ft) from the unit its "
                   "file declares (FBX, Collada; glTF is in metres)")
        ->type_name("UNIT");
    app.add_option("--file-units", values.fileUnits,
                   "with --units: the unit of files that declare none (OBJ, STL, PLY, 3DS...; "
                   "default: no conversion of those)")
        ->type_name("UNIT");
    app.add_option("--scale", values.scale,
                   "multiply every length by F after any unit conversion (default: 1)")
        ->type_name("F");
    app.add_option("--up", values.up,
                   "the scene files' up axis: auto (what the file declares, else its format's "
                   "own: Z for STL and Blender files, Y for the others), y or z (default: auto)")
        ->type_name("AXIS");
}

bool FinishFrameOptions(const FrameOptionValues& values, kvoimport::FrameSettings& frame,
                        std::string& error) {
    frame = kvoimport::FrameSettings();
    if (!values.units.empty() && !kvoimport::ParseUnit(values.units, frame.units)) {
        error = "--units takes m, cm, mm, in or ft, not '" + values.units + "'";
        return false;
    }
    if (!values.fileUnits.empty() && !kvoimport::ParseUnit(values.fileUnits, frame.fileUnits)) {
        error = "--file-units takes m, cm, mm, in or ft, not '" + values.fileUnits + "'";
        return false;
    }
    if (!values.fileUnits.empty() && values.units.empty()) {
        error = "--file-units needs --units";
        return false;
    }
    if (!kvoimport::ParseUpChoice(values.up, frame.up)) {
        error = "--up takes auto, y or z, not '" + values.up + "'";
        return false;
    }
    if (!(values.scale > 0) || !std::isfinite(values.scale)) {
        error = "--scale must be a positive number";
        return false;
    }
    frame.scale = values.scale;
    return true;
}

}  // namespace kvocli
