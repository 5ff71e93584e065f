// `kvo validate`: the invariants of each file, and warnings about values that
// no renderer can draw.
#include <cstdio>

#include "kvo/kvo_invariants.h"
#include "kvo/kvo_warnings.h"
#include "tools/kvo_commands.h"

namespace {

const char kUsage[] = "Usage: kvo validate [--strict] FILE...\n";
const char kHelp[] =
    "Usage: kvo validate [--strict] FILE...\n"
    "\n"
    "Loads each FILE and checks what the optimiser and the writer rely on: every index\n"
    "below its geob's vertex count, normals, colours and texture coordinates at\n"
    "least as many as the vertices, 1 to 100 bursts with material numbers not\n"
    "negative, geob material indices inside the material table, and the table limits.\n"
    "Each problem is printed on standard output as 'FILE: CAUSE'.\n"
    "\n"
    "Non-finite (NaN or infinite) positions and normals are warnings, printed on\n"
    "standard error as 'kvo validate: warning: FILE: ...'.\n"
    "\n"
    "Options:\n"
    "  --strict    a warning makes the exit status 1 (default: warnings do not)\n"
    "  -h, --help  show this help\n"
    "\n"
    "Exit status: 0 all valid, 1 a file not loadable or invalid (or, with --strict,\n"
    "with warnings), 2 usage error.\n";

struct Outcome {
    bool valid = false;
    size_t warnings = 0;
};

// Prints the problems and warnings of one file, or that it is valid.
Outcome ValidateFile(const std::string& file) {
    Outcome outcome;
    KvoGeode geode(file);
    if (!LoadOrReport("validate", file, geode)) return outcome;
    const std::vector<std::string> problems = CheckGeode(geode, KvoStrictness::kFile);
    for (const std::string& problem : problems) {
        std::printf("%s: %s\n", file.c_str(), problem.c_str());
    }
    const std::vector<std::string> warnings = GeodeWarnings(geode);
    for (const std::string& warning : warnings) {
        std::fprintf(stderr, "kvo validate: warning: %s: %s\n", file.c_str(), warning.c_str());
    }
    outcome.valid = problems.empty();
    outcome.warnings = warnings.size();
    if (!outcome.valid) return outcome;
    std::printf("%s: valid (%d materials, %d geobs", file.c_str(), geode.materialCount,
                geode.geobCount);
    if (!warnings.empty()) {
        std::printf(", %zu warning%s", warnings.size(), warnings.size() == 1 ? "" : "s");
    }
    std::printf(")\n");
    return outcome;
}

}  // namespace

int RunValidate(const Arguments& args) {
    const ParsedArguments parsed = ParseArguments(args, {"--strict"});
    if (parsed.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!parsed.unknownOption.empty()) {
        return UsageError("validate", "unknown option '" + parsed.unknownOption + "'", kUsage);
    }
    if (parsed.files.empty()) return UsageError("validate", "expects a FILE", kUsage);
    const bool strict = parsed.Has("--strict");
    int status = 0;
    for (const std::string& file : parsed.files) {
        const Outcome outcome = ValidateFile(file);
        if (!outcome.valid || (strict && outcome.warnings > 0)) status = 1;
    }
    return status;
}
