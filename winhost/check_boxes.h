// The panel's eight option check boxes and the command-line flags that set
// them, named as the console host names them so both hosts get one list.
#pragma once

#include <array>
#include <string>

namespace winhost {

struct CheckBox {
    const char* flag;  // without "--"; "--no-" + flag clears the box
    int controlId;
    const char* label;
};
constexpr int kCheckBoxCount = 8;
// Up Normals comes before Normals: clearing Normals disables Up Normals.
extern const std::array<CheckBox, kCheckBoxCount> kCheckBoxes;

// Per box: -1 leave as the panel shows it, 0 clear, 1 check.
using CheckStates = std::array<int, kCheckBoxCount>;

// Applies "--FLAG" or "--no-FLAG" to `states`; false when `arg` is neither.
bool ParseCheckFlag(const std::string& arg, CheckStates& states);

}  // namespace winhost
