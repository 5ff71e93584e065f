#include "cli/checks/export_verification.h"

#include <map>
#include <utility>

#include "cli/checks/file_digest.h"
#include "cli/checks/printable_text.h"
#include "kvo/kvo_geode.h"

namespace kvochecks {

namespace {

constexpr uint32_t kGeobTable = KvoGeode::kMaxGeobs;

struct Written {
    std::map<int32_t, uint64_t> triangles;  // per material index
    std::vector<const KvoMaterial*> materials;
};

}  // namespace

void VerifyWrittenNode(NodeReport& node, std::vector<ExportWarning>& warnings, bool digest) {
    const std::string who = "node " + Quoted(node.name);
    auto warn = [&](WarningCode code, const std::string& text) {
        warnings.push_back({code, node.name, who + ": " + text});
    };
    std::string error;
    FileBytes bytes;
    if (!ReadAndDigestFile(node.file, bytes, digest ? &node.sha256 : nullptr, error)) {
        warn(WarningCode::kVerifyFailed, "the written file cannot be read again: " + error);
        return;
    }
    node.bytes = bytes.size;
    KvoGeode geode(node.file);
    geode.countsOnly = true;  // what is compared below are tables and counts
    if (!geode.LoadFromBuffer(std::move(bytes.data), bytes.size)) {
        warn(WarningCode::kVerifyFailed, "the written file does not load again: " + geode.error);
        return;
    }
    Written written;
    node.geobs = static_cast<uint32_t>(geode.geobCount);
    for (int32_t i = 0; i < geode.geobCount; ++i) {
        const KvoGeob* geob = geode.geobs[i];
        if (!geob) continue;
        const uint64_t triangles = static_cast<uint64_t>(geob->indexCount) / 3;
        written.triangles[geob->materialIndex] += triangles;
        node.trianglesOut += triangles;
        node.vertices += static_cast<uint64_t>(geob->vertexCount);
    }
    for (int32_t i = 0; i < geode.materialCount; ++i)
        written.materials.push_back(geode.materials[i]);

    // Group k of the scene becomes material k and the geobs that use it.
    uint64_t lostGroups = 0, lostGroupFaces = 0;
    for (size_t k = 0; k < node.groups.size(); ++k) {
        const MaterialGroup& group = node.groups[k];
        const auto found = written.triangles.find(static_cast<int32_t>(k));
        const uint64_t out = found == written.triangles.end() ? 0 : found->second;
        if (out == 0 && node.geobs >= kGeobTable) {
            ++lostGroups;
            lostGroupFaces += group.faces;
            continue;
        }
        const std::string which = "material group " + std::to_string(k) + " (ID " +
                                  std::to_string(group.materialId) + ")";
        if (out < group.faces) {
            const bool full = node.geobs >= kGeobTable;
            warn(full ? WarningCode::kGeobTableFull : WarningCode::kFacesLost,
                 Plural(group.faces - out, "face", "faces") + " of " + std::to_string(group.faces) +
                     " in " + which + " not written" +
                     (full ? ": the geob table holds " + std::to_string(kGeobTable) : ""));
        } else if (out > group.faces) {
            warn(WarningCode::kFacesAdded, which + ": " + std::to_string(out) +
                                               " triangles written for " +
                                               std::to_string(group.faces) + " faces");
        }
        const KvoMaterial* mat = k < written.materials.size() ? written.materials[k] : nullptr;
        const std::string texture =
            mat && mat->textureCount > 0 && mat->textures[0] ? *mat->textures[0] : std::string();
        if (!mat || mat->name != group.material.name || texture != group.material.texture) {
            warn(WarningCode::kMaterialMismatch,
                 which + ": material " + Quoted(mat ? mat->name : std::string("(none)")) +
                     " with texture " + Quoted(texture) + " written for " +
                     Quoted(group.material.name) + " with texture " +
                     Quoted(group.material.texture));
        }
    }
    if (lostGroups > 0) {
        warn(WarningCode::kGeobTableFull, Plural(lostGroups, "material group", "material groups") +
                                              " (" + Plural(lostGroupFaces, "face", "faces") +
                                              ") not written: the geob table holds " +
                                              std::to_string(kGeobTable));
    }
}

}  // namespace kvochecks
