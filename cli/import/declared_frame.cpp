#include "cli/import/declared_frame.h"

#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kvoimport {

namespace {

enum class Format { Other, Fbx, Collada, Gltf, Stl, Blender, ThreeDs };

bool StartsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

std::string LowerExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// The importer that read the file names itself in the metadata; the
// extension answers for files without it.
Format FormatOf(const aiScene& ai, const std::string& path) {
    aiString name;
    if (ai.mMetaData && ai.mMetaData->Get("SourceAsset_Format", name)) {
        const std::string format(name.C_Str(), name.length);
        if (StartsWith(format, "Autodesk FBX")) return Format::Fbx;
        if (StartsWith(format, "Collada")) return Format::Collada;
        if (StartsWith(format, "glTF")) return Format::Gltf;
        if (StartsWith(format, "Stereolithography")) return Format::Stl;
        if (StartsWith(format, "Blender")) return Format::Blender;
        if (StartsWith(format, "Discreet 3DS")) return Format::ThreeDs;
        return Format::Other;
    }
    const std::string ext = LowerExtension(path);
    if (ext == "fbx") return Format::Fbx;
    if (ext == "dae") return Format::Collada;
    if (ext == "gltf" || ext == "glb") return Format::Gltf;
    if (ext == "stl") return Format::Stl;
    if (ext == "blend") return Format::Blender;
    if (ext == "3ds") return Format::ThreeDs;
    return Format::Other;
}

// The shortest decimal that reads back as `f`: a file's 2.54 stored as a
// float is 2.54, not 2.5399999618.
double ShortestDecimal(float f) {
    char text[32];
    for (int digits = 6; digits < 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(f));
        if (std::strtof(text, nullptr) == f) return std::strtod(text, nullptr);
    }
    return f;
}

// A number of the metadata, stored as any of the numeric kinds.
bool MetaNumber(const aiMetadata* meta, const char* key, double& value) {
    if (meta == nullptr || meta->mKeys == nullptr || meta->mValues == nullptr) return false;
    const aiMetadataEntry* entry = nullptr;
    for (unsigned i = 0; i < meta->mNumProperties && entry == nullptr; ++i) {
        if (std::strcmp(meta->mKeys[i].C_Str(), key) == 0) entry = &meta->mValues[i];
    }
    if (entry == nullptr || entry->mData == nullptr) return false;
    switch (entry->mType) {
        case AI_INT32:
            value = *static_cast<const int32_t*>(entry->mData);
            return true;
        case AI_UINT64:
            value = static_cast<double>(*static_cast<const uint64_t*>(entry->mData));
            return true;
        case AI_FLOAT:
            value = ShortestDecimal(*static_cast<const float*>(entry->mData));
            return true;
        case AI_DOUBLE:
            value = *static_cast<const double*>(entry->mData);
            return true;
        default:
            return false;
    }
}

// FBX's axis settings: which file axis (0..2) and sign are right (Coord),
// up and front; Y-up's own are X, Y, Z, all positive.
bool FbxAxes(const aiMetadata* meta, SignedAxes& toYUp) {
    const char* keys[3][2] = {
        {"CoordAxis", "CoordAxisSign"}, {"UpAxis", "UpAxisSign"}, {"FrontAxis", "FrontAxisSign"}};
    SignedAxes axes;
    for (int i = 0; i < 3; ++i) {
        double axis = 0, sign = 0;
        if (!MetaNumber(meta, keys[i][0], axis) || !MetaNumber(meta, keys[i][1], sign)) {
            return false;
        }
        if (!(axis == 0 || axis == 1 || axis == 2) || !(sign == 1 || sign == -1)) return false;
        axes.axis[i] = static_cast<uint8_t>(axis);
        axes.sign[i] = static_cast<int8_t>(sign);
    }
    if (!axes.Valid()) return false;
    toYUp = axes;
    return true;
}

// The root turns Z-up into Y-up exactly, at most scaled evenly (Collada's
// <unit>): the importer has already done it.
bool RootTurnsZUp(const aiScene& ai) {
    if (ai.mRootNode == nullptr) return false;
    const aiMatrix4x4& m = ai.mRootNode->mTransformation;
    const float s = m.a1;
    return s > 0 && m.a2 == 0 && m.a3 == 0 && m.b1 == 0 && m.b2 == 0 && m.b3 == s && m.c1 == 0 &&
           m.c2 == -s && m.c3 == 0;
}

}  // namespace

DeclaredFrame ReadDeclaredFrame(const aiScene& ai, const std::string& path) {
    DeclaredFrame d;
    switch (FormatOf(ai, path)) {
        case Format::Fbx: {
            double cmPerUnit = 0;
            if (MetaNumber(ai.mMetaData, "UnitScaleFactor", cmPerUnit) && cmPerUnit > 0 &&
                std::isfinite(cmPerUnit)) {
                d.metresPerUnit = cmPerUnit / 100;
            }
            FbxAxes(ai.mMetaData, d.toYUp);
            break;
        }
        case Format::Collada:
            d.metresPerUnit = 1;
            d.importerTurned = RootTurnsZUp(ai);
            break;
        case Format::Gltf:
            d.metresPerUnit = 1;
            break;
        case Format::Stl:
        case Format::Blender:
        case Format::ThreeDs:
            d.importerTurned = RootTurnsZUp(ai);
            if (!d.importerTurned) d.toYUp = ZUpToYUpAxes();
            break;
        case Format::Other:
            break;
    }
    return d;
}

void ConvertFrame(const DeclaredFrame& declared, const FrameSettings& settings,
                  kvoscene::Scene& scene) {
    SignedAxes toYUp = declared.toYUp;
    if (settings.up == UpChoice::Y) toYUp = SignedAxes();
    if (settings.up == UpChoice::Z && !declared.importerTurned) toYUp = ZUpToYUpAxes();
    const double factor = UnitFactor(settings, declared.metresPerUnit);
    const bool asked = settings.units != Unit::None || settings.scale != 1;
    const bool turned = declared.importerTurned && settings.up != UpChoice::Y;
    if (toYUp.Identity() && !asked && !turned) return;
    ApplyFrame(scene, HostChange(toYUp), factor);
    scene.frame.recorded = true;
    // A scene the importer turned was Z-up in its file.
    scene.frame.up = turned ? 2 : UpCode(toYUp);
    scene.frame.factor = factor;
}

}  // namespace kvoimport
