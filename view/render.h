// Pictures of KVO files, drawn off screen with OpenGL in software: one picture
// of several files together, or a contact sheet with one tile per file.
// Warnings are plain sentences without a program prefix.
#pragma once

#include <string>
#include <vector>

#include "view/image.h"
#include "view/render_options.h"

namespace kvoview {

// One picture of all `files` together, framed on their common bounding box.
// False (with `error`) when a file cannot be loaded or nothing can be drawn.
bool RenderKvoFiles(const std::vector<std::string>& files, const RenderOptions& options, Image* out,
                    std::vector<std::string>* warnings, std::string* error);

// A grid of tiles, one per file in order: a picture of options.width x
// options.height, each framed on its own file, with the file's name below.
// A file that cannot be loaded gives an empty tile and a warning.
bool RenderContactSheet(const std::vector<std::string>& files, const RenderOptions& options,
                        Image* out, std::vector<std::string>* warnings, std::string* error);

// One tile of a sheet whose files look up their textures in folders of their
// own (empty: options.textureDirs, or else the file's folder).
struct SheetFile {
    std::string path;
    std::vector<std::string> textureDirs;
};
bool RenderContactSheet(const std::vector<SheetFile>& files, const RenderOptions& options,
                        Image* out, std::vector<std::string>* warnings, std::string* error);

// Height of the name strip below each tile of a sheet with tiles `width` wide.
int LabelHeight(int width);

}  // namespace kvoview
