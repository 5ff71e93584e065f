// Which files the OBJ reader is tried on: apart from the rest of
// obj_exact_numbers.cpp, so the import program tells them without the importer.
#include <cctype>

#include "cli/import/obj_exact_numbers.h"

namespace kvoimport {

bool IsObjPath(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".obj";
}

}  // namespace kvoimport
