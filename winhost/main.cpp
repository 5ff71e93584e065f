// kvoexp-win: a 32-bit Windows host for the plug-in DLL. It loads kvoexp.dll
// as the host application does, opens the utility's panel in a command-panel
// window and drives it with real window messages; each command is one
// session that checks what the plug-in did.
#include <cstdio>
#include <cstring>
#include <map>

#include "winhost/sessions.h"

namespace {

constexpr char kUsage[] =
    "Usage: kvoexp-win SESSION --dll DLL [--config DIR] [--scene FILE] [--big-scene FILE]\n"
    "                  [--output DIR] [--images DIR] [--[no-]CHECKBOX...]\n"
    "Sessions: exports, panel, export, errors, forbidden, screenshots.\n"
    "Check boxes: localize optimize normals up-normals vertex-colors shader geometry-ini log.\n";

using Session = int (*)(const winhost::SessionArgs&);

const std::map<std::string, Session> kSessions = {
    {"exports", winhost::RunExportsSession},         {"panel", winhost::RunPanelSession},
    {"export", winhost::RunExportSession},           {"errors", winhost::RunErrorsSession},
    {"forbidden", winhost::RunForbiddenNameSession}, {"screenshots", winhost::RunScreenshots},
};

bool ParseArguments(int argc, char** argv, winhost::SessionArgs& args) {
    const std::map<std::string, std::string*> valued = {
        {"--dll", &args.dll},       {"--config", &args.config},
        {"--scene", &args.scene},   {"--big-scene", &args.bigScene},
        {"--output", &args.output}, {"--images", &args.images},
    };
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto found = valued.find(arg);
        if (found != valued.end() && i + 1 < argc) {
            *found->second = argv[++i];
        } else if (!hostdrive::ParseCheckFlag(arg, args.checks)) {
            std::fprintf(stderr, "kvoexp-win: unknown argument %s\n", arg.c_str());
            return false;
        }
    }
    return !args.dll.empty();
}

}  // namespace

int main(int argc, char** argv) {
    winhost::SessionArgs args;
    const auto session = argc > 1 ? kSessions.find(argv[1]) : kSessions.end();
    if (session == kSessions.end() || !ParseArguments(argc, argv, args)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    return session->second(args);
}
