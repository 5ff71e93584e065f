#include "cli/preview/preview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "kvo/kvo_geode.h"
#include "textures/texture_lookup.h"
#include "view/render.h"

namespace kvopreview {

namespace {

namespace fs = std::filesystem;

std::string Canonical(const std::string& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(path, ec);
    return ec ? fs::absolute(path, ec).lexically_normal().string() : canonical.string();
}

// After each file's own folder (the output folder): its scene's folder, the
// --texture-path folders; names the export found are taken from `known`.
std::vector<std::string> TextureDirs(const kvochecks::WrittenFile& file,
                                     const PreviewRequest& request) {
    const std::string sceneDir = fs::path(file.scene).parent_path().string();
    std::vector<std::string> dirs = {sceneDir.empty() ? "." : sceneDir};
    dirs.insert(dirs.end(), request.texturePaths.begin(), request.texturePaths.end());
    return dirs;
}

void AddTextures(const KvoMaterial* material, const std::string& folder,
                 const std::vector<std::string>& dirs, const PreviewRequest& request,
                 std::set<std::string>* found) {
    for (int i = 0; i < material->textureCount && i < KvoMaterial::kMaxTextures; ++i) {
        if (!material->textures[i]) continue;
        const std::string& name = *material->textures[i];
        const auto known = request.textureFiles.find(name);
        const std::string path = known != request.textureFiles.end()
                                     ? known->second
                                     : kvotextures::LookupTexture(name, {folder, dirs}).path;
        if (!path.empty()) found->insert(Canonical(path));
    }
    for (int i = 0; i < material->subMaterialCount && i < KvoMaterial::kMaxSubMaterials; ++i) {
        if (material->subMaterials[i]) {
            AddTextures(material->subMaterials[i], folder, dirs, request, found);
        }
    }
}

// The texture files the written files use, as the pictures would find them:
// no picture may be written over one of them.
std::set<std::string> UsedTextures(const PreviewRequest& request) {
    std::set<std::string> found;
    for (const kvochecks::WrittenFile& file : request.files) {
        KvoGeode geode(file.path);
        if (!geode.Load()) continue;  // the picture reports it
        const std::vector<std::string> dirs = TextureDirs(file, request);
        const std::string folder = fs::path(file.path).parent_path().string();
        for (int i = 0; i < geode.materialCount && i < KvoGeode::kMaxMaterials; ++i) {
            if (geode.materials[i]) {
                AddTextures(geode.materials[i], folder, dirs, request, &found);
            }
        }
    }
    return found;
}

class Progress {
public:
    Progress(bool show, size_t total) : show_(show), total_(total) {}
    ~Progress() {
        if (show_ && shown_) std::fprintf(stderr, "\r\033[K");
    }
    void Step(const std::string& what) {
        if (!show_) return;
        std::fprintf(stderr, "\r\033[Kdrawing preview %zu of %zu: %s", ++done_, total_,
                     what.c_str());
        std::fflush(stderr);
        shown_ = true;
    }

private:
    bool show_;
    size_t total_, done_ = 0;
    bool shown_ = false;
};

}  // namespace

int SheetTileSide(size_t count) {
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    return std::clamp(kSheetTargetWidth / std::max(columns, 1), kSheetMinTileSide, kSheetTileSide);
}

PreviewReport DrawPreviews(const PreviewRequest& request) {
    const std::vector<kvochecks::WrittenFile>& files = request.files;
    const std::string& outputDir = request.outputDir;
    PreviewReport report;
    if (files.empty()) return report;
    const auto stop = [&request] { return request.interrupted && *request.interrupted; };
    const std::set<std::string> textures = UsedTextures(request);
    const std::string sheetPath = (fs::path(outputDir) / kSheetName).string();
    const std::string sheetCanonical = Canonical(sheetPath);
    const auto warn = [&](const std::string& picture, const std::string& text) {
        report.warnings.push_back(picture + ": " + text);
    };
    std::set<std::string> reported;  // the sheet repeats the pictures' renderer warnings
    const auto warnOnce = [&](const std::string& picture, const std::string& text) {
        if (reported.insert(text).second) warn(picture, text);
    };

    Progress progress(request.showProgress, files.size() + 1);
    std::vector<kvoview::SheetFile> tiles;
    for (const kvochecks::WrittenFile& file : files) {
        if (stop()) return report;
        const std::vector<std::string> dirs = TextureDirs(file, request);
        tiles.push_back({file.path, dirs});
        const std::string picture = fs::path(file.path).replace_extension(".png").string();
        progress.Step(picture);
        const std::string canonical = Canonical(picture);
        if (textures.count(canonical)) {
            warn(picture, "not drawn: it would replace a texture of the export");
            continue;
        }
        if (canonical == sheetCanonical) {
            warn(picture, std::string("not drawn: ") + kSheetName + " is the run's contact sheet");
            continue;
        }
        kvoview::RenderOptions options;
        options.width = options.height = kPreviewSide;
        options.mode = kvoview::Mode::kShaded;
        options.textureDirs = dirs;
        options.textureFiles = request.textureFiles;
        kvoview::Image image;
        std::vector<std::string> warnings;
        std::string error;
        const bool drawn = kvoview::RenderKvoFiles({file.path}, options, &image, &warnings, &error);
        for (const std::string& warning : warnings) warnOnce(picture, warning);
        if (!drawn || !kvoview::WritePng(image, picture, &error)) {
            warn(picture, "not drawn: " + error);
            continue;
        }
        report.pictures.push_back(picture);
    }
    if (stop()) return report;
    progress.Step(sheetPath);
    if (textures.count(sheetCanonical)) {
        warn(sheetPath, "not drawn: it would replace a texture of the export");
        return report;
    }
    kvoview::RenderOptions options;
    options.width = options.height = SheetTileSide(tiles.size());
    options.textureFiles = request.textureFiles;
    kvoview::Image sheet;
    std::vector<std::string> warnings;
    std::string error;
    const bool drawn = kvoview::RenderContactSheet(tiles, options, &sheet, &warnings, &error);
    for (const std::string& warning : warnings) warnOnce(sheetPath, warning);
    if (!drawn || !kvoview::WritePng(sheet, sheetPath, &error)) {
        warn(sheetPath, "not drawn: " + error);
        return report;
    }
    report.pictures.push_back(sheetPath);
    return report;
}

}  // namespace kvopreview

extern "C" __attribute__((visibility("default"))) void KvoexpDrawPreviews(
    const kvopreview::PreviewRequest& request, kvopreview::PreviewReport* report) {
    *report = kvopreview::DrawPreviews(request);
}
