#include "obj_reference.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace clitest {

std::vector<ObjGroup> ReadObjGroups(const std::string& path) {
    std::ifstream in(path);
    std::vector<Point> positions;
    std::vector<ObjGroup> groups;
    std::string material;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string tag;
        fields >> tag;
        if (tag == "v") {
            std::string x, y, z;
            fields >> x >> y >> z;
            positions.push_back({std::strtof(x.c_str(), nullptr), std::strtof(y.c_str(), nullptr),
                                 std::strtof(z.c_str(), nullptr)});
        } else if (tag == "g" || tag == "o") {
            ObjGroup group;
            fields >> group.name;
            groups.push_back(group);
        } else if (tag == "usemtl") {
            fields >> material;
        } else if (tag == "f") {
            if (groups.empty()) groups.push_back(ObjGroup());
            ObjGroup& group = groups.back();
            Triangle t;
            std::string corner;
            for (int k = 0; k < 3 && fields >> corner; ++k) {
                long index = std::strtol(corner.c_str(), nullptr, 10);
                if (index < 0) index += static_cast<long>(positions.size()) + 1;
                t[k] = positions.at(static_cast<size_t>(index - 1));
            }
            if (std::find(group.materials.begin(), group.materials.end(), material) ==
                group.materials.end()) {
                group.materials.push_back(material);
            }
            group.triangles[material].insert(Canonical(t));
        }
    }
    groups.erase(std::remove_if(groups.begin(), groups.end(),
                                [](const ObjGroup& g) { return g.triangles.empty(); }),
                 groups.end());
    return groups;
}

std::map<std::string, std::string> ReadMtlMaps(const std::string& path) {
    std::ifstream in(path);
    std::map<std::string, std::string> maps;
    std::string current;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string tag;
        fields >> tag;
        if (tag == "newmtl") fields >> current;
        if (tag == "map_Kd") fields >> maps[current];
    }
    return maps;
}

}  // namespace clitest
