// Every warning the console host gives, by its stable code: the one table the
// checks, the report, its schema and the README's list are held to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvochecks {

enum class WarningCode : uint8_t {
    kBelowRoot,
    kSelectUnmatched,
    kTextureMissing,
    kTextureEmbedded,
    kTextureNotImage,
    kTextureNameCollision,
    kTextureNotResized,
    kMaterialNameCollision,
    kNameCollision,
    kNameNotPortable,
    kNameBreaksGeometryIni,
    kNameControlCharacter,
    kNonFiniteValues,
    kGeobTableFull,
    kFacesLost,
    kFacesAdded,
    kMaterialMismatch,
    kVerifyFailed,
    kSaveFailed,
    kNotTriangles,
    kAnimationDropped,
    kSkinDropped,
    kUvSetDropped,
    kTrianglesOverBudget,
    kVerticesOverBudget,
    kFileBytesOverBudget,
    kTextureOverBudget,
};

struct WarningCodeInfo {
    WarningCode code;
    const char* name;     // as in the report, e.g. texture_missing
    const char* meaning;  // when it is given
};

// The whole table, in the order of the enumeration.
const std::vector<WarningCodeInfo>& WarningCodes();

// The code's name in the report.
const char* CodeName(WarningCode code);

// The code of a name in the report; false for a name that is none.
bool CodeByName(const std::string& name, WarningCode& code);

}  // namespace kvochecks
