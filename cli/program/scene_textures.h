// A scene's textures before its host scene is built: importer placeholders
// dropped, each texture found by the one lookup rule, and with
// --copy-textures copied (or extracted from the scene file) into the output
// folder, the copy's name handed to the host in the material's map name so
// the .kvo and the shader file name the file that is there.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/checks/export_warnings.h"
#include "cli/import/embedded_images.h"
#include "cli/outputs/texture_copies.h"
#include "cli/program/texture_options.h"
#include "scene/compact_scene.h"

namespace kvocli {

struct SceneTextureSettings {
    std::string scenePath;
    std::string outputDir;
    std::vector<std::string> selectGlobs;
    const TextureOptions* options = nullptr;
};

struct SceneTextures {
    std::vector<kvooutputs::TextureCopy> copies;     // made or kept for this scene
    std::vector<std::string> files;                  // the texture files read
    std::vector<kvochecks::ExportWarning> warnings;  // collisions, failed copies
    std::map<std::string, std::string> found;        // name the .kvo stores -> file
};

// `copies` is null without --copy-textures.
SceneTextures PrepareSceneTextures(kvoscene::Scene& scene, const SceneTextureSettings& settings,
                                   const std::vector<kvoimport::EmbeddedImage>& embedded,
                                   kvooutputs::TextureCopies* copies);

// "<scene stem>_<image name or index>.<format>" for an image held in a scene.
std::string ExtractedName(const std::string& scenePath, const kvoimport::EmbeddedImage& image,
                          const char* extension);

}  // namespace kvocli
