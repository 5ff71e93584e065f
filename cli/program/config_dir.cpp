#include "cli/program/config_dir.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kvocli {

ConfigDir::~ConfigDir() {
    if (!owned_) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

bool ConfigDir::Prepare(const std::string& requested, std::string& error) {
    std::error_code ec;
    if (!requested.empty()) {
        path_ = requested;
        std::filesystem::create_directories(path_, ec);
        if (ec || !std::filesystem::is_directory(path_)) {
            error = "cannot use the configuration directory " + path_ +
                    (ec ? ": " + ec.message() : std::string(": not a directory"));
            return false;
        }
        return true;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kvoexp-config-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        error =
            std::string("cannot create a private configuration directory: ") + std::strerror(errno);
        return false;
    }
    path_ = buffer.data();
    owned_ = true;
    return true;
}

}  // namespace kvocli
