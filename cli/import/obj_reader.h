// The console host's own OBJ reader: reads the file whole (a concurrent
// truncation only shortens what is read), parses numbers exactly and builds
// the scene form directly, as the importer's path would build it but with
// every number correctly rounded and `o`/`g` names whole. Files it does not
// take are left to the importer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/import/assimp_import.h"
#include "cli/import/obj_parser.h"
#include "scene/compact_scene.h"

namespace kvoimport {

enum class ObjRead {
    Done,     // `scene` holds the file
    Failed,   // `message` says why; the importer would fail as well (a node past the
              // scene form's limits)
    NotTaken  // `message` says what the reader does not take
};

struct ObjFilesRead {
    std::vector<std::string> mtlFiles;      // the .mtl files read, as opened
    std::vector<std::string> textureNames;  // every texture the materials name, in order
};

ObjRead ReadObjFile(const std::string& path, const ImportSettings& settings, kvoscene::Scene& scene,
                    std::string& message, ObjFilesRead* files = nullptr);

// The same from bytes in memory; `source` says where .mtl files come from.
ObjRead ReadObjBytes(const char* data, size_t size, const ObjSource& source,
                     const ImportSettings& settings, kvoscene::Scene& scene, std::string& message,
                     ObjFilesRead* files = nullptr);

// A whole file's bytes, in one allocation that is not cleared first.
class FileBytes {
public:
    const char* data() const { return data_.get(); }
    size_t size() const { return size_; }

private:
    friend bool ReadWholeFile(const std::string&, FileBytes&, std::string&, bool&, ObjSizeCounter*);
    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
};

// Reads a whole file with read(2), as long as it gives bytes (a file that
// shrinks or grows meanwhile gives what it had). False with `error` set from
// errno, or "not a regular file"; `opened` says whether it could be opened.
// With `counter`, each piece read is fed to it while it is in the cache.
bool ReadWholeFile(const std::string& path, FileBytes& bytes, std::string& error, bool& opened,
                   ObjSizeCounter* counter = nullptr);

}  // namespace kvoimport
