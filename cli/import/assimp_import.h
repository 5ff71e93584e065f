// Reads a scene file with Assimp into a compact scene in the host's Z-up
// frame. Runs inside the import process (see import_worker.h).
#pragma once

#include <string>

#include "cli/import/units.h"
#include "scene/compact_scene.h"

namespace kvoimport {

struct ImportSettings {
    ImportSettings() = default;
    ImportSettings(bool collapse_, bool joinVertices_, bool embeddedImages_ = false,
                   FrameSettings frame_ = {})
        : collapse(collapse_),
          joinVertices(joinVertices_),
          embeddedImages(embeddedImages_),
          frame(frame_) {}

    // Merge each root child's subtree into that child's one mesh (the console
    // host turns it on unless told --no-collapse).
    bool collapse = false;
    // Merge vertices that are identical in every channel.
    bool joinVertices = true;
    // Hand over the images the scene file holds (for --copy-textures).
    bool embeddedImages = false;
    // The unit, scale and up axis the scene is converted to.
    FrameSettings frame;
};

class FilesRead;

// With `filesRead`, also records the files the import read (import_files.h).
bool ImportWithAssimp(const std::string& path, const ImportSettings& settings,
                      kvoscene::Scene& scene, std::string& error, FilesRead* filesRead = nullptr);

}  // namespace kvoimport
