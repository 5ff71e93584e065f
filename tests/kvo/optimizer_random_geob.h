// Random small geobs for proving the optimiser against the literal reference:
// few distinct values (many duplicates), signed zeros, NaNs with several
// payloads, colour seams, holes and unused tails, any mix of optional streams, several bursts,
// and on request geobs that break the optimiser's invariants.
#pragma once

#include <random>

#include "kvo/kvo_geob.h"

enum class GeobFlaw {
    kNone,
    kIndexTooLarge,
    kShortStream,
    kBurstCountOutOfRange,
    kNegativeBurstMaterial,
    kNegativeCount,
};

// Fills an empty geob; vertices equal in all other streams may differ in colour.
void FillRandomGeob(std::mt19937& rng, KvoGeob& geob);

// Breaks exactly the named invariant of a geob filled by FillRandomGeob.
void BreakGeob(std::mt19937& rng, GeobFlaw flaw, KvoGeob& geob);
