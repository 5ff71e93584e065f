// What becomes of each warning code: --error-on makes listed codes errors
// (exit status 1), --ignore keeps listed codes off standard error (the report
// still has them, marked ignored).
#pragma once

#include <string>
#include <vector>

#include "cli/checks/export_warnings.h"
#include "cli/checks/warning_codes.h"

namespace kvochecks {

class WarningPolicy {
public:
    void MakeError(WarningCode code) { Set(errors_, code); }
    void Ignore(WarningCode code) { Set(ignored_, code); }
    bool IsError(WarningCode code) const { return Has(errors_, code); }
    bool IsIgnored(WarningCode code) const { return Has(ignored_, code); }

    // The line on standard error: "kvoexp: warning: SCENE: TEXT", "kvoexp:
    // error: ..." for a code made an error, nothing for an ignored one.
    void Print(const std::string& scene, const ExportWarning& warning) const;

private:
    static void Set(std::vector<bool>& set, WarningCode code);
    static bool Has(const std::vector<bool>& set, WarningCode code);
    std::vector<bool> errors_, ignored_;
};

// Code names as given to --error-on or --ignore, each possibly a
// comma-separated list; false with the unknown name in `error`.
bool ParseCodeNames(const std::vector<std::string>& names, std::vector<WarningCode>& codes,
                    std::string& error);

}  // namespace kvochecks
