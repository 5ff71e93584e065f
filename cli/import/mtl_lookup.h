// Where the importer looks for an .mtl it cannot open under the name it was
// given: the name under the scene's folder, the name's last components there,
// and the name with its separators and %XX escapes cleaned up. The OBJ reader
// takes a missing .mtl only where none of those names exists either.
#pragma once

#include <string>

namespace kvoimport {

// True when the importer could find a file for `path` under another name (or
// when the name is one whose clean-up this does not follow: '\', '%', "//",
// leading blanks).
bool ImporterMightFindElsewhere(const std::string& path, const std::string& scenePath);

}  // namespace kvoimport
