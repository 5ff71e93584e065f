#include "cli/program/script_output.h"

namespace kvocli {

std::FILE* MessageStream(const CliOptions& options) {
    return options.reportPath == "-" ? stderr : stdout;
}

void PrintSummary(const CliOptions& options, const SceneOutcome& outcome) {
    std::FILE* out = MessageStream(options);
    std::fprintf(out, "%s\n", SummaryLine(outcome, options.check).c_str());
    std::fflush(out);
}

void PrintRemoved(const CliOptions& options, const std::vector<std::string>& removed) {
    std::FILE* out = MessageStream(options);
    for (const std::string& path : removed) std::fprintf(out, "removed stale %s\n", path.c_str());
    std::fflush(out);
}

}  // namespace kvocli
