#include "cli/program/run_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "cli/outputs/replace_file.h"
#include "hostdrive/check_boxes.h"

namespace kvocli {

namespace {

using nlohmann::json;

const char* SceneStatus(const SceneOutcome& o) {
    if (!o.imported) return "not_imported";
    if (o.cancelled) return "cancelled";
    if (o.failed > 0 || o.errorsShown > 0 || o.nothingToExport) return "failed";
    return "exported";
}

// A budget's limit, or null for none.
json Limit(uint64_t limit) {
    return limit == 0 ? json(nullptr) : json(limit);
}

json Budgets(const kvochecks::Budgets& b) {
    return {{"max_triangles", Limit(b.maxTriangles)},
            {"max_vertices", Limit(b.maxVertices)},
            {"max_file_bytes", Limit(b.maxFileBytes)},
            {"max_texture_size", Limit(b.maxTextureSize)}};
}

json CodeNames(const std::vector<kvochecks::WarningCode>& codes) {
    json names = json::array();
    for (kvochecks::WarningCode code : codes) names.push_back(kvochecks::CodeName(code));
    return names;
}

// A unit's name, or null for none.
json Name(const char* name) {
    return *name ? json(name) : json(nullptr);
}

json Options(const CliOptions& options) {
    json checks = json::object();
    for (int i = 0; i < hostdrive::kCheckBoxCount; ++i) {
        const int state = options.checks[i];
        checks[hostdrive::kCheckBoxes[i].flag] = state < 0 ? json(nullptr) : json(state == 1);
    }
    return {
        {"output", options.outputDir},
        {"check_boxes", checks},
        {"select", options.selectGlobs},
        {"collapse", options.collapse},
        {"join_vertices", options.joinVertices},
        {"strict", options.strict},
        {"check", options.check},
        {"jobs", options.jobs},
        {"import_timeout", options.importTimeout},
        {"import_memory_mib", options.importMemoryMiB},
        {"budgets", Budgets(options.budgets)},
        {"error_on", CodeNames(options.errorOn)},
        {"ignore", CodeNames(options.ignored)},
        {"options_file", options.optionsFile.empty() ? json(nullptr) : json(options.optionsFile)},
        {"texture_paths", options.textures.paths},
        {"copy_textures", options.textures.copy},
        {"units", Name(kvoimport::UnitName(options.frame.units))},
        {"file_units", Name(kvoimport::UnitName(options.frame.fileUnits))},
        {"scale", options.frame.scale},
        {"up", kvoimport::UpChoiceName(options.frame.up)}};
}

// The codes of the scene's warnings about this node.
json NodeWarnings(const SceneOutcome& o, const kvochecks::NodeReport& node) {
    json codes = json::array();
    for (const kvochecks::ExportWarning& w : o.warnings) {
        if (!w.node.empty() && w.node == node.name) codes.push_back(kvochecks::CodeName(w.code));
    }
    return codes;
}

json Node(const SceneOutcome& o, const kvochecks::NodeReport& node) {
    json materials = json::array();
    for (const kvochecks::MaterialGroup& group : node.groups) {
        const kvochecks::MaterialReport& m = group.material;
        materials.push_back({{"material_id", group.materialId},
                             {"faces", group.faces},
                             {"name", m.name},
                             {"source_name", m.sourceName},
                             {"texture", m.texture},
                             {"resolved_path", m.resolvedPath},
                             {"found", m.found},
                             {"embedded", m.embedded}});
    }
    json out = {{"name", node.name}, {"kind", node.kind}, {"warnings", NodeWarnings(o, node)}};
    if (node.kind != "geometry") return out;
    out.update({{"file", node.file},
                {"written", node.written},
                {"bytes", node.bytes},
                {"sha256", node.written ? json(node.sha256) : json(nullptr)},
                {"faces_in", node.facesIn},
                {"triangles_out", node.trianglesOut},
                {"geobs", node.geobs},
                {"vertices", node.vertices},
                {"materials", materials}});
    return out;
}

json Scene(const SceneOutcome& o, const kvochecks::WarningPolicy& policy) {
    json warnings = json::array();
    for (const kvochecks::ExportWarning& w : o.warnings) {
        warnings.push_back({{"code", kvochecks::CodeName(w.code)},
                            {"node", w.node},
                            {"message", w.text},
                            {"ignored", policy.IsIgnored(w.code)},
                            {"error", policy.IsError(w.code)}});
    }
    json nodes = json::array();
    uint64_t facesIn = 0, trianglesOut = 0;
    for (const kvochecks::NodeReport& node : o.nodes) {
        nodes.push_back(Node(o, node));
        facesIn += node.facesIn;
        trianglesOut += node.trianglesOut;
    }
    json out = {{"path", o.scene},
                {"status", SceneStatus(o)},
                {"import_seconds", o.importSeconds},
                {"export_seconds", o.exportSeconds},
                {"nodes_exported", o.exported},
                {"not_geometry", o.notGeometry},
                {"nodes_failed", o.failed},
                {"files_written", o.filesWritten},
                {"plugin_errors", o.errorsShown},
                {"faces_in", facesIn},
                {"triangles_out", trianglesOut},
                {"warnings", warnings},
                {"nodes", nodes},
                {"up", kvoscene::UpAxisName(o.frame.up)},
                {"length_factor", o.frame.factor}};
    if (!o.imported) out["import_error"] = o.importError;
    if (!o.textures.copies.empty()) {
        json copies = json::array();
        for (const kvooutputs::TextureCopy& copy : o.textures.copies) {
            json entry = {{"source", copy.source},
                          {"file", copy.file},
                          {"name", copy.name},
                          {"written", copy.written},
                          {"renamed", copy.renamed}};
            if (copy.resized) {
                entry["resized"] = {{"from", {copy.from.width, copy.from.height}},
                                    {"to", {copy.to.width, copy.to.height}}};
            }
            copies.push_back(entry);
        }
        out["textures_copied"] = copies;
    }
    return out;
}

}  // namespace

std::string RunReportJson(const CliOptions& options, const std::vector<SceneOutcome>& outcomes,
                          int exitStatus) {
    json scenes = json::array();
    size_t warnings = 0;
    for (const SceneOutcome& o : outcomes) {
        scenes.push_back(Scene(o, options.warningPolicy));
        warnings += o.warnings.size();
    }
    const json report = {{"program", "kvoexp"},         {"version", kKvoexpVersion},
                         {"exit_status", exitStatus},   {"warnings", warnings},
                         {"options", Options(options)}, {"scenes", scenes}};
    return report.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool WriteRunReport(const std::string& path, const std::string& json, std::string& error) {
    if (path != "-") return kvooutputs::ReplaceFile(path, json, error);
    const bool wrote = std::fwrite(json.data(), 1, json.size(), stdout) == json.size();
    if (!wrote || std::fflush(stdout) != 0) {
        error = path + ": " + std::strerror(errno ? errno : EIO);
        return false;
    }
    return true;
}

}  // namespace kvocli
