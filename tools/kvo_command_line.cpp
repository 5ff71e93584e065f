#include <algorithm>
#include <cstdio>

#include "tools/kvo_commands.h"

bool ParsedArguments::Has(const std::string& flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

ParsedArguments ParseArguments(const Arguments& args, const std::vector<std::string>& accepted) {
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            parsed.help = true;
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded &&
                   std::find(accepted.begin(), accepted.end(), arg) != accepted.end()) {
            parsed.flags.push_back(arg);
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
