// The subcommands of the `kvo` tool and their shared command-line handling.
// Each subcommand takes the arguments after its name and returns the exit
// status: 0 success, 1 failure, 2 usage error.
#pragma once

#include <string>
#include <vector>

#include "kvo/kvo_geode.h"

using Arguments = std::vector<std::string>;

int RunInfo(const Arguments& args);
int RunValidate(const Arguments& args);
int RunOptimize(const Arguments& args);
// With the view library (kvo_render.cpp, kvo_convert.cpp).
int RunRender(const Arguments& args);
int RunConvert(const Arguments& args);

// One subcommand's command line: its flags and its positional arguments.
struct ParsedArguments {
    bool help = false;
    std::vector<std::string> flags;  // the accepted flags given, in order
    std::vector<std::string> files;
    std::string unknownOption;

    bool Has(const std::string& flag) const;
};
// Recognises -h/--help, "--" and the flags in `accepted`; anything else that
// starts with '-' is an unknown option.
ParsedArguments ParseArguments(const Arguments& args, const std::vector<std::string>& accepted);

// Prints "kvo COMMAND: MESSAGE" and the command's usage line on stderr; returns 2.
int UsageError(const char* command, const std::string& message, const char* usage);

// Loads `file`; on failure prints the cause on stderr and returns false.
bool LoadOrReport(const char* command, const std::string& file, KvoGeode& geode);
