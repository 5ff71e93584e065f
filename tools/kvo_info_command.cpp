// `kvo info`: a readable or JSON summary of KVO files.
#include <cstdio>
#include <string>

#include "tools/kvo_commands.h"
#include "tools/text_output.h"

namespace {

const char kUsage[] = "Usage: kvo info [--json] FILE...\n";
const char kHelp[] =
    "Usage: kvo info [--json] FILE...\n"
    "\n"
    "Prints the materials of each FILE (names, colours, texture names, sub-materials)\n"
    "and its geobs (material, counts, bursts, bounding box), one file after another.\n"
    "\n"
    "Options:\n"
    "  --json      print the same as one JSON object per file: the object itself for\n"
    "              one FILE, an array of them for several. Texts keep their valid\n"
    "              UTF-8; each byte that is not part of valid UTF-8 becomes \\ufffd\n"
    "              (U+FFFD); control characters are \\u escapes.\n"
    "  -h, --help  show this help\n"
    "\n"
    "A file that cannot be loaded is reported on standard error and the others are\n"
    "still printed.\n"
    "\n"
    "Exit status: 0 printed, 1 a file cannot be loaded or the output cannot be\n"
    "written, 2 usage error.\n";

struct Box {
    bool empty = true;
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};
};

Box BoundingBox(const KvoGeob& geob) {
    Box box;
    if (!geob.vertices) return box;
    for (int32_t v = 0; v < geob.vertexCount; ++v) {
        const float* p = geob.vertices + 3 * static_cast<size_t>(v);
        for (int axis = 0; axis < 3; ++axis) {
            if (box.empty || p[axis] < box.min[axis]) box.min[axis] = p[axis];
            if (box.empty || p[axis] > box.max[axis]) box.max[axis] = p[axis];
        }
        box.empty = false;
    }
    return box;
}

std::string Floats(const float* values, int count, bool json) {
    std::string out = json ? "[" : "";
    for (int i = 0; i < count; ++i) {
        if (i > 0) out += json ? ", " : " ";
        out += FloatText(values[i], json);
    }
    return json ? out + "]" : out;
}

// Name of the geode's material `index`, or a note when the index is outside the table.
std::string MaterialLabel(const KvoGeode& geode, int32_t index) {
    if (index < 0 || index >= geode.materialCount || !geode.materials[index]) {
        return "(outside the material table)";
    }
    return QuotedText(geode.materials[index]->name);
}

// --- text ---------------------------------------------------------------------

void PrintMaterial(const KvoMaterial& m, const std::string& label, const std::string& indent) {
    std::printf("%s%s %s", indent.c_str(), label.c_str(), QuotedText(m.name).c_str());
    if (!m.secondaryName.empty()) std::printf(" (%s)", QuotedText(m.secondaryName).c_str());
    std::printf("\n");
    const std::string in = indent + "  ";
    std::printf("%sambient   %s\n", in.c_str(), Floats(m.ambient, 4, false).c_str());
    std::printf("%sdiffuse   %s\n", in.c_str(), Floats(m.diffuse, 4, false).c_str());
    std::printf("%sspecular  %s\n", in.c_str(), Floats(m.specular, 4, false).c_str());
    std::printf("%semission  %s\n", in.c_str(), Floats(m.emission, 4, false).c_str());
    std::printf("%sshininess %s, transparency %s (mode %d), flags 0x%x\n", in.c_str(),
                FloatText(m.shininess).c_str(), FloatText(m.transparency).c_str(),
                m.transparencyMode, static_cast<unsigned>(m.flags));
    std::printf("%suv transform %s\n", in.c_str(), Floats(m.uvTransform, 7, false).c_str());
    for (int32_t i = 0; i < m.textureCount; ++i) {
        if (m.textures[i]) {
            std::printf("%stexture %d: %s\n", in.c_str(), i, QuotedText(*m.textures[i]).c_str());
        }
    }
    for (int32_t k = 0; k < m.subMaterialCount; ++k) {
        if (m.subMaterials[k]) {
            PrintMaterial(*m.subMaterials[k], "sub-material " + std::to_string(k), in);
        }
    }
}

void PrintGeob(const KvoGeode& geode, const KvoGeob& g, int32_t number) {
    std::printf("geob %d: material %d %s\n", number, g.materialIndex,
                MaterialLabel(geode, g.materialIndex).c_str());
    std::printf("  %d indices (%d triangles), %d vertices", g.indexCount, g.indexCount / 3,
                g.vertexCount);
    if (g.texCoords) std::printf(", %d texture coordinates", g.texCoordCount);
    if (g.normals) std::printf(", %d normals", g.normalCount);
    if (g.colors) std::printf(", %d colours", g.colorCount);
    std::printf("\n  header %d %d\n", g.headerWord0, g.headerWord1);
    for (int32_t b = 0; b < g.burstCount && b < KvoGeob::kMaxBursts; ++b) {
        std::printf("  burst %d: start %d, length %d, material %d, %d vertices per primitive\n", b,
                    g.burstStart[b], g.burstLength[b], g.burstMaterial[b], g.burstVertsPerPrim[b]);
    }
    const Box box = BoundingBox(g);
    if (box.empty) {
        std::printf("  bounding box: none\n");
    } else {
        std::printf("  bounding box: (%s) - (%s)\n", Floats(box.min, 3, false).c_str(),
                    Floats(box.max, 3, false).c_str());
    }
}

void PrintText(const KvoGeode& geode, const std::string& file) {
    std::printf("%s: %d materials, %d geobs\n", file.c_str(), geode.materialCount, geode.geobCount);
    for (int32_t i = 0; i < geode.materialCount; ++i) {
        if (geode.materials[i])
            PrintMaterial(*geode.materials[i], "material " + std::to_string(i), "");
    }
    for (int32_t i = 0; i < geode.geobCount; ++i) {
        if (geode.geobs[i]) {
            PrintGeob(geode, *geode.geobs[i], i);
        } else {
            std::printf("geob %d: skipped (old GOB0 block)\n", i);
        }
    }
}

// --- JSON ---------------------------------------------------------------------

std::string MaterialJson(const KvoMaterial& m) {
    std::string out = "{\"name\": " + JsonString(m.name) +
                      ", \"secondaryName\": " + JsonString(m.secondaryName) +
                      ", \"ambient\": " + Floats(m.ambient, 4, true) +
                      ", \"diffuse\": " + Floats(m.diffuse, 4, true) +
                      ", \"specular\": " + Floats(m.specular, 4, true) +
                      ", \"emission\": " + Floats(m.emission, 4, true) +
                      ", \"shininess\": " + FloatText(m.shininess, true) +
                      ", \"transparency\": " + FloatText(m.transparency, true) +
                      ", \"transparencyMode\": " + std::to_string(m.transparencyMode) +
                      ", \"flags\": " + std::to_string(m.flags) +
                      ", \"uvTransform\": " + Floats(m.uvTransform, 7, true) + ", \"textures\": [";
    bool first = true;
    for (int32_t i = 0; i < m.textureCount; ++i) {
        if (!m.textures[i]) continue;
        out += (first ? "" : ", ") + JsonString(*m.textures[i]);
        first = false;
    }
    out += "], \"subMaterials\": [";
    first = true;
    for (int32_t k = 0; k < m.subMaterialCount; ++k) {
        if (!m.subMaterials[k]) continue;
        out += (first ? "" : ", ") + MaterialJson(*m.subMaterials[k]);
        first = false;
    }
    return out + "]}";
}

std::string OptionalCount(const void* data, int32_t count) {
    return data ? std::to_string(count) : "null";
}

std::string GeobJson(const KvoGeob& g) {
    std::string out = "{\"headerWord0\": " + std::to_string(g.headerWord0) +
                      ", \"headerWord1\": " + std::to_string(g.headerWord1) +
                      ", \"materialIndex\": " + std::to_string(g.materialIndex) +
                      ", \"indexCount\": " + std::to_string(g.indexCount) +
                      ", \"vertexCount\": " + std::to_string(g.vertexCount) +
                      ", \"texCoordCount\": " + OptionalCount(g.texCoords, g.texCoordCount) +
                      ", \"normalCount\": " + OptionalCount(g.normals, g.normalCount) +
                      ", \"colorCount\": " + OptionalCount(g.colors, g.colorCount) +
                      ", \"bursts\": [";
    for (int32_t b = 0; b < g.burstCount && b < KvoGeob::kMaxBursts; ++b) {
        out += (b ? ", " : "") + std::string("{\"start\": ") + std::to_string(g.burstStart[b]) +
               ", \"length\": " + std::to_string(g.burstLength[b]) +
               ", \"material\": " + std::to_string(g.burstMaterial[b]) +
               ", \"vertsPerPrim\": " + std::to_string(g.burstVertsPerPrim[b]) + "}";
    }
    const Box box = BoundingBox(g);
    out += "], \"boundingBox\": ";
    out += box.empty ? "null"
                     : "{\"min\": " + Floats(box.min, 3, true) +
                           ", \"max\": " + Floats(box.max, 3, true) + "}";
    return out + "}";
}

std::string FileJson(const KvoGeode& geode, const std::string& file) {
    std::string out = "{\"file\": " + JsonString(file) + ", \"materials\": [";
    bool first = true;
    for (int32_t i = 0; i < geode.materialCount; ++i) {
        if (!geode.materials[i]) continue;
        out += (first ? "\n  " : ",\n  ") + MaterialJson(*geode.materials[i]);
        first = false;
    }
    out += "],\n\"geobs\": [";
    for (int32_t i = 0; i < geode.geobCount; ++i) {
        out += (i ? ",\n  " : "\n  ") + (geode.geobs[i] ? GeobJson(*geode.geobs[i]) : "null");
    }
    return out + "]}";
}

}  // namespace

int RunInfo(const Arguments& args) {
    const ParsedArguments parsed = ParseArguments(args, {"--json"});
    if (parsed.help) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (!parsed.unknownOption.empty()) {
        return UsageError("info", "unknown option '" + parsed.unknownOption + "'", kUsage);
    }
    if (parsed.files.empty()) return UsageError("info", "expects a FILE", kUsage);
    const bool json = parsed.Has("--json");
    const bool array = json && parsed.files.size() > 1;
    int status = 0;
    bool first = true;
    if (array) std::fputs("[", stdout);
    for (const std::string& file : parsed.files) {
        KvoGeode geode(file);
        if (!LoadOrReport("info", file, geode)) {
            status = 1;
            continue;
        }
        if (json) {
            const std::string separator = !array ? "" : first ? "\n" : ",\n";
            std::fputs((separator + FileJson(geode, file) + (array ? "" : "\n")).c_str(), stdout);
        } else {
            if (!first) std::fputs("\n", stdout);  // a blank line between files
            PrintText(geode, file);
        }
        first = false;
    }
    if (array) std::fputs("]\n", stdout);
    return status;
}
