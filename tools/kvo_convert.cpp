// `kvo convert`: a KVO file as glTF 2 (.glb, .gltf) or OBJ, through Assimp.
#include <cstdio>
#include <string>

#include "tools/kvo_commands.h"
#include "view/convert.h"

namespace {

const char kUsage[] = "Usage: kvo convert IN.kvo OUT.(glb|gltf|obj)\n";
const char kHelp[] =
    "Usage: kvo convert IN.kvo OUT.(glb|gltf|obj)\n"
    "\n"
    "Writes the geobs of IN as meshes with their materials (name, diffuse colour, the\n"
    "first texture name as the base colour map), positions, texture coordinates,\n"
    "normals and vertex colours. The format follows OUT's extension: .glb (binary\n"
    "glTF 2), .gltf (glTF 2 with a .bin beside it) or .obj (with a .mtl). Y stays up;\n"
    "glTF files get their texture coordinates as 1 - v, as glTF expects.\n"
    "\n"
    "Options:\n"
    "  -h, --help  show this help\n"
    "\n"
    "Exit status: 0 written (warnings on stderr), 1 failure, 2 usage error.\n";

}  // namespace

int RunConvert(const Arguments& args) {
    const ParsedArguments parsed = ParseArguments(args, {});
    if (parsed.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!parsed.unknownOption.empty()) {
        return UsageError("convert", "unknown option '" + parsed.unknownOption + "'", kUsage);
    }
    if (parsed.files.size() != 2) return UsageError("convert", "wants IN and OUT", kUsage);
    const std::string& out = parsed.files[1];
    if (kvoview::ExportFormatFor(out).empty()) {
        return UsageError("convert", "OUT must end in .glb, .gltf or .obj", kUsage);
    }
    std::vector<std::string> warnings;
    std::string error;
    const bool written = kvoview::ConvertKvoFile(parsed.files[0], out, &warnings, &error);
    for (const std::string& warning : warnings) {
        std::fprintf(stderr, "kvo: warning: %s\n", warning.c_str());
    }
    if (!written) {
        std::fprintf(stderr, "kvo convert: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
