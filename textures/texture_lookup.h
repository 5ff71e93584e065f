// The one rule by which a texture name of a scene is found on disk, used by
// the export's checks, the report, the depfile, the copies, the --preview
// pictures and `kvo render`:
//   1. the path as the scene names it, relative to the scene's folder
//      ('\' read as a separator; a drive-letter or UNC path is Windows's own
//      and cannot be looked at here);
//   2. its last component in the scene's folder;
//   3. its last component in each search folder, in order;
// each step first with the name's letter case, then ignoring it. Only a file
// whose content is an image counts; importer placeholders are no texture.
#pragma once

#include <string>
#include <vector>

#include "textures/image_format.h"

namespace kvotextures {

struct TextureSearch {
    std::string sceneDir;                 // "" for the working directory
    std::vector<std::string> searchDirs;  // the --texture-path folders, in order
};

struct TextureLookup {
    std::string path;  // the image found; "" when none
    ImageFormat format = ImageFormat::kNone;
    std::vector<std::string> looked;  // every place looked at, in order
    std::string notImage;             // the first file met whose content is no image
};

// A name an importer makes up when the file names no texture ("$texture_dummy.bmp").
bool IsPlaceholderTexture(const std::string& name);

// The last component of a name written on either system (after '/' or '\').
std::string TextureFileName(const std::string& name);

TextureLookup LookupTexture(const std::string& name, const TextureSearch& search);

}  // namespace kvotextures
