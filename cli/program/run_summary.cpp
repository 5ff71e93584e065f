#include "cli/program/run_summary.h"

namespace kvocli {

namespace {

std::string Count(unsigned n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", s);
    return text;
}

}  // namespace

std::string SummaryLine(const SceneOutcome& o, bool check) {
    std::string line = o.scene + ": ";
    if (!o.imported) return line + "not imported (" + Seconds(o.importSeconds) + ")";
    line += Count(o.exported, "node exported", "nodes exported") + ", " +
            std::to_string(o.notGeometry) + " not geometry, " + std::to_string(o.failed) +
            " failed; " +
            (check ? Count(o.filesWritten, "file would be written", "files would be written")
                   : Count(o.filesWritten, "file written", "files written")) +
            "; " + Seconds(o.importSeconds + o.exportSeconds) + " (import " +
            Seconds(o.importSeconds) + ", export " + Seconds(o.exportSeconds) + ")";
    unsigned copied = 0, kept = 0;
    for (const kvooutputs::TextureCopy& copy : o.textures.copies) ++(copy.written ? copied : kept);
    if (copied + kept > 0) {
        line += "; " + Count(copied, "texture copied", "textures copied");
        if (kept > 0) line += " (" + std::to_string(kept) + " already there)";
    }
    if (!o.warnings.empty())
        line += "; " + Count(static_cast<unsigned>(o.warnings.size()), "warning", "warnings");
    if (o.cancelled) line += "; cancelled";
    return line;
}

bool AllGood(const std::vector<SceneOutcome>& outcomes, bool strict) {
    for (const SceneOutcome& o : outcomes) {
        if (!o.imported || o.failed > 0 || o.errorsShown > 0 || o.cancelled || o.nothingToExport) {
            return false;
        }
        if (strict && !o.warnings.empty()) return false;
    }
    return true;
}

bool AnyErrorWarning(const std::vector<SceneOutcome>& outcomes,
                     const kvochecks::WarningPolicy& policy) {
    for (const SceneOutcome& o : outcomes) {
        for (const kvochecks::ExportWarning& w : o.warnings) {
            if (policy.IsError(w.code)) return true;
        }
    }
    return false;
}

}  // namespace kvocli
