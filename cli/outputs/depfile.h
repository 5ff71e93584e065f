// A Make/Ninja depfile: the invocation's outputs as targets of one rule whose
// prerequisites are every file the imports read.
#pragma once

#include <string>
#include <vector>

namespace kvooutputs {

// One path as Make and Ninja read it in a depfile: a space or a '#' gets a
// backslash (the backslashes before a space are doubled), '$' becomes "$$".
std::string EscapeDepfilePath(const std::string& path);

// The rule's text: "t1 \\\n t2: \\\n d1 \\\n d2\n", empty without targets.
// False with a message for a path that a depfile cannot hold (a tab or a line break).
bool FormatDepfile(const std::vector<std::string>& targets, const std::vector<std::string>& deps,
                   std::string& text, std::string& error);

// Writes the rule to `path`; false with a message.
bool WriteDepfile(const std::string& path, const std::vector<std::string>& targets,
                  const std::vector<std::string>& deps, std::string& error);

}  // namespace kvooutputs
