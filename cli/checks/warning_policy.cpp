#include "cli/checks/warning_policy.h"

#include <cstdio>

#include "cli/checks/printable_text.h"

namespace kvochecks {

void WarningPolicy::Set(std::vector<bool>& set, WarningCode code) {
    const size_t index = static_cast<size_t>(code);
    if (set.size() <= index) set.resize(index + 1, false);
    set[index] = true;
}

bool WarningPolicy::Has(const std::vector<bool>& set, WarningCode code) {
    const size_t index = static_cast<size_t>(code);
    return index < set.size() && set[index];
}

void WarningPolicy::Print(const std::string& scene, const ExportWarning& warning) const {
    if (IsIgnored(warning.code)) return;
    std::fprintf(stderr, "kvoexp: %s: %s: %s\n", IsError(warning.code) ? "error" : "warning",
                 PrintableText(scene).c_str(), warning.text.c_str());
}

bool ParseCodeNames(const std::vector<std::string>& names, std::vector<WarningCode>& codes,
                    std::string& error) {
    for (const std::string& list : names) {
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(',', start);
            if (end == std::string::npos) end = list.size();
            const std::string name = list.substr(start, end - start);
            start = end + 1;
            if (name.empty()) continue;
            WarningCode code;
            if (!CodeByName(name, code)) {
                error = "unknown warning code " + Quoted(name);
                return false;
            }
            codes.push_back(code);
        }
    }
    return true;
}

}  // namespace kvochecks
