// Draws mesh parts with OpenGL into the current context, in one of the modes.
// Textures are loaded once per file and kept for the context's lifetime.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "view/image.h"
#include "view/mesh_parts.h"
#include "view/render_options.h"

namespace kvoview {

// Background of every picture.
extern const float kBackground[3];

class SceneDrawer {
public:
    explicit SceneDrawer(const RenderOptions& options)
        : options_(options), textureDirs_(options.textureDirs) {}

    // Where texture names are looked up from the next Draw on; empty: each
    // material's file's folder.
    void SetTextureDirs(const std::vector<std::string>& dirs) { textureDirs_ = dirs; }

    // Clears the canvas and draws `set` framed on its bounding box; a set
    // without triangles leaves the background alone.
    void Draw(const MeshSet& set, int width, int height, std::vector<std::string>* warnings);

private:
    unsigned TextureFor(const MaterialInfo& material, std::vector<std::string>* warnings);
    unsigned Upload(const Image& image, bool nearest);
    void DrawPart(const MeshPart& part, const MeshSet& set, std::vector<std::string>* warnings);
    void DrawShaded(const MeshPart& part, const MeshSet& set, std::vector<std::string>* warnings);

    const RenderOptions& options_;
    std::vector<std::string> textureDirs_;
    std::map<std::string, unsigned> textures_;  // by resolved path
    std::set<std::string> warned_;              // texture names and folders already reported
    unsigned missing_ = 0;
    unsigned uvChecker_ = 0;
};

}  // namespace kvoview
