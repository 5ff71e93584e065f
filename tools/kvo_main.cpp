// `kvo`: the everyday tool for KVO files (info, validate, optimize).
#include <cstdio>
#include <cstring>

#include "tools/kvo_commands.h"

namespace {

const char kUsage[] =
    "Usage: kvo COMMAND [OPTIONS] FILE...\n"
    "\n"
    "Inspects and processes KVO object files.\n"
    "\n"
    "Commands:\n"
    "  info [--json] FILE   summary of the materials and geobs of FILE\n"
    "  validate FILE...     check the invariants the optimiser and the writer rely on\n"
    "  optimize IN OUT      weld, compact and reorder the geobs of IN and save them as OUT\n"
#ifdef KVO_WITH_VIEW
    "  render FILE...      a PNG picture of the files (-o OUT.png; views, modes: --help)\n"
    "  convert IN OUT       IN as glTF 2 (.glb, .gltf) or OBJ, by OUT's extension\n"
#endif
    "\n"
    "Options:\n"
    "  -h, --help           show this help (also after a command)\n"
    "\n"
    "Exit status: 0 success, 1 failure (the cause is printed), 2 usage error.\n";

}  // namespace

ParsedArguments ParseArguments(const Arguments& args, bool acceptJson) {
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            parsed.help = true;
        } else if (!optionsEnded && acceptJson && arg == "--json") {
            parsed.json = true;
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (parsed.unknownOption.empty()) parsed.unknownOption = arg;
        } else {
            parsed.files.push_back(arg);
        }
    }
    return parsed;
}

int UsageError(const char* command, const std::string& message, const char* usage) {
    std::fprintf(stderr, "kvo %s: %s\n%sRun 'kvo %s --help' for details.\n", command,
                 message.c_str(), usage, command);
    return 2;
}

bool LoadOrReport(const char* command, const std::string& file, KvoGeode& geode) {
    if (geode.Load()) return true;
    std::fprintf(stderr, "kvo %s: cannot load '%s': %s\n", command, file.c_str(),
                 geode.error.c_str());
    return false;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string command = argv[1];
    const Arguments rest(argv + 2, argv + argc);
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "info") return RunInfo(rest);
    if (command == "validate") return RunValidate(rest);
    if (command == "optimize") return RunOptimize(rest);
#ifdef KVO_WITH_VIEW
    if (command == "render") return RunRender(rest);
    if (command == "convert") return RunConvert(rest);
#endif
    std::fprintf(stderr, "kvo: unknown command '%s'\n\n%s", command.c_str(), kUsage);
    return 2;
}
