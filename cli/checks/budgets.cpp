#include "cli/checks/budgets.h"

#include "cli/checks/image_size.h"
#include "cli/checks/printable_text.h"

namespace kvochecks {

namespace {

void Over(std::vector<ExportWarning>& out, const NodeReport& node, WarningCode code, uint64_t value,
          uint64_t limit, const char* one, const char* many, const char* option) {
    if (limit == 0 || value <= limit) return;
    out.push_back({code, node.name,
                   Quoted(node.name) + ": " + Plural(value, one, many) + ", over the budget of " +
                       std::to_string(limit) + " (" + option + ")"});
}

}  // namespace

std::vector<ExportWarning> CheckFileBudgets(const NodeReport& node, const Budgets& budgets) {
    std::vector<ExportWarning> out;
    if (!node.written) return out;
    Over(out, node, WarningCode::kTrianglesOverBudget, node.trianglesOut, budgets.maxTriangles,
         "triangle", "triangles", "--max-triangles");
    Over(out, node, WarningCode::kVerticesOverBudget, node.vertices, budgets.maxVertices, "vertex",
         "vertices", "--max-vertices");
    Over(out, node, WarningCode::kFileBytesOverBudget, node.bytes, budgets.maxFileBytes, "byte",
         "bytes", "--max-file-bytes");
    return out;
}

std::vector<ExportWarning> CheckTextureBudget(const NodeReport& node, const Budgets& budgets,
                                              std::set<std::string>& seen) {
    std::vector<ExportWarning> out;
    if (budgets.maxTextureSize == 0) return out;
    for (const MaterialGroup& group : node.groups) {
        const MaterialReport& m = group.material;
        if (!m.found || m.resolvedPath.empty() || !seen.insert(m.resolvedPath).second) continue;
        ImageSize size;
        if (!ReadImageSize(m.resolvedPath, size)) continue;
        if (size.width <= budgets.maxTextureSize && size.height <= budgets.maxTextureSize) continue;
        out.push_back({WarningCode::kTextureOverBudget, node.name,
                       "texture " + PrintableText(m.resolvedPath) + " of " + Quoted(node.name) +
                           " is " + std::to_string(size.width) + "x" + std::to_string(size.height) +
                           ", over the budget of " + std::to_string(budgets.maxTextureSize) +
                           " (--max-texture-size)"});
    }
    return out;
}

}  // namespace kvochecks
