#include "export/material_extraction.h"

#include "generators/generate_shader.h"
#include "kvo/kvo_geode.h"

namespace exporter {

namespace {

constexpr int kDiffuseMapSlot = 1;

std::string NameOf(MtlBase* material) {
    const char* name = static_cast<const char*>(material->GetName());
    return name ? name : "";
}

}  // namespace

std::string StripPath(const std::string& path) {
    size_t separator = path.rfind('\\');
    if (separator == std::string::npos) separator = path.rfind('/');
    if (separator == std::string::npos) return path;
    return path.substr(separator + 1);
}

std::string SanitizeName(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '_') {
            result += static_cast<char>(c);
        } else if (c == ' ') {
            result += '_';
        }
    }
    return result;
}

std::string GetDiffuseMapFile(Mtl* mtl) {
    if (!mtl) return "";
    const int count = mtl->NumSubTexmaps();
    for (int i = 0; i < count; ++i) {
        Texmap* map = mtl->GetSubTexmap(i);
        if (!map || i != kDiffuseMapSlot) continue;
        if (map->ClassID() != Class_ID(BMTEX_CLASS_ID, 0)) return "";
        const char* file = static_cast<BitmapTex*>(map)->GetMapName();
        return StripPath(file ? file : "");
    }
    return "";
}

void BuildMaterial(ExportContext& context, INode* node, KvoMaterial* materials, int materialIndex,
                   int materialId) {
    if (materialIndex < 0 || materialIndex >= KvoGeode::kMaxMaterials) return;

    std::string name;
    std::string texture;
    // A node without a material keeps an empty name and an empty texture name.
    Mtl* mtl = node ? node->GetMtl() : nullptr;
    if (mtl) {
        name = SanitizeName(NameOf(mtl));
        if (mtl->IsMultiMtl()) {
            // Only one level: a sub-material that is itself a multi-material is used as it is.
            Mtl* sub = mtl->GetSubMtl(materialId);
            if (sub) {
                name = SanitizeName(NameOf(sub));
                texture = GetDiffuseMapFile(sub);
            }
        } else {
            texture = GetDiffuseMapFile(mtl);
        }
    }

    KvoMaterial& record = materials[materialIndex];
    record.name = name;
    delete record.textures[0];
    record.textures[0] = new std::string(texture);
    record.textureCount = 1;

    if (context.Options().generateShader) context.ShaderFile().AddShader(record);
}

}  // namespace exporter
