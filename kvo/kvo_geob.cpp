#include "kvo/kvo_geob.h"

#include <cstdlib>

KvoGeob::KvoGeob()
    : headerWord0(0),
      headerWord1(0),
      materialIndex(0),
      indices(nullptr),
      indexCount(0),
      vertices(nullptr),
      vertexCount(0),
      normals(nullptr),
      normalCount(0),
      colors(nullptr),
      colorCount(0),
      texCoords(nullptr),
      texCoordCount(0),
      burstStart{},
      burstLength{},
      burstMaterial{},
      burstVertsPerPrim{3},
      burstCount(1) {}

void KvoGeob::FreeArrays() {
    std::free(indices);
    std::free(vertices);
    std::free(normals);
    std::free(colors);
    std::free(texCoords);
    indices = nullptr;
    vertices = nullptr;
    normals = nullptr;
    colors = nullptr;
    texCoords = nullptr;
}
