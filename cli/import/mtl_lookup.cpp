#include "cli/import/mtl_lookup.h"

#include <sys/stat.h>

#include <vector>

namespace kvoimport {

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// The other names the importer tries for `in`, relative to `base` (the
// scene's folder with its separator): `base + in`, then `base + "/" +` the
// text after each separator from the last one on, cut to the length of the
// last component, as its file system filter builds them.
std::vector<std::string> OtherNames(const std::string& in, const std::string& base) {
    std::vector<std::string> names;
    if (in.length() < 3) return names;
    if (in[1] != ':') names.push_back(base + in);
    const size_t last = in.rfind('/');
    if (last == std::string::npos) return names;
    size_t from = std::string::npos;
    for (;;) {
        const size_t separator = in.rfind('/', from);
        if (separator == std::string::npos || separator == 0) break;
        from = separator - 1;
        names.push_back(base + "/" + in.substr(separator + 1, in.length() - last));
    }
    return names;
}

}  // namespace

bool ImporterMightFindElsewhere(const std::string& path, const std::string& scenePath) {
    if (path.empty() || path[0] == ' ' || path[0] == '\t' ||
        path.find_first_of("\\%") != std::string::npos || path.find("//") != std::string::npos) {
        return true;
    }
    const size_t slash = scenePath.find_last_of("\\/");
    const std::string base = slash == std::string::npos ? "./" : scenePath.substr(0, slash) + "/";
    for (const std::string& name : OtherNames(path, base)) {
        if (Exists(name)) return true;
    }
    return false;
}

}  // namespace kvoimport
