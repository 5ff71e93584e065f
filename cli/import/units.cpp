#include "cli/import/units.h"

namespace kvoimport {

namespace {

struct UnitRow {
    Unit unit;
    const char* name;
    double metres;
};

constexpr UnitRow kUnits[] = {{Unit::Metre, "m", 1.0},
                              {Unit::Centimetre, "cm", 0.01},
                              {Unit::Millimetre, "mm", 0.001},
                              {Unit::Inch, "in", 0.0254},
                              {Unit::Foot, "ft", 0.3048}};

}  // namespace

bool ParseUnit(const std::string& name, Unit& unit) {
    for (const UnitRow& row : kUnits) {
        if (name == row.name) {
            unit = row.unit;
            return true;
        }
    }
    return false;
}

const char* UnitName(Unit unit) {
    for (const UnitRow& row : kUnits) {
        if (row.unit == unit) return row.name;
    }
    return "";
}

double MetresPer(Unit unit) {
    for (const UnitRow& row : kUnits) {
        if (row.unit == unit) return row.metres;
    }
    return 0;
}

bool ParseUpChoice(const std::string& name, UpChoice& up) {
    if (name == "auto") {
        up = UpChoice::Auto;
    } else if (name == "y") {
        up = UpChoice::Y;
    } else if (name == "z") {
        up = UpChoice::Z;
    } else {
        return false;
    }
    return true;
}

const char* UpChoiceName(UpChoice up) {
    switch (up) {
        case UpChoice::Y:
            return "y";
        case UpChoice::Z:
            return "z";
        case UpChoice::Auto:
            break;
    }
    return "auto";
}

double UnitFactor(const FrameSettings& settings, double declaredMetresPerUnit) {
    double factor = 1;
    if (settings.units != Unit::None) {
        const double from =
            declaredMetresPerUnit > 0 ? declaredMetresPerUnit : MetresPer(settings.fileUnits);
        if (from > 0) factor = from / MetresPer(settings.units);
    }
    return factor * settings.scale;
}

}  // namespace kvoimport
