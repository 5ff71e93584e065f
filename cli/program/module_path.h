// Where the console host finds the plug-in module.
#pragma once

#include <string>

namespace kvocli {

// The module's path: `requested` when given, else $KVOEXP_MODULE, else
// ../lib/kvoexp.so relative to the running executable.
std::string FindModulePath(const std::string& requested);

}  // namespace kvocli
