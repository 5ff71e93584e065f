// Transparent huge pages in the import processes. A 2 MiB page is zeroed
// whole on its first touch (and copied whole when a forked child writes to
// one its server touched), which the few hundred KiB of a small scene never
// repay: the server runs without them, and each scene's child turns them back
// on unless its scene is a small OBJ file (our reader's memory follows the
// file's size; other formats can unpack far beyond theirs).
#pragma once

#include <string>

namespace kvoimport {

// OBJ files below this size are imported without huge pages.
constexpr long long kSmallObjBytes = 1 << 20;

// For the server, before its first allocation.
void StartWithoutHugePages();

// For a scene's child: huge pages back on unless `path` is a small OBJ file.
void AllowHugePagesFor(const std::string& path);

}  // namespace kvoimport
