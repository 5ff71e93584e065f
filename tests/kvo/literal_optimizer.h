// Reference optimiser for the tests and the benchmark: the pairwise algorithms
// written out step by step, slow and plain, to prove the library's against.
#pragma once

#include <cstdint>

#include "kvo/kvo_geode.h"

namespace literal {

// The invariants the optimiser relies on, checked entry by entry.
bool KeepsInvariants(const KvoGeob& geob);

KvoMaterial* ResolveBurstMaterial(const KvoGeode& geode, const KvoGeob* geob,
                                  int32_t burstMaterial);
int32_t MergeBursts(const KvoGeode& geode, KvoGeob* geob);
int32_t WeldVertices(KvoGeob* geob);
int32_t CompactVertices(KvoGeob* geob);
void ReorderVertices(KvoGeob* geob);
void SwapVertices(KvoGeob* geob, int32_t a, int32_t b);
void OptimizeGeob(const KvoGeode& geode, KvoGeob* geob, int32_t* indicesEqualized,
                  int32_t* verticesRemoved, int32_t* burstsRemoved);
void Optimize(const KvoGeode& geode, int32_t* indicesEqualized, int32_t* verticesRemoved,
              int32_t* burstsRemoved);

}  // namespace literal
