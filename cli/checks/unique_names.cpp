#include "cli/checks/unique_names.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "cli/checks/printable_text.h"
#include "export/node_file.h"
#include "hostdrive/scene_selection.h"

namespace kvochecks {

namespace {

using kvoscene::kNone;
using kvoscene::Node;
using kvoscene::NodeKind;

// The file a name writes, as Windows compares file names.
std::string FileKey(const std::string& name) {
    std::string file = exporter::NodeFileName(name.substr(0, name.find('\0')));
    std::transform(file.begin(), file.end(), file.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return file;
}

}  // namespace

std::vector<ExportWarning> MakeFileNamesUnique(kvoscene::Scene& scene,
                                               const std::vector<std::string>& selectGlobs) {
    std::vector<Node*> exported;
    for (Node& node : scene.nodes) {
        if (node.parent == kNone && node.kind == NodeKind::Geometry &&
            hostdrive::IsSelected(node, selectGlobs)) {
            exported.push_back(&node);
        }
    }
    std::set<std::string> taken;
    std::map<std::string, std::vector<size_t>> byFile;  // file key -> nodes, in order
    for (size_t i = 0; i < exported.size(); ++i) {
        const std::string key = FileKey(exported[i]->name);
        taken.insert(key);
        byFile[key].push_back(i);
    }
    std::vector<std::pair<size_t, ExportWarning>> warnings;  // by first node, for scene order
    for (auto& [key, nodes] : byFile) {
        if (nodes.size() < 2) continue;
        const Node& first = *exported[nodes[0]];
        std::string given = Quoted(first.name);
        for (size_t k = 1; k < nodes.size(); ++k) {
            Node& node = *exported[nodes[k]];
            std::string name;
            for (unsigned n = 2;; ++n) {
                name = node.name + "-" + std::to_string(n);
                if (taken.insert(FileKey(name)).second) break;
            }
            given += ", " + Quoted(name);
            node.name = name;
        }
        const std::string text =
            std::to_string(nodes.size()) + " nodes would write " +
            PrintableText(exporter::NodeFileName(first.name.substr(0, first.name.find('\0')))) +
            ": written as " + given + " in scene order";
        warnings.push_back({nodes[0], {WarningCode::kNameCollision, first.name, text}});
    }
    std::sort(warnings.begin(), warnings.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ExportWarning> out;
    for (auto& w : warnings) out.push_back(std::move(w.second));
    return out;
}

}  // namespace kvochecks
