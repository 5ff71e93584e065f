// Every warning the console host gives, by its stable code: the one table the
// checks, the report, its schema and the README's list are held to.
#pragma once

#include <cstdint>
#include <vector>

namespace kvochecks {

enum class WarningCode : uint8_t {
    kBelowRoot,
    kSelectUnmatched,
    kTextureMissing,
    kTextureEmbedded,
    kTextureNotImage,
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
};

struct WarningCodeInfo {
    WarningCode code;
    const char* name;     // as in the report, e.g. "texture_missing"
    const char* meaning;  // when it is given
};

// The whole table, in the order of the enumeration.
const std::vector<WarningCodeInfo>& WarningCodes();

// The code's name in the report.
const char* CodeName(WarningCode code);

}  // namespace kvochecks
