// Texture lookup in folders and the generated checkers.
#include "view/textures.h"

#include <cctype>
#include <filesystem>
#include <system_error>

namespace kvoview {

namespace {

namespace fs = std::filesystem;

bool IsFile(const fs::path& path) {
    std::error_code ignored;
    return fs::is_regular_file(path, ignored);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A file of `folder` whose name equals `name` ignoring letter case.
std::string FindIgnoringCase(const fs::path& folder, const std::string& name) {
    std::error_code error;
    const std::string wanted = Lower(name);
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (Lower(it->path().filename().string()) == wanted && IsFile(it->path())) {
            return it->path().string();
        }
    }
    return "";
}

Image Checker(int cells, int cellSize, void (*colour)(int i, int j, uint8_t rgba[4])) {
    Image image;
    const uint8_t black[4] = {0, 0, 0, 255};
    image.Resize(cells * cellSize, cells * cellSize, black);
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            uint8_t rgba[4];
            colour(i, j, rgba);
            // Row 0 is the top of the picture, where v is 1.
            image.FillRect(i * cellSize, (cells - 1 - j) * cellSize, cellSize, cellSize, rgba);
        }
    }
    return image;
}

// A relative name without backslashes or ".." parts stays inside the folder it is joined to.
bool StaysInside(const std::string& name) {
    if (name.find('\\') != std::string::npos || fs::path(name).is_absolute()) return false;
    for (const fs::path& part : fs::path(name)) {
        if (part == "..") return false;
    }
    return true;
}

}  // namespace

std::string FindTexture(const std::string& name, const std::vector<std::string>& folders) {
    if (name.empty()) return "";
    const size_t slash = name.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    if (base.empty() || base == "." || base == "..") return "";
    const bool inside = StaysInside(name);
    for (const std::string& folder : folders) {
        const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
        if (inside && IsFile(dir / name)) return (dir / name).string();
        if (IsFile(dir / base)) return (dir / base).string();
        const std::string found = FindIgnoringCase(dir, base);
        if (!found.empty()) return found;
    }
    return "";
}

Image MissingTextureChecker() {
    return Checker(8, 8, [](int i, int j, uint8_t rgba[4]) {
        const bool light = (i + j) % 2 == 0;
        rgba[0] = light ? 255 : 40;
        rgba[1] = light ? 0 : 40;
        rgba[2] = light ? 255 : 40;
        rgba[3] = 255;
    });
}

Image UvChecker() {
    return Checker(8, 32, [](int i, int j, uint8_t rgba[4]) {
        const double scale = (i + j) % 2 == 0 ? 1.0 : 0.55;
        rgba[0] = static_cast<uint8_t>(scale * (40 + 215 * i / 7));
        rgba[1] = static_cast<uint8_t>(scale * (40 + 215 * j / 7));
        rgba[2] = static_cast<uint8_t>(scale * 110);
        rgba[3] = 255;
    });
}

}  // namespace kvoview
