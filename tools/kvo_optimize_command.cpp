// `kvo optimize`: the geob optimiser over one file.
#include <cstdio>

#include "kvo/kvo_invariants.h"
#include "tools/kvo_commands.h"

namespace {

const char kUsage[] = "Usage: kvo optimize IN OUT\n";
const char kHelp[] =
    "Usage: kvo optimize IN OUT\n"
    "\n"
    "Loads IN, merges bursts that draw with the same material, welds equal vertices,\n"
    "removes unused ones and renumbers them by first use, then saves the result as OUT\n"
    "and prints the counts. IN must pass 'kvo validate'. A geob whose bursts do not\n"
    "cover its index list exactly once, in whole triangles, keeps its bursts as they are.\n"
    "\n"
    "Exit status: 0 saved, 1 load, validation or save failure, 2 usage error.\n";

}  // namespace

int RunOptimize(const Arguments& args) {
    const ParsedArguments parsed = ParseArguments(args, {});
    if (parsed.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!parsed.unknownOption.empty()) {
        return UsageError("optimize", "unknown option '" + parsed.unknownOption + "'", kUsage);
    }
    if (parsed.files.size() != 2) return UsageError("optimize", "expects IN and OUT", kUsage);
    const std::string& in = parsed.files[0];
    const std::string& out = parsed.files[1];
    KvoGeode geode(in);
    if (!LoadOrReport("optimize", in, geode)) return 1;
    // The optimiser trusts its input: a file that breaks the invariants is refused.
    const std::vector<std::string> problems = CheckGeode(geode, KvoStrictness::kFile);
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
