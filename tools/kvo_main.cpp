// `kvo`: the everyday tool for KVO files (info, validate, optimize).
#include <cstdio>

#include "tools/kvo_commands.h"
#include "tools/standard_output.h"

namespace {

const char kUsage[] =
    "Usage: kvo COMMAND [OPTIONS] FILE...\n"
    "\n"
    "Inspects and processes KVO object files.\n"
    "\n"
    "Commands:\n"
    "  info [--json] FILE...          summary of the materials and geobs of each FILE\n"
    "  validate [--strict] FILE...    check the invariants the optimiser and the writer\n"
    "                                 rely on; warn about non-finite values\n"
    "  optimize IN OUT                merge bursts, weld, compact and reorder the geobs\n"
    "                                 of IN and save them as OUT\n"
#ifdef KVO_WITH_VIEW
    "  render FILE...                 a PNG picture of the files (-o OUT.png; --help)\n"
    "  convert IN OUT                 IN as glTF 2 (.glb, .gltf) or OBJ, by OUT's extension\n"
#endif
    "\n"
    "Options:\n"
    "  -h, --help           show this help (also after a command)\n"
    "\n"
    "Exit status: 0 success, 1 failure (the cause is printed), 2 usage error.\n";

int Run(int argc, char** argv) {
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

}  // namespace

int main(int argc, char** argv) {
    IgnoreFileSizeSignal();
    return FinishOutput("kvo", Run(argc, argv));
}
