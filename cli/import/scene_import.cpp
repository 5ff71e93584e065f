#include "cli/import/scene_import.h"

#include "cli/import/declared_frame.h"
#include "cli/import/import_files.h"
#include "cli/import/obj_exact_numbers.h"
#include "cli/import/obj_reader.h"

namespace kvoimport {

bool ImportScene(const std::string& path, const ImportSettings& settings, kvoscene::Scene& scene,
                 std::string& error, FilesRead* filesRead, ImportFunction otherFormats) {
    if (IsObjPath(path)) {
        ObjFilesRead objFiles;
        switch (ReadObjFile(path, settings, scene, error, &objFiles)) {
            case ObjRead::Done:
                // OBJ files declare no unit and are Y-up.
                ConvertFrame(DeclaredFrame(), settings.frame, scene);
                if (filesRead != nullptr) {
                    filesRead->Add(path);
                    for (const std::string& mtl : objFiles.mtlFiles) filesRead->Add(mtl);
                    for (const std::string& name : objFiles.textureNames) {
                        AddTextureFile(name, path, *filesRead);
                    }
                }
                return true;
            case ObjRead::Failed:
                return false;
            case ObjRead::NotTaken:
                error.clear();
                break;
        }
    }
    return otherFormats(path, settings, scene, error, filesRead);
}

}  // namespace kvoimport
