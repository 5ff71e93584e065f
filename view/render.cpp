// Loading files, drawing them on a canvas and laying out contact sheets.
#include "view/render.h"

#include <cmath>
#include <filesystem>

#include "kvo/kvo_geode.h"
#include "view/gl_canvas.h"
#include "view/mesh_parts.h"
#include "view/scene_drawer.h"
#include "view/text_draw.h"

namespace kvoview {

namespace {

const uint8_t kSheetBackground[4] = {30, 31, 35, 255};
const uint8_t kLabelColour[4] = {225, 225, 225, 255};
constexpr int kTileGap = 4;

bool CheckSize(const RenderOptions& options, std::string* error) {
    if (options.width >= 1 && options.height >= 1 && options.width <= RenderOptions::kMaxSide &&
        options.height <= RenderOptions::kMaxSide) {
        return true;
    }
    if (error) {
        *error = "picture size " + std::to_string(options.width) + "x" +
                 std::to_string(options.height) + " outside 1.." +
                 std::to_string(RenderOptions::kMaxSide);
    }
    return false;
}

// Loads `file` and appends its parts; false with the reader's cause.
bool AddFile(const std::string& file, MeshSet* set, std::vector<std::string>* warnings,
             std::string* error) {
    KvoGeode geode(file);
    if (!geode.Load()) {
        *error = "cannot load '" + file + "': " + geode.error;
        return false;
    }
    const std::string folder = std::filesystem::path(file).parent_path().string();
    ExtractMeshParts(geode, file, folder.empty() ? "." : folder, set, warnings);
    return true;
}

}  // namespace

int LabelHeight(int width) {
    return TextHeight(width >= 256 ? 2 : 1) + 8;
}

bool RenderKvoFiles(const std::vector<std::string>& files, const RenderOptions& options, Image* out,
                    std::vector<std::string>* warnings, std::string* error) {
    std::string cause;
    std::vector<std::string> ignored;
    if (!warnings) warnings = &ignored;
    if (!CheckSize(options, &cause)) {
        if (error) *error = cause;
        return false;
    }
    MeshSet set;
    for (const std::string& file : files) {
        if (!AddFile(file, &set, warnings, &cause)) {
            if (error) *error = cause;
            return false;
        }
    }
    if (set.parts.empty()) warnings->push_back("no triangles to draw");
    GlCanvas canvas;
    if (!canvas.Create(options.width, options.height, &cause)) {
        if (error) *error = cause;
        return false;
    }
    SceneDrawer drawer(options);
    drawer.Draw(set, options.width, options.height, warnings);
    canvas.Read(out);
    return true;
}

bool RenderContactSheet(const std::vector<std::string>& files, const RenderOptions& options,
                        Image* out, std::vector<std::string>* warnings, std::string* error) {
    std::vector<SheetFile> tiles;
    for (const std::string& file : files) tiles.push_back({file, {}});
    return RenderContactSheet(tiles, options, out, warnings, error);
}

bool RenderContactSheet(const std::vector<SheetFile>& files, const RenderOptions& options,
                        Image* out, std::vector<std::string>* warnings, std::string* error) {
    std::string cause;
    std::vector<std::string> ignored;
    if (!warnings) warnings = &ignored;
    if (!CheckSize(options, &cause) || files.empty()) {
        if (error) *error = files.empty() ? "no files" : cause;
        return false;
    }
    const int count = static_cast<int>(files.size());
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    const int rows = (count + columns - 1) / columns;
    const int labelHeight = LabelHeight(options.width);
    const int tileWidth = options.width + kTileGap, tileHeight = options.height + labelHeight;
    const int64_t sheetWidth = int64_t{columns} * tileWidth + kTileGap;
    const int64_t sheetHeight = int64_t{rows} * tileHeight + kTileGap;
    if (sheetWidth * sheetHeight > int64_t{RenderOptions::kMaxSide} * RenderOptions::kMaxSide) {
        if (error) *error = "a sheet of " + std::to_string(count) + " tiles is too large";
        return false;
    }
    GlCanvas canvas;
    if (!canvas.Create(options.width, options.height, &cause)) {
        if (error) *error = cause;
        return false;
    }
    out->Resize(static_cast<int>(sheetWidth), static_cast<int>(sheetHeight), kSheetBackground);
    SceneDrawer drawer(options);  // textures are shared by the tiles
    const int scale = options.width >= 256 ? 2 : 1;
    for (int i = 0; i < count; ++i) {
        const int x = kTileGap + (i % columns) * tileWidth;
        const int y = kTileGap + (i / columns) * tileHeight;
        MeshSet set;
        std::string name = std::filesystem::path(files[i].path).stem().string();
        if (!AddFile(files[i].path, &set, warnings, &cause)) {
            warnings->push_back(cause);
            name += " (unreadable)";
        }
        drawer.SetTextureDirs(files[i].textureDirs.empty() ? options.textureDirs
                                                           : files[i].textureDirs);
        drawer.Draw(set, options.width, options.height, warnings);
        Image tile;
        canvas.Read(&tile);
        out->Blit(tile, x, y);
        const std::string label = FitText(name, options.width, scale);
        DrawText(out, x + (options.width - TextWidth(label, scale)) / 2, y + options.height + 4,
                 label, kLabelColour, scale);
    }
    return true;
}

}  // namespace kvoview
