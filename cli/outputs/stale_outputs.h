// --prune: the .kvo files of an output folder that the invocation did not
// write, left by objects since renamed or deleted from the scene.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace kvooutputs {

// The paths (joined as the plug-in joins them) of the regular .kvo files in
// `dir` that are not in `written`, in name order. Symbolic links and other
// files stay out of it.
std::vector<std::string> StaleKvoFiles(const std::string& dir,
                                       const std::set<std::string>& written);

// Removes the stale files of `dir`; the removed ones are appended to
// `removed`, false with a message for the first that could not be removed.
bool PruneStaleKvoFiles(const std::string& dir, const std::set<std::string>& written,
                        std::vector<std::string>& removed, std::string& error);

}  // namespace kvooutputs
