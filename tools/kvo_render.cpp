// `kvo render`: a PNG picture of KVO files, drawn off screen.
#include <cstdio>
#include <string>

#include "tools/kvo_commands.h"
#include "view/render.h"

namespace {

const char kUsage[] = "Usage: kvo render [OPTIONS] FILE.kvo... -o OUT.png\n";
const char kHelp[] =
    "Usage: kvo render [OPTIONS] FILE.kvo... -o OUT.png\n"
    "\n"
    "Draws the files together, framed on their bounding box (Y up), off screen in\n"
    "software, and writes the picture as PNG.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE  the PNG to write (required)\n"
    "  --size WxH         picture size, each tile's with --grid (default 512x512)\n"
    "  --view VIEW        iso, front, back, left, right, top or bottom (default iso)\n"
    "  --mode MODE        shaded: diffuse texture or colour, one light, the file's normals;\n"
    "                     normals: the normal as colour; uv: a checker over the texture\n"
    "                     coordinates; wireframe: edges over flat grey (default shaded)\n"
    "  --textures DIR     where texture names are looked up (repeatable; default: each\n"
    "                     file's folder); a texture not found or not readable is drawn\n"
    "                     as a magenta checker, with a warning\n"
    "  --grid             one tile per file with its name below\n"
    "  -h, --help         show this help\n"
    "\n"
    "Exit status: 0 written (warnings on stderr), 1 failure, 2 usage error.\n";

// The value of an option given as "--name value" or "--name=value".
bool OptionValue(const Arguments& args, size_t& i, const std::string& name, std::string* value,
                 bool* missing) {
    const std::string& arg = args[i];
    if (arg == name) {
        if (i + 1 >= args.size()) {
            *missing = true;
            return true;
        }
        *value = args[++i];
        return true;
    }
    if (arg.compare(0, name.size() + 1, name + "=") == 0) {
        *value = arg.substr(name.size() + 1);
        return true;
    }
    return false;
}

}  // namespace

int RunRender(const Arguments& args) {
    kvoview::RenderOptions options;
    std::vector<std::string> files;
    std::string output;
    bool grid = false, optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        bool missing = false;
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--grid") {
            grid = true;
        } else if (OptionValue(args, i, "-o", &value, &missing) ||
                   OptionValue(args, i, "--output", &value, &missing)) {
            if (missing) return UsageError("render", arg + " needs a file name", kUsage);
            output = value;
        } else if (OptionValue(args, i, "--size", &value, &missing)) {
            if (missing || !kvoview::ParseSize(value, &options.width, &options.height)) {
                return UsageError("render", "--size wants WxH with sides from 1 to 8192", kUsage);
            }
        } else if (OptionValue(args, i, "--view", &value, &missing)) {
            if (missing || !kvoview::ParseView(value, &options.view)) {
                return UsageError(
                    "render", "--view wants iso, front, back, left, right, top or bottom", kUsage);
            }
        } else if (OptionValue(args, i, "--mode", &value, &missing)) {
            if (missing || !kvoview::ParseMode(value, &options.mode)) {
                return UsageError("render", "--mode wants shaded, normals, uv or wireframe",
                                  kUsage);
            }
        } else if (OptionValue(args, i, "--textures", &value, &missing)) {
            if (missing) return UsageError("render", "--textures needs a folder", kUsage);
            options.textureDirs.push_back(value);
        } else {
            return UsageError("render", "unknown option '" + arg + "'", kUsage);
        }
    }
    if (files.empty()) return UsageError("render", "no input files", kUsage);
    if (output.empty()) return UsageError("render", "no output file (-o OUT.png)", kUsage);

    kvoview::Image image;
    std::vector<std::string> warnings;
    std::string error;
    const bool drawn = grid ? kvoview::RenderContactSheet(files, options, &image, &warnings, &error)
                            : kvoview::RenderKvoFiles(files, options, &image, &warnings, &error);
    for (const std::string& warning : warnings) {
        std::fprintf(stderr, "kvo: warning: %s\n", warning.c_str());
    }
    if (!drawn || !kvoview::WritePng(image, output, &error)) {
        std::fprintf(stderr, "kvo render: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
