// Checks of the invariants that the optimiser and the writer rely on, for
// geodes that come from outside (a loaded file) before they are worked on.
#pragma once

#include <string>
#include <vector>

#include "kvo/kvo_geode.h"

// One line per broken invariant; empty when the geode is sound.
std::vector<std::string> ValidateGeode(const KvoGeode& geode);
