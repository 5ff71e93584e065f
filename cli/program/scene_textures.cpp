#include "cli/program/scene_textures.h"

#include <cctype>
#include <filesystem>
#include <set>

#include "cli/checks/printable_text.h"
#include "hostdrive/scene_selection.h"
#include "textures/texture_lookup.h"

namespace kvocli {

namespace {

namespace fs = std::filesystem;
using kvochecks::Quoted;
using kvochecks::WarningCode;

// The standard materials the selected root children's face groups use.
std::set<size_t> UsedMaterials(const kvoscene::Scene& scene,
                               const std::vector<std::string>& globs) {
    std::set<size_t> used;
    for (const kvoscene::Node& node : scene.nodes) {
        if (node.parent != kvoscene::kNone || node.kind != kvoscene::NodeKind::Geometry ||
            !hostdrive::IsSelected(node, globs)) {
            continue;
        }
        const std::set<uint16_t> ids(node.mesh.materialIds.begin(), node.mesh.materialIds.end());
        for (uint16_t id : ids) {
            const kvoscene::Material* mat = kvoscene::GroupMaterial(scene, node, id);
            if (mat != nullptr && !mat->multi)
                used.insert(static_cast<size_t>(mat - &scene.materials[0]));
        }
    }
    return used;
}

// Letters, digits, '-' and '.' stay; anything else (separators, spaces,
// control characters) becomes '_'.
std::string FileNamePart(const std::string& text) {
    std::string out;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        out += std::isalnum(u) || c == '-' || c == '.' ? c : '_';
    }
    while (!out.empty() && out[0] == '.') out.erase(0, 1);
    if (out.find_first_not_of('_') == std::string::npos) return "";
    return out.substr(0, 64);
}

class Preparer {
public:
    Preparer(const SceneTextureSettings& settings,
             const std::vector<kvoimport::EmbeddedImage>& embedded,
             kvooutputs::TextureCopies* copies, SceneTextures& out)
        : settings_(settings), embedded_(embedded), copies_(copies), out_(out) {}

    void Material(kvoscene::Material& mat) {
        if (mat.hasDiffuseMap && kvotextures::IsPlaceholderTexture(mat.diffuseMap)) {
            // An importer's stand-in name: there is no texture to name.
            mat.hasDiffuseMap = false;
            mat.diffuseMap.clear();
        } else if (mat.embeddedDiffuseMap) {
            if (copies_ != nullptr) Extract(mat);
        } else if (mat.hasDiffuseMap) {
            FileTexture(mat);
        }
    }

private:
    void Warn(WarningCode code, const std::string& text) {
        out_.warnings.push_back({code, "", text});
    }

    void Took(kvoscene::Material& mat, const kvooutputs::TextureCopy& copy,
              const std::string& wanted) {
        // Absolute, so the checks find the copy whatever the scene's folder.
        std::error_code ec;
        const fs::path absolute = fs::absolute(copy.file, ec);
        mat.diffuseMap = ec ? copy.file : absolute.lexically_normal().string();
        mat.hasDiffuseMap = true;
        mat.embeddedDiffuseMap = false;
        out_.found[copy.name] = copy.file;
        if (seen_.insert(copy.file).second) out_.copies.push_back(copy);
        if (copy.renamed && warned_.insert(copy.file).second) {
            Warn(WarningCode::kTextureNameCollision,
                 "material " + Quoted(mat.name) + ": another file is " +
                     Quoted(fs::path(copy.file).parent_path().append(wanted).string()) +
                     "; the texture is copied as " + Quoted(copy.name));
        }
        if (!copy.notResized.empty() && resizeWarned_.insert(copy.file).second) {
            Warn(WarningCode::kTextureNotResized,
                 "material " + Quoted(mat.name) + ": texture " + Quoted(copy.name) +
                     " copied at its own size: " + copy.notResized);
        }
    }

    void FileTexture(kvoscene::Material& mat) {
        const std::string name = mat.diffuseMap.substr(0, mat.diffuseMap.find('\0'));
        const kvotextures::TextureLookup lookup = kvotextures::LookupTexture(
            name, {fs::path(settings_.scenePath).parent_path().string(), settings_.options->paths});
        if (lookup.path.empty()) return;  // the checks warn
        out_.files.push_back(fs::path(lookup.path).lexically_normal().string());
        const std::string stored = kvotextures::TextureFileName(name);
        out_.found.emplace(stored, lookup.path);
        if (copies_ == nullptr) return;
        kvooutputs::TextureCopy copy;
        std::string error;
        if (!copies_->CopyFile(lookup.path, settings_.outputDir, stored, copy, error)) {
            Warn(WarningCode::kTextureMissing, "material " + Quoted(mat.name) + ": texture " +
                                                   Quoted(stored) + " not copied: " + error);
            return;
        }
        Took(mat, copy, stored);
    }

    void Extract(kvoscene::Material& mat) {
        const kvoimport::EmbeddedImage* image = nullptr;
        for (const kvoimport::EmbeddedImage& candidate : embedded_) {
            if (candidate.reference == mat.diffuseMap) image = &candidate;
        }
        if (image == nullptr) return;  // raw texels: the checks warn
        const kvotextures::ImageFormat format =
            kvotextures::SniffImage(image->bytes.data(), image->bytes.size(), image->bytes.size());
        if (format == kvotextures::ImageFormat::kNone) {
            Warn(WarningCode::kTextureNotImage,
                 "material " + Quoted(mat.name) + ": the texture held in the scene file (" +
                     Quoted(mat.diffuseMap) + ") is no image this program reads; not extracted");
            return;
        }
        const std::string name =
            ExtractedName(settings_.scenePath, *image, kvotextures::FormatExtension(format));
        kvooutputs::TextureCopy copy;
        std::string error;
        if (!copies_->WriteBytes(settings_.scenePath + "#" + image->reference, image->bytes,
                                 settings_.outputDir, name, copy, error)) {
            Warn(WarningCode::kTextureMissing,
                 "material " + Quoted(mat.name) +
                     ": texture held in the scene not extracted: " + error);
            return;
        }
        Took(mat, copy, name);
    }

    const SceneTextureSettings& settings_;
    const std::vector<kvoimport::EmbeddedImage>& embedded_;
    kvooutputs::TextureCopies* copies_;
    SceneTextures& out_;
    std::set<std::string> seen_, warned_, resizeWarned_;
};

}  // namespace

std::string ExtractedName(const std::string& scenePath, const kvoimport::EmbeddedImage& image,
                          const char* extension) {
    std::string part = FileNamePart(fs::path(image.name).stem().string());
    if (part.empty()) {
        // "*3" is the fourth image of the file.
        const std::string& ref = image.reference;
        part = ref.size() > 1 && ref[0] == '*' ? FileNamePart(ref.substr(1)) : "";
        if (part.empty()) part = FileNamePart(fs::path(ref).stem().string());
        if (part.empty()) part = "image";
    }
    std::string stem = FileNamePart(fs::path(scenePath).stem().string());
    if (stem.empty()) stem = "scene";
    return stem + "_" + part + "." + extension;
}

SceneTextures PrepareSceneTextures(kvoscene::Scene& scene, const SceneTextureSettings& settings,
                                   const std::vector<kvoimport::EmbeddedImage>& embedded,
                                   kvooutputs::TextureCopies* copies) {
    SceneTextures out;
    static const TextureOptions kNoOptions;
    SceneTextureSettings with = settings;
    if (with.options == nullptr) with.options = &kNoOptions;
    Preparer preparer(with, embedded, copies, out);
    for (size_t index : UsedMaterials(scene, settings.selectGlobs)) {
        preparer.Material(scene.materials[index]);
    }
    return out;
}

}  // namespace kvocli
