#include "textures/texture_lookup.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace kvotextures {

namespace {

namespace fs = std::filesystem;

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// The entry of `dir` whose name equals `name` ignoring letter case; of
// several, the least by byte order, so the choice does not depend on the
// order the folder lists them in.
std::string EntryIgnoringCase(const std::string& dir, const std::string& name) {
    const std::string wanted = Lower(name);
    std::string best;
    std::error_code error;
    for (fs::directory_iterator it(dir.empty() ? "." : dir, error), end; !error && it != end;
         it.increment(error)) {
        const std::string entry = it->path().filename().string();
        if (Lower(entry) == wanted && (best.empty() || entry < best)) best = entry;
    }
    return best;
}

// Follows `parts` down from `dir`, taking each part as written when it
// exists, else an entry that matches it ignoring case. "" when a part has no
// match or the end is no regular file.
std::string ResolveParts(std::string dir, const std::vector<std::string>& parts) {
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        const bool last = i + 1 == parts.size();
        std::string next = Join(dir, part);
        const bool exists = last ? IsRegularFile(next) : IsDirectory(next);
        if (!exists) {
            if (part == "." || part == "..") return "";
            const std::string entry = EntryIgnoringCase(dir, part);
            if (entry.empty()) return "";
            next = Join(dir, entry);
            if (last ? !IsRegularFile(next) : !IsDirectory(next)) return "";
        }
        dir = next;
    }
    return dir;
}

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

bool IsWindowsAbsolute(const std::string& name) {
    const bool drive =
        name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
    return drive || name.compare(0, 2, "\\\\") == 0 || name.compare(0, 2, "//") == 0;
}

class Search {
public:
    explicit Search(TextureLookup& out) : out_(out) {}

    // Looks at `dir` + `parts`; true once an image is found.
    bool Look(const std::string& dir, const std::vector<std::string>& parts) {
        if (parts.empty()) return false;
        std::string shown = dir;
        for (const std::string& part : parts) shown = Join(shown, part);
        if (std::find(out_.looked.begin(), out_.looked.end(), shown) != out_.looked.end()) {
            return false;
        }
        out_.looked.push_back(shown);
        const std::string file = ResolveParts(dir, parts);
        if (file.empty()) return false;
        const ImageFormat format = SniffImageFile(file);
        if (format == ImageFormat::kNone) {
            if (out_.notImage.empty()) out_.notImage = file;
            return false;
        }
        out_.path = file;
        out_.format = format;
        return true;
    }

private:
    TextureLookup& out_;
};

}  // namespace

bool IsPlaceholderTexture(const std::string& name) {
    // Assimp's MD2, MD3 and MDL importers name "$texture_dummy.bmp" and the
    // like when the file holds no skin name.
    return Lower(name).compare(0, 8, "$texture") == 0;
}

std::string TextureFileName(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    // "C:wood.jpg" names wood.jpg in the current folder of drive C.
    if (slash == std::string::npos && IsWindowsAbsolute(base)) base = base.substr(2);
    return base;
}

TextureLookup LookupTexture(const std::string& name, const TextureSearch& search) {
    TextureLookup out;
    if (name.empty() || IsPlaceholderTexture(name) || name.find('\0') != std::string::npos) {
        return out;
    }
    const std::string base = TextureFileName(name);
    if (base.empty() || base == "." || base == "..") return out;
    const std::string sceneDir = search.sceneDir.empty() ? "." : search.sceneDir;
    Search look(out);
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (!IsWindowsAbsolute(name)) {
        const std::string from = slashed[0] == '/' ? "/" : sceneDir;
        if (look.Look(from, Split(slashed))) return out;
    }
    if (look.Look(sceneDir, {base})) return out;
    for (const std::string& dir : search.searchDirs) {
        if (look.Look(dir.empty() ? "." : dir, {base})) return out;
    }
    return out;
}

}  // namespace kvotextures
