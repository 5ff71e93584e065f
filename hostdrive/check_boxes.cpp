#include "hostdrive/check_boxes.h"

#include "plugin/resource.h"

namespace hostdrive {

const std::array<CheckBox, kCheckBoxCount> kCheckBoxes = {{
    {"localize", IDC_LOCALIZE, "Localize"},
    {"optimize", IDC_OPTIMIZE, "Optimize"},
    {"up-normals", IDC_UP_NORMALS, "Up Normals"},
    {"normals", IDC_NORMALS, "Normals"},
    {"vertex-colors", IDC_VERTEX_COLORS, "Vertex Colors"},
    {"shader", IDC_GENERATE_SHADER, "Generate Basic Shader"},
    {"geometry-ini", IDC_GENERATE_GEOMETRY, "Generate 'geometry.ini'"},
    {"log", IDC_GENERATE_LOG, "Generate Log"},
}};

bool ParseCheckFlag(const std::string& arg, CheckStates& states) {
    for (int i = 0; i < kCheckBoxCount; ++i) {
        const std::string flag = kCheckBoxes[i].flag;
        if (arg == "--" + flag) {
            states[i] = 1;
            return true;
        }
        if (arg == "--no-" + flag) {
            states[i] = 0;
            return true;
        }
    }
    return false;
}

}  // namespace hostdrive
