// Pictures of an export: Name.png beside each written .kvo file and a contact
// sheet preview.png of them all in the output directory, drawn off screen.
// What cannot be drawn or written is a warning, never a failure. This code
// lives in the module kvoexp_preview.so (see preview_module.h).
#pragma once

#include <csignal>
#include <map>
#include <string>
#include <vector>

#include "cli/checks/written_files.h"

namespace kvopreview {

constexpr int kPreviewSide = 512;        // of each file's picture
constexpr int kSheetTileSide = 256;      // of a sheet's tiles, at most
constexpr int kSheetMinTileSide = 64;    // tiles shrink down to this for many files
constexpr int kSheetTargetWidth = 2048;  // the sheet's width they shrink for
constexpr const char kSheetName[] = "preview.png";

struct PreviewReport {
    std::vector<std::string> pictures;  // the PNG files written
    std::vector<std::string> warnings;  // without the program prefix
};

struct PreviewRequest {
    std::vector<kvochecks::WrittenFile> files;
    std::string outputDir;
    const volatile sig_atomic_t* interrupted = nullptr;  // stops between pictures once set
    bool showProgress = false;                           // a progress line on stderr
    std::vector<std::string> texturePaths;               // the --texture-path folders
    // Texture names as the files store them and the files the export's checks
    // found for them: drawn as found, so the pictures and the report agree.
    std::map<std::string, std::string> textureFiles;
};

// Side of the sheet's tiles for `count` files.
int SheetTileSide(size_t count);

// Draws the pictures of the request's files in the shaded mode, their textures
// taken from textureFiles, else looked up by the one rule from the output
// folder, then the scene file's folder and the --texture-path folders. A
// picture that would replace one of the textures or the sheet is left out.
PreviewReport DrawPreviews(const PreviewRequest& request);

// The module's entry point, looked up by this name.
constexpr const char kDrawPreviewsEntry[] = "KvoexpDrawPreviews";
using DrawPreviewsFunction = void (*)(const PreviewRequest& request, PreviewReport* report);

}  // namespace kvopreview
