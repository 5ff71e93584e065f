#include "cli/program/module_path.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace kvocli {

std::string FindModulePath(const std::string& requested) {
    if (!requested.empty()) return requested;
    if (const char* env = std::getenv("KVOEXP_MODULE"); env && *env) return env;
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "kvoexp.so";
    std::string exe(self, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : exe.substr(0, slash);
    return dir + "/../lib/kvoexp.so";
}

}  // namespace kvocli
