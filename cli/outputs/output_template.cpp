#include "cli/outputs/output_template.h"

#include <cctype>
#include <filesystem>
#include <system_error>

namespace kvooutputs {

namespace {

namespace fs = std::filesystem;

constexpr const char* kScene = "{scene}";
constexpr const char* kDir = "{dir}";

// The length of a placeholder "{word}" starting at `at`, or 0.
size_t PlaceholderAt(const std::string& text, size_t at) {
    if (text[at] != '{') return 0;
    size_t end = at + 1;
    while (end < text.size() &&
           (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) {
        ++end;
    }
    if (end == at + 1 || end >= text.size() || text[end] != '}') return 0;
    return end + 1 - at;
}

bool Outside(const fs::path& relative) {
    return relative.empty() || *relative.begin() == "..";
}

// `path` without a trailing separator (but "/" stays).
std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

bool IsOutputTemplate(const std::string& text) {
    return text.find(kScene) != std::string::npos || text.find(kDir) != std::string::npos;
}

bool CheckOutputTemplate(const std::string& text, std::string& error) {
    for (size_t at = 0; at < text.size(); ++at) {
        const size_t n = PlaceholderAt(text, at);
        if (n == 0) continue;
        const std::string word = text.substr(at, n);
        if (word != kScene && word != kDir) {
            error = "unknown placeholder " + word + " in the output directory (known: " + kScene +
                    ", " + kDir + ")";
            return false;
        }
        at += n - 1;
    }
    return true;
}

bool SceneStem(const std::string& scenePath, std::string& stem, std::string& error) {
    const fs::path name = fs::path(scenePath).filename();
    if (name.empty() || name == "." || name == "..") {
        error = scenePath + ": names no file, so {scene} has no value";
        return false;
    }
    stem = name.stem().string();
    // "...obj" would give "..": a folder that leads out of the template's tree.
    if (stem == "." || stem == "..") {
        error = scenePath + ": its name without the extension is \"" + stem +
                "\", which cannot name a folder";
        return false;
    }
    return true;
}

bool SceneFolder(const std::string& scenePath, const std::string& workingDir, std::string& folder,
                 std::string& error) {
    const fs::path cwd = fs::path(workingDir).lexically_normal();
    const fs::path parent = (cwd / scenePath).lexically_normal().parent_path();
    fs::path relative = parent.lexically_relative(cwd);
    if (Outside(relative)) {
        // A path through a symbolic link may still lead inside.
        std::error_code ec1, ec2;
        const fs::path real = fs::weakly_canonical(parent, ec1);
        const fs::path realCwd = fs::weakly_canonical(cwd, ec2);
        if (!ec1 && !ec2) relative = real.lexically_relative(realCwd);
    }
    if (Outside(relative)) {
        error = scenePath +
                ": lies outside the working directory, so {dir} would lead the output out of "
                "its folder";
        return false;
    }
    folder = relative.string();
    return true;
}

bool ExpandOutputTemplate(const std::string& text, const std::string& scenePath,
                          const std::string& workingDir, std::string& out, std::string& error) {
    if (!CheckOutputTemplate(text, error)) return false;
    std::string stem, folder;
    const bool needsStem = text.find(kScene) != std::string::npos;
    const bool needsFolder = text.find(kDir) != std::string::npos;
    if (needsStem && !SceneStem(scenePath, stem, error)) return false;
    if (needsFolder && !SceneFolder(scenePath, workingDir, folder, error)) return false;
    std::string expanded;
    for (size_t at = 0; at < text.size();) {
        const size_t n = PlaceholderAt(text, at);
        if (n == 0) {
            expanded += text[at++];
            continue;
        }
        expanded += text.compare(at, n, kScene) == 0 ? stem : folder;
        at += n;
    }
    out = WithoutTrailingSlash(fs::path(expanded).lexically_normal().string());
    if (out.empty()) out = ".";
    return true;
}

}  // namespace kvooutputs
