// The plug-in's configuration directory for one invocation: the one given,
// or a private one that is removed afterwards, so runs stay independent.
#pragma once

#include <string>

namespace kvocli {

class ConfigDir {
public:
    ConfigDir() = default;
    ~ConfigDir();
    ConfigDir(const ConfigDir&) = delete;
    ConfigDir& operator=(const ConfigDir&) = delete;

    // `requested` empty: make a private directory under $TMPDIR or /tmp.
    bool Prepare(const std::string& requested, std::string& error);
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    bool owned_ = false;
};

}  // namespace kvocli
