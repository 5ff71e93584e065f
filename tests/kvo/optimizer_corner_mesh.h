// A geob as the exporter leaves it before optimisation: every triangle corner
// its own vertex, with positions, texture coordinates and normals drawn from a
// smaller set of distinct values in random order, one burst over the whole list.
#pragma once

#include <cstdint>

#include "kvo/kvo_geob.h"

void FillCornerMesh(KvoGeob& geob, int32_t triangles, int32_t distinctValues, uint32_t seed);
