#include "cli/checks/warning_codes.h"

#include <cstddef>

namespace kvochecks {

const std::vector<WarningCodeInfo>& WarningCodes() {
    static const std::vector<WarningCodeInfo> table = {
        {WarningCode::kBelowRoot, "below_root",
         "geometry below the root's children that is not exported"},
        {WarningCode::kSelectUnmatched, "select_unmatched",
         "a --select pattern that matched none of the root's children"},
        {WarningCode::kTextureMissing, "texture_missing", "a texture file that is not found"},
        {WarningCode::kTextureEmbedded, "texture_embedded",
         "a texture held inside the scene file: the KVO file names no texture"},
        {WarningCode::kTextureNotImage, "texture_not_image",
         "a file the scene names as a texture holds no image: not used, copied or listed"},
        {WarningCode::kTextureNameCollision, "texture_name_collision",
         "another file of a texture's name is in the output folder: the copy takes a suffixed "
         "name"},
        {WarningCode::kTextureNotResized, "texture_not_resized",
         "a texture over --texture-max or --texture-pot copied at its own size: its pixels "
         "cannot be read"},
        {WarningCode::kMaterialNameCollision, "material_name_collision",
         "two distinct materials written under one sanitised name"},
        {WarningCode::kNameCollision, "name_collision",
         "one .kvo written twice, or two names that differ only in letter case"},
        {WarningCode::kNameNotPortable, "name_not_portable",
         "a name that Windows refuses as a file name"},
        {WarningCode::kNameBreaksGeometryIni, "name_breaks_geometry_ini",
         "a line break or brace in a name while geometry.ini is written"},
        {WarningCode::kNameControlCharacter, "name_control_character",
         "NUL or other control characters in a name"},
        {WarningCode::kNonFiniteValues, "non_finite_values",
         "NaN or infinite values in what is written"},
        {WarningCode::kGeobTableFull, "geob_table_full",
         "material groups or faces past the node's geob table"},
        {WarningCode::kFacesLost, "faces_lost", "a written file holds fewer triangles"},
        {WarningCode::kFacesAdded, "faces_added", "a written file holds more triangles"},
        {WarningCode::kMaterialMismatch, "material_mismatch",
         "a written file's material or texture name differs from the scene's"},
        {WarningCode::kVerifyFailed, "verify_failed", "a written file does not load again"},
        {WarningCode::kSaveFailed, "save_failed", "a node whose file was not written"},
        {WarningCode::kNotTriangles, "not_triangles",
         "lines or points of the scene's meshes, which have no surface to export"},
        {WarningCode::kAnimationDropped, "animation_dropped",
         "animations of the scene: the files hold the default pose"},
        {WarningCode::kSkinDropped, "skin_dropped",
         "meshes bound to bones: the files hold them unbound, in the default pose"},
        {WarningCode::kUvSetDropped, "uv_set_dropped",
         "texture coordinates past the first set, which the files cannot hold"},
        {WarningCode::kTrianglesOverBudget, "triangles_over_budget",
         "a written file with more triangles than --max-triangles"},
        {WarningCode::kVerticesOverBudget, "vertices_over_budget",
         "a written file with more vertices than --max-vertices"},
        {WarningCode::kFileBytesOverBudget, "file_bytes_over_budget",
         "a written file larger than --max-file-bytes"},
        {WarningCode::kTextureOverBudget, "texture_over_budget",
         "a texture wider or taller than --max-texture-size pixels"},
    };
    return table;
}

const char* CodeName(WarningCode code) {
    const std::vector<WarningCodeInfo>& table = WarningCodes();
    const size_t index = static_cast<size_t>(code);
    return index < table.size() ? table[index].name : "unknown";
}

bool CodeByName(const std::string& name, WarningCode& code) {
    for (const WarningCodeInfo& info : WarningCodes()) {
        if (name == info.name) {
            code = info.code;
            return true;
        }
    }
    return false;
}

}  // namespace kvochecks
