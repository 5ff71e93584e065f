#include "obj_scene_compare.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace clitest {

namespace {

uint32_t Bits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// Assimp keeps the first word of an `o` name and the blanks that end a `g`
// name; ours is the whole name without those blanks.
bool SameName(const std::string& ours, std::string theirs) {
    while (!theirs.empty() && (theirs.back() == ' ' || theirs.back() == '\t')) theirs.pop_back();
    if (ours == theirs) return true;
    return ours.size() > theirs.size() && ours.compare(0, theirs.size(), theirs) == 0 &&
           (ours[theirs.size()] == ' ' || ours[theirs.size()] == '\t');
}

bool SameMaterialName(const std::string& ours, const std::string& theirs) {
    const std::string suffix = " Multi";
    const auto strip = [&](const std::string& s) {
        return s.size() >= suffix.size() &&
                       s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0
                   ? s.substr(0, s.size() - suffix.size())
                   : s;
    };
    return SameName(strip(ours), strip(theirs));
}

std::string CompareFloats(const char* what, const std::vector<float>& ours,
                          const std::vector<float>& theirs, const std::set<uint32_t>& exact,
                          bool requireExact = true) {
    if (ours.size() != theirs.size()) {
        return std::string(what) + ": " + std::to_string(ours.size()) + " values against " +
               std::to_string(theirs.size());
    }
    for (size_t i = 0; i < ours.size(); ++i) {
        const uint32_t a = Bits(ours[i]), b = Bits(theirs[i]);
        // Every number of ours is one written in the file, correctly rounded.
        if (requireExact && ours[i] != 0 && exact.count(a) == 0) {
            std::ostringstream out;
            out.precision(9);
            out << what << "[" << i << "]: " << ours[i] << " is no number of the file";
            return out.str();
        }
        if (a == b) continue;
        const uint32_t apart = a > b ? a - b : b - a;
        if (apart == 1 && exact.count(a) != 0) continue;
        std::ostringstream out;
        out.precision(9);
        out << what << "[" << i << "]: " << ours[i] << " against " << theirs[i];
        return out.str();
    }
    return {};
}

template <class T>
std::string CompareInts(const char* what, const std::vector<T>& ours,
                        const std::vector<T>& theirs) {
    if (ours == theirs) return {};
    if (ours.size() != theirs.size()) {
        return std::string(what) + ": " + std::to_string(ours.size()) + " values against " +
               std::to_string(theirs.size());
    }
    for (size_t i = 0; i < ours.size(); ++i) {
        if (ours[i] != theirs[i]) {
            return std::string(what) + "[" + std::to_string(i) + "]: " + std::to_string(ours[i]) +
                   " against " + std::to_string(theirs[i]);
        }
    }
    return {};
}

std::string CompareMeshes(const kvoscene::Mesh& a, const kvoscene::Mesh& b,
                          const std::set<uint32_t>& exact) {
    std::string d;
    const bool requireExact = !exact.empty();
    if (!(d = CompareFloats("positions", a.positions, b.positions, exact, requireExact)).empty()) {
        return d;
    }
    if (!(d = CompareInts("faces", a.faces, b.faces)).empty()) return d;
    if (!(d = CompareInts("material IDs", a.materialIds, b.materialIds)).empty()) return d;
    if (!(d = CompareInts("smoothing", a.smoothing, b.smoothing)).empty()) return d;
    if (!(d = CompareFloats("normals", a.normals, b.normals, exact, requireExact)).empty())
        return d;
    if (!(d = CompareFloats("uvs", a.uvs, b.uvs, exact, requireExact)).empty()) return d;
    if (!(d = CompareFloats("colours", a.colors, b.colors, exact, false)).empty()) return d;
    if (a.uvFaceMode != b.uvFaceMode || a.colorFaceMode != b.colorFaceMode) {
        return "channel face modes";
    }
    if (!(d = CompareInts("uv faces", a.uvFaces, b.uvFaces)).empty()) return d;
    return CompareInts("colour faces", a.colorFaces, b.colorFaces);
}

}  // namespace

std::set<uint32_t> ExactNumbersOf(const std::string& objText) {
    std::set<uint32_t> exact;
    std::istringstream words(objText);
    for (std::string word; words >> word;) {
        char* end = nullptr;
        const float f = std::strtof(word.c_str(), &end);
        if (end == word.c_str() || *end != '\0') continue;
        exact.insert(Bits(f));
        exact.insert(Bits(-f));
    }
    return exact;
}

std::string CompareObjScenes(const kvoscene::Scene& ours, const kvoscene::Scene& theirs,
                             const std::set<uint32_t>& exact) {
    if (ours.materials.size() != theirs.materials.size()) {
        return std::to_string(ours.materials.size()) + " materials against " +
               std::to_string(theirs.materials.size());
    }
    for (size_t i = 0; i < ours.materials.size(); ++i) {
        const kvoscene::Material& a = ours.materials[i];
        const kvoscene::Material& b = theirs.materials[i];
        if (!SameMaterialName(a.name, b.name) || a.multi != b.multi ||
            a.hasDiffuseMap != b.hasDiffuseMap || a.diffuseMap != b.diffuseMap ||
            a.embeddedDiffuseMap != b.embeddedDiffuseMap || a.subs != b.subs) {
            return "material " + std::to_string(i) + " '" + a.name + "' map '" + a.diffuseMap +
                   "' against '" + b.name + "' map '" + b.diffuseMap + "'";
        }
    }
    if (ours.nodes.size() != theirs.nodes.size()) {
        return std::to_string(ours.nodes.size()) + " nodes against " +
               std::to_string(theirs.nodes.size());
    }
    for (size_t i = 0; i < ours.nodes.size(); ++i) {
        const kvoscene::Node& a = ours.nodes[i];
        const kvoscene::Node& b = theirs.nodes[i];
        const std::string label = "node " + std::to_string(i) + " '" + a.name + "': ";
        if (!SameName(a.name, b.name)) return label + "named '" + b.name + "' by Assimp";
        if (a.parent != b.parent || a.kind != b.kind || a.material != b.material) {
            return label + "parent, kind or material";
        }
        if (std::memcmp(a.transform, b.transform, sizeof a.transform) != 0) {
            return label + "transform";
        }
        const std::string d = CompareMeshes(a.mesh, b.mesh, exact);
        if (!d.empty()) return label + d;
    }
    return {};
}

}  // namespace clitest
