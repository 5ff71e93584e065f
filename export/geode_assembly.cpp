#include "export/geode_assembly.h"

#include <cstdio>
#include <memory>

#include "export/geob_builder.h"
#include "export/node_file.h"
#include "export/record_tables.h"
#include "generators/i_logger.h"

namespace exporter {

namespace {

// Releases the records a node used, whatever path the call takes: those below
// the counts and the one past each that a failed build may have started.
class ReleaseGuard {
public:
    ReleaseGuard(RecordTables& tables, const int& geobCount, const int& materialCount)
        : tables_(tables), geobCount_(geobCount), materialCount_(materialCount) {}
    ~ReleaseGuard() { tables_.Reset(geobCount_ + 1, materialCount_ + 1); }
    ReleaseGuard(const ReleaseGuard&) = delete;
    ReleaseGuard& operator=(const ReleaseGuard&) = delete;

private:
    RecordTables& tables_;
    const int& geobCount_;
    const int& materialCount_;
};

// Detaches the geode from the tables before they go, whatever path the call takes.
class GeodeTablesGuard {
public:
    explicit GeodeTablesGuard(KvoGeode& geode) : geode_(geode) {}
    ~GeodeTablesGuard() { geode_.ClearTables(); }
    GeodeTablesGuard(const GeodeTablesGuard&) = delete;
    GeodeTablesGuard& operator=(const GeodeTablesGuard&) = delete;

private:
    KvoGeode& geode_;
};

void LogTableFull(ILogger& log, int geobCount) {
    log.Print("\tWARNING: Geob index %i exceeded maximum number of allowed geobs %i\n", geobCount,
              KvoGeode::kMaxGeobs);
}

void LogMaterials(ILogger& log, const KvoMaterial* materials, int materialCount) {
    log.Print("\tNumber of materials: %i\n", materialCount);
    for (int j = 0; j < materialCount; ++j) {
        const KvoMaterial& material = materials[j];
        log.Print("\t\tMaterial%i: %s\n", j, material.name.c_str());
        for (int k = 0; k < material.textureCount && k < KvoMaterial::kMaxTextures; ++k) {
            const std::string* texture = material.textures[k];
            log.Print("\t\t\tFile%i: %s\n", k, texture ? texture->c_str() : "");
        }
    }
}

}  // namespace

bool BuildGeode(ExportContext& context, KvoGeode& geode, PreparedNode& prepared,
                RecordTables* runTables) {
    std::unique_ptr<RecordTables> ownTables;
    if (runTables == nullptr) ownTables = std::make_unique<RecordTables>();
    RecordTables& tables = runTables != nullptr ? *runTables : *ownTables;
    int geobCount = 0;
    int materialCount = 0;
    ReleaseGuard release(tables, geobCount, materialCount);
    GeodeTablesGuard detach(geode);
    ILogger& log = context.ExportLog();

    const int groups = static_cast<int>(prepared.facesByMaterial.size());
    log.Print("\tNumber of geobs: %i\n", groups);

    GeobScratch& scratch = tables.scratch();
    for (const auto& group : prepared.facesByMaterial) {
        if (context.IsCancelled()) return false;
        if (geobCount >= KvoGeode::kMaxGeobs) {
            LogTableFull(log, geobCount);
            break;
        }
        char detail[64];
        std::snprintf(detail, sizeof(detail), "Status: Geob %i of %i", geobCount + 1, groups);
        context.SetDetailText(detail);

        if (!prepared.mesh) return false;  // groups without a mesh cannot be built
        bool tableFull = false;
        if (!BuildGroupGeobs(context, prepared.node, *prepared.mesh, prepared.objectTM,
                             tables.geobs(), tables.materials(), geobCount, materialCount,
                             group.first, group.second, &scratch, &tableFull)) {
            return false;
        }
        ++materialCount;
        if (tableFull) {  // the group was cut at the table's end
            LogTableFull(log, geobCount);
            break;
        }
    }

    if (geobCount > 0) {
        geode.SetMaterials(materialCount, tables.materials());
        geode.SetGeobs(geobCount, tables.geobs());
        if (context.Options().optimize) {
            context.SetDetailText("Status: Optimizing...");
            int32_t indicesEqualized = 0;
            int32_t verticesRemoved = 0;
            int32_t burstsRemoved = 0;
            geode.Optimize(&indicesEqualized, &verticesRemoved, &burstsRemoved);
            log.Print("\t\tOptimization: %i indices eq'd, %i vertices and %i bursts removed.\n",
                      static_cast<int>(indicesEqualized), static_cast<int>(verticesRemoved),
                      static_cast<int>(burstsRemoved));
        }
        context.StepProgress(context.ObjectExtraSteps() / 2);
        if (context.Options().generateLog) LogMaterials(log, tables.materials(), materialCount);
    }

    // A node name that is not a plain file name never reaches the file system.
    const std::string path = geode.GetPath();
    const char* nodeName = prepared.node ? prepared.node->GetName() : "";
    const bool saved =
        IsPlainFileName(nodeName ? nodeName : "") && geode.Save(path, context.RunFolder());
    if (!saved) log.Print("\tERROR: Failed to save KVO '%s'.\n\n", path.c_str());
    return saved;
}

}  // namespace exporter
