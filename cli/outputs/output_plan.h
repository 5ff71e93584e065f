// Which output folder each scene goes to. Every distinct folder is one
// plug-in lifetime (module loaded, panel opened, closed, unloaded), so its
// side files hold exactly its own scenes.
#pragma once

#include <string>
#include <vector>

namespace kvooutputs {

struct OutputFolder {
    std::string dir;                  // as handed to the panel
    std::vector<std::string> scenes;  // in the order given
};

// Groups `scenes` by the folder the -o value gives each: folders in the
// order of their first scene. A plain directory is one folder for all
// scenes. False with a message for an unknown placeholder, a scene the
// template cannot place, or a folder longer than the panel's 260 characters.
bool PlanOutputFolders(const std::string& output, const std::vector<std::string>& scenes,
                       const std::string& workingDir, std::vector<OutputFolder>& folders,
                       std::string& error);

// The scenes in the order the folders export them.
std::vector<std::string> ExportOrder(const std::vector<OutputFolder>& folders);

}  // namespace kvooutputs
