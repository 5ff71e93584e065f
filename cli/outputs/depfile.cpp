#include "cli/outputs/depfile.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "cli/outputs/replace_file.h"

namespace kvooutputs {

namespace {

bool Representable(const std::string& path, std::string& error) {
    if (path.find_first_of("\t\r\n") != std::string::npos) {
        error = "the path '" + path + "' holds a tab or a line break, which a depfile cannot hold";
        return false;
    }
    if (path.empty()) {
        error = "an empty path";
        return false;
    }
    return true;
}

}  // namespace

std::string EscapeDepfilePath(const std::string& path) {
    std::string out;
    out.reserve(path.size() + 8);
    size_t backslashes = 0;
    for (char c : path) {
        // As compilers write them: the backslashes before a space are doubled.
        if (c == ' ') out.append(backslashes, '\\');
        if (c == ' ' || c == '#') out += '\\';
        if (c == '$') out += '$';
        out += c;
        backslashes = c == '\\' ? backslashes + 1 : 0;
    }
    return out;
}

bool FormatDepfile(const std::vector<std::string>& targets, const std::vector<std::string>& deps,
                   std::string& text, std::string& error) {
    text.clear();
    for (const std::string& path : targets) {
        if (!Representable(path, error)) return false;
    }
    for (const std::string& path : deps) {
        if (!Representable(path, error)) return false;
    }
    if (targets.empty()) return true;
    for (size_t i = 0; i < targets.size(); ++i) {
        if (i > 0) text += " \\\n ";
        text += EscapeDepfilePath(targets[i]);
    }
    text += ":";
    for (const std::string& dep : deps) text += " \\\n " + EscapeDepfilePath(dep);
    text += "\n";
    return true;
}

bool WriteDepfile(const std::string& path, const std::vector<std::string>& targets,
                  const std::vector<std::string>& deps, std::string& error) {
    std::string text;
    if (!FormatDepfile(targets, deps, text, error)) {
        error = "cannot write the depfile " + path + ": " + error;
        return false;
    }
    if (!ReplaceFile(path, text, error)) {
        error = "cannot write the depfile " + error;
        return false;
    }
    return true;
}

}  // namespace kvooutputs
