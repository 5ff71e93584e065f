// A small reader of triangle-only OBJ files for the tests: the groups with
// their usemtl order and their triangles, positions parsed with strtof.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "kvo_contents.h"

namespace clitest {

struct ObjGroup {
    std::string name;
    std::vector<std::string> materials;                        // usemtl names in order of first use
    std::map<std::string, std::multiset<Triangle>> triangles;  // by usemtl name
};

// Groups in file order (`g` and `o` start one; the name is the first word).
std::vector<ObjGroup> ReadObjGroups(const std::string& path);

// map_Kd of each material of an .mtl file.
std::map<std::string, std::string> ReadMtlMaps(const std::string& path);

}  // namespace clitest
