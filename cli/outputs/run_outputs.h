// What one invocation wrote and read, folder by folder: the targets and the
// prerequisites of its depfile, and what --prune leaves in each folder.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "cli/outputs/file_watch.h"

namespace kvooutputs {

class RunOutputs {
public:
    // Before a folder's plug-in lifetime: the state of its side files.
    void BeginFolder(const std::string& dir);
    // After the lifetime has closed: the .kvo files it wrote (paths as
    // joined by the plug-in) and the side files that changed.
    void EndFolder(const std::vector<std::string>& kvoWritten);
    // A scene and the files its import read.
    void AddInputs(const std::string& scene, const std::vector<std::string>& filesRead);

    // A file written besides the plug-in's (a texture copy), listed last.
    void AddTarget(const std::string& path);

    // Every file written, folder by folder: .kvo files, then side files;
    // then the other files added.
    std::vector<std::string> Targets() const;
    // The scenes and the files their imports read, each once.
    const std::vector<std::string>& Inputs() const { return inputs_; }

    // Removes from every finished folder the .kvo files it did not write;
    // the removed ones are appended to `removed`.
    bool Prune(std::vector<std::string>& removed, std::string& error) const;

private:
    struct Folder {
        std::string dir;
        std::set<std::string> kvo;
        std::vector<std::string> sideFiles;
        bool ended = false;
    };
    std::vector<Folder> folders_;
    FileWatch sideWatch_;
    std::vector<std::string> inputs_;
    std::vector<std::string> otherTargets_;
    std::set<std::string> otherTargetSet_;
    std::set<std::string> inputSet_;
};

}  // namespace kvooutputs
