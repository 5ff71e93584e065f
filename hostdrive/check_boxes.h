// The panel's eight option check boxes as every host sets them: the flag that
// names a box on a host's command line, its control id and its label.
#pragma once

#include <array>
#include <string>

namespace hostdrive {

struct CheckBox {
    const char* flag;  // without "--"; "--no-" + flag clears the box
    int controlId;     // on the "Options" page
    const char* label;
};
constexpr int kCheckBoxCount = 8;
// Up Normals comes before Normals: clearing Normals disables Up Normals.
extern const std::array<CheckBox, kCheckBoxCount> kCheckBoxes;

// Per box: -1 leave as the panel shows it, 0 clear, 1 check.
using CheckStates = std::array<int, kCheckBoxCount>;

// Applies "--FLAG" or "--no-FLAG" to `states`; false when `arg` is neither.
bool ParseCheckFlag(const std::string& arg, CheckStates& states);

}  // namespace hostdrive
