// Loads the drawing module kvoexp_preview.so only when pictures are asked
// for: OpenGL in software (and the compiler it brings) would otherwise slow
// the start of the program and of every import worker.
#pragma once

#include "cli/preview/preview.h"

namespace kvopreview {

// The module's path: ../lib/kvoexp_preview.so relative to the running executable.
std::string PreviewModulePath();

// Draws the pictures through the module; a module that cannot be loaded is
// one warning in the report.
PreviewReport DrawPreviewsInModule(const PreviewRequest& request);

}  // namespace kvopreview
