// Findings that do not break an invariant but that a user of a file wants to
// know about: values that no renderer can draw.
#pragma once

#include <string>
#include <vector>

#include "kvo/kvo_geode.h"

// One line per geob with non-finite (NaN or infinite) positions or normals,
// with the count and the first vertex ("geob 2: 3 vertices with a non-finite
// position, the first is vertex 5"). Geobs whose arrays do not match their
// counts are skipped; CheckGeode reports those.
std::vector<std::string> GeodeWarnings(const KvoGeode& geode);
