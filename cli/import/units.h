// Length units and up axes a scene can be converted between: what the user
// asks for (--units, --file-units, --scale, --up) as the import carries it.
#pragma once

#include <cstdint>
#include <string>

namespace kvoimport {

enum class Unit : uint8_t { None = 0, Metre, Centimetre, Millimetre, Inch, Foot };
constexpr uint8_t kLastUnit = static_cast<uint8_t>(Unit::Foot);

// The file's up axis: as it declares it (or its format's convention), or forced.
enum class UpChoice : uint8_t { Auto = 0, Y = 1, Z = 2 };
constexpr uint8_t kLastUpChoice = static_cast<uint8_t>(UpChoice::Z);

struct FrameSettings {
    Unit units = Unit::None;      // convert to this unit; None: keep the file's numbers
    Unit fileUnits = Unit::None;  // the unit of files that declare none
    double scale = 1;             // multiplies on top of the conversion
    UpChoice up = UpChoice::Auto;
};

// "m", "cm", "mm", "in", "ft"; false for anything else.
bool ParseUnit(const std::string& name, Unit& unit);
// The short name, "" for None.
const char* UnitName(Unit unit);
// Metres in one unit; 0 for None.
double MetresPer(Unit unit);

bool ParseUpChoice(const std::string& name, UpChoice& up);
const char* UpChoiceName(UpChoice up);

// The factor that turns a file's numbers into `settings.units`: the unit the
// file declares (metres per unit, 0 for none), else settings.fileUnits, else
// no conversion; times settings.scale.
double UnitFactor(const FrameSettings& settings, double declaredMetresPerUnit);

}  // namespace kvoimport
