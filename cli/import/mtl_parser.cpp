#include "cli/import/mtl_parser.h"

#include <cctype>
#include <cstring>

namespace kvoimport {

namespace {

bool IsLineBreak(char c) {
    return c == '\n' || c == '\r' || c == '\0' || c == '\f';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool SameWord(const char* first, const char* last, const char* word) {
    const size_t length = std::strlen(word);
    if (static_cast<size_t>(last - first) != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::tolower(static_cast<unsigned char>(first[i])) != word[i]) return false;
    }
    return true;
}

std::string Trimmed(const char* first, const char* last) {
    while (first < last && std::isspace(static_cast<unsigned char>(*first))) ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(last[-1]))) --last;
    return std::string(first, last);
}

struct TextureWord {
    const char* word;  // lower case
    ObjTextureSlot slot;
};

constexpr TextureWord kTextureWords[] = {
    {"map_kd", kObjDiffuse},  {"map_ks", kObjSpecular}, {"map_ka", kObjAmbient},
    {"map_ke", kObjEmissive}, {"map_bump", kObjHeight}, {"bump", kObjHeight},
    {"norm", kObjNormals},    {"map_kn", kObjNormals},  {"map_ns", kObjShininess},
    {"map_d", kObjOpacity},
};

// newmtl: the rest of the line, trimmed; alone it names the default material.
bool NewMaterial(const char* word, const char* end, ObjModel& model, std::string& reason) {
    const char* rest = word;
    while (rest < end && !IsBlank(*rest)) ++rest;
    if (!SameWord(word, rest, "newmtl")) {
        reason = "the .mtl statement '" + std::string(word, rest) + "'";
        return false;
    }
    std::string name = Trimmed(rest, end);
    if (name.empty()) name = kObjDefaultMaterial;
    if (name.size() > kObjMaxName) {
        reason = "a material name too long";
        return false;
    }
    bool added = false;
    const uint32_t index = ObjMaterialOf(model, name, added);
    model.currentMaterial = index;
    if (added && model.currentMesh != kObjNoIndex) model.meshes[model.currentMesh].material = index;
    return true;
}

bool Texture(const char* word, const char* end, ObjModel& model, std::string& reason) {
    const char* rest = word;
    while (rest < end && !IsBlank(*rest)) ++rest;
    const TextureWord* known = nullptr;
    for (const TextureWord& t : kTextureWords) {
        if (SameWord(word, rest, t.word)) known = &t;
    }
    if (known == nullptr) {
        reason = "the .mtl statement '" + std::string(word, rest) + "'";
        return false;
    }
    if (model.currentMaterial == kObjNoIndex) {
        reason = "a texture before any material in the .mtl";
        return false;
    }
    while (rest < end && IsBlank(*rest)) ++rest;
    if (rest < end && *rest == '-') {
        reason = "texture options in the .mtl";
        return false;
    }
    // The name is the rest of the line as it stands, trailing blanks too.
    if (static_cast<size_t>(end - rest) > kObjMaxName) {
        reason = "a texture name too long";
        return false;
    }
    model.materials[model.currentMaterial].textures[known->slot].assign(rest, end);
    return true;
}

}  // namespace

bool ParseMtl(const char* data, size_t size, ObjModel& model, std::string& reason) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    if ((size >= 3 && bytes[0] == 0xef && bytes[1] == 0xbb && bytes[2] == 0xbf) ||
        (size >= 2 &&
         ((bytes[0] == 0xfe && bytes[1] == 0xff) || (bytes[0] == 0xff && bytes[1] == 0xfe)))) {
        reason = "a byte order mark in the .mtl";
        return false;
    }
    const char* p = data;
    const char* const end = data + size;
    bool first = true;
    while (p < end) {
        // Blanks open every line but the first, which they make ignored.
        if (!first) {
            while (p < end && IsBlank(*p)) ++p;
        }
        first = false;
        const char* lineEnd = p;
        while (lineEnd < end && !IsLineBreak(*lineEnd)) ++lineEnd;
        if (lineEnd > p) {
            const char c = *p;
            const char c1 = lineEnd - p > 1 ? p[1] : '\0';
            bool ok = true;
            if ((c == 'n' || c == 'N') && c1 == 'e') {
                ok = NewMaterial(p, lineEnd, model, reason);
            } else if (((c == 'n' || c == 'N') && c1 == 'o') || c == 'm' || c == 'b' || c == 'r' ||
                       (c == 'd' && lineEnd - p >= 4 && std::memcmp(p, "disp", 4) == 0)) {
                ok = Texture(p, lineEnd, model, reason);
            }
            if (!ok) return false;
        }
        p = lineEnd < end ? lineEnd + 1 : end;
    }
    return true;
}

}  // namespace kvoimport
