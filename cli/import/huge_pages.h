// Transparent huge pages in the host and the import processes. A 2 MiB page
// is zeroed whole on its first touch (and copied whole when a forked child
// writes to one its parent touched), which the few hundred KiB of a small
// scene never repay. The import pool and the import server start without
// them; the host and each scene's child turn them back on for the first scene
// that is not a small OBJ file (our reader's memory follows the file's size;
// other formats can unpack far beyond theirs), and they stay on.
#pragma once

#include <string>

namespace kvoimport {

// OBJ files below this size are imported without huge pages.
constexpr long long kSmallObjBytes = 1 << 20;

// Turns them off for this process and the processes it starts.
void StartWithoutHugePages();

// Turns them back on unless `path` is a small OBJ file.
void AllowHugePagesFor(const std::string& path);

}  // namespace kvoimport
