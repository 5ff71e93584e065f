// Output folders appear only when something is written in them: the folders
// that making an output folder adds are noted before, and removed again when
// they stayed empty (every import of their scenes failed, or nothing was
// selected).
#pragma once

#include <string>
#include <vector>

namespace kvooutputs {

// `dir` and those of its ancestors that do not exist yet, deepest first.
std::vector<std::string> MissingFolders(const std::string& dir);

// Removes the folders of `created` that are empty, deepest first, up to the
// first that is not.
void RemoveEmptyFolders(const std::vector<std::string>& created);

}  // namespace kvooutputs
