// `kvo validate` and `kvo optimize`.
#include <cstdio>

#include "kvo/kvo_validate.h"
#include "tools/kvo_commands.h"

namespace {

const char kValidateUsage[] = "Usage: kvo validate FILE...\n";
const char kValidateHelp[] =
    "Usage: kvo validate FILE...\n"
    "\n"
    "Loads each FILE and checks what the optimiser and the writer rely on: every index\n"
    "below its geob's vertex count, normals, colours and texture coordinates at\n"
    "least as many as the vertices, 1 to 100 bursts with material numbers not\n"
    "negative, geob material indices inside the material table, and the table limits.\n"
    "\n"
    "Exit status: 0 all valid, 1 a file not loadable or invalid (each cause is printed),\n"
    "2 usage error.\n";

const char kOptimizeUsage[] = "Usage: kvo optimize IN OUT\n";
const char kOptimizeHelp[] =
    "Usage: kvo optimize IN OUT\n"
    "\n"
    "Loads IN, merges bursts that draw with the same material, welds equal vertices,\n"
    "removes unused ones and renumbers them by first use, then saves the result as OUT\n"
    "and prints the counts. IN must pass 'kvo validate'.\n"
    "\n"
    "Exit status: 0 saved, 1 load, validation or save failure, 2 usage error.\n";

// Prints each problem of one file, or that it is valid; false when it is not.
bool ValidateFile(const std::string& file) {
    KvoGeode geode(file);
    if (!LoadOrReport("validate", file, geode)) return false;
    const std::vector<std::string> problems = ValidateGeode(geode);
    for (const std::string& problem : problems) {
        std::printf("%s: %s\n", file.c_str(), problem.c_str());
    }
    if (!problems.empty()) return false;
    std::printf("%s: valid (%d materials, %d geobs)\n", file.c_str(), geode.materialCount,
                geode.geobCount);
    return true;
}

}  // namespace

int RunValidate(const Arguments& args) {
    const ParsedArguments parsed = ParseArguments(args, false);
    if (parsed.help) {
        std::fputs(kValidateHelp, stdout);
        return 0;
    }
    if (!parsed.unknownOption.empty()) {
        return UsageError("validate", "unknown option '" + parsed.unknownOption + "'",
                          kValidateUsage);
    }
    if (parsed.files.empty()) return UsageError("validate", "expects a FILE", kValidateUsage);
    int status = 0;
    for (const std::string& file : parsed.files) {
        if (!ValidateFile(file)) status = 1;
    }
    return status;
}

int RunOptimize(const Arguments& args) {
    const ParsedArguments parsed = ParseArguments(args, false);
    if (parsed.help) {
        std::fputs(kOptimizeHelp, stdout);
        return 0;
    }
    if (!parsed.unknownOption.empty()) {
        return UsageError("optimize", "unknown option '" + parsed.unknownOption + "'",
                          kOptimizeUsage);
    }
    if (parsed.files.size() != 2) {
        return UsageError("optimize", "expects IN and OUT", kOptimizeUsage);
    }
    const std::string& in = parsed.files[0];
    const std::string& out = parsed.files[1];
    KvoGeode geode(in);
    if (!LoadOrReport("optimize", in, geode)) return 1;
    // The optimiser trusts its input: a file that breaks the invariants is refused.
    const std::vector<std::string> problems = ValidateGeode(geode);
    if (!problems.empty()) {
        std::fprintf(stderr, "kvo optimize: '%s' is not valid: %s\n", in.c_str(),
                     problems[0].c_str());
        return 1;
    }
    int32_t equalized = 0, verticesRemoved = 0, burstsRemoved = 0;
    geode.Optimize(&equalized, &verticesRemoved, &burstsRemoved);
    if (!geode.Save(out)) {
        std::fprintf(stderr, "kvo optimize: cannot save '%s': %s\n", out.c_str(),
                     geode.error.c_str());
        return 1;
    }
    std::printf("Optimization: %d indices eq'd, %d vertices and %d bursts removed.\n", equalized,
                verticesRemoved, burstsRemoved);
    return 0;
}
