#include "cli/checks/export_warnings.h"

#include <cstdio>

#include "cli/checks/printable_text.h"

namespace kvochecks {

std::string Plural(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void PrintWarning(const std::string& scene, const ExportWarning& warning) {
    std::fprintf(stderr, "kvoexp: warning: %s: %s\n", PrintableText(scene).c_str(),
                 warning.text.c_str());
}

}  // namespace kvochecks
