#include "kvo/kvo_material.h"

KvoMaterial::KvoMaterial()
    : ambient{0.2f, 0.2f, 0.2f, 0.2f},
      diffuse{0.8f, 0.8f, 0.8f, 1.0f},
      specular{0.0f, 0.0f, 0.0f, 1.0f},
      emission{0.0f, 0.0f, 0.0f, 1.0f},
      shininess(0.0f),
      transparency(0.0f),
      transparencyMode(0),
      flags(0),
      textures{},
      textureSlotBytes{},
      textureCount(0),
      uvTransform{0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f},
      subMaterialCount(0),
      subMaterials{} {}

KvoMaterial::~KvoMaterial() {
    // Every slot is owned, whatever the counts say (the reader may refuse mid-table).
    for (std::string*& texture : textures) {
        delete texture;
        texture = nullptr;
    }
    for (KvoMaterial*& sub : subMaterials) {
        delete sub;
        sub = nullptr;
    }
}
