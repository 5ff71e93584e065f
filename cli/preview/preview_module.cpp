#include "cli/preview/preview_module.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace kvopreview {

std::string PreviewModulePath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::filesystem::path dir = ec ? std::filesystem::path(".") : self.parent_path();
    return (dir / ".." / "lib" / "kvoexp_preview.so").lexically_normal().string();
}

PreviewReport DrawPreviewsInModule(const PreviewRequest& request) {
    PreviewReport report;
    if (request.files.empty()) return report;
    const std::string path = PreviewModulePath();
    // Kept loaded to the end: OpenGL libraries do not all unload cleanly.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto draw =
        module ? reinterpret_cast<DrawPreviewsFunction>(dlsym(module, kDrawPreviewsEntry))
               : nullptr;
    if (!draw) {
        const char* cause = dlerror();
        report.warnings.push_back("no pictures drawn: cannot load " + path + ": " +
                                  (cause ? cause : "no entry point"));
        return report;
    }
    draw(request, &report);
    return report;
}

}  // namespace kvopreview
