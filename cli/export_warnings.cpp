#include "cli/export_warnings.h"

#include <cstdio>

#include "cli/printable_text.h"

namespace kvocli {

void PrintWarning(const std::string& scene, const ExportWarning& warning) {
    std::fprintf(stderr, "kvoexp: warning: %s: %s\n", PrintableText(scene).c_str(),
                 warning.text.c_str());
}

}  // namespace kvocli
