// Placeholder so that the library links while the optimiser is being written.
#include "kvo/kvo_geode.h"

void KvoGeode::Optimize(int32_t*, int32_t*, int32_t*) {}
void KvoGeode::OptimizeGeob(KvoGeob*, int32_t*, int32_t*, int32_t*) {}
int32_t KvoGeode::MergeBursts(KvoGeob*) { return 0; }
int32_t KvoGeode::WeldVertices(KvoGeob*) { return 0; }
int32_t KvoGeode::CompactVertices(KvoGeob*) { return 0; }
void KvoGeode::ReorderVertices(KvoGeob*) {}
void KvoGeode::SwapVertices(KvoGeob*, int32_t, int32_t) {}
KvoMaterial* KvoGeode::ResolveBurstMaterial(const KvoGeob*, int32_t) const { return nullptr; }
