// The one checker of what the writer, the optimiser and file validation rely
// on. Each caller states how strict it needs the records to be; every broken
// invariant comes back as one line of text naming the record and the cause.
#pragma once

#include <string>
#include <vector>

#include "kvo/kvo_geode.h"

enum class KvoStrictness {
    // What the writer needs to read only memory the records own: table limits,
    // counts not negative and backed by arrays, 0..100 bursts, nesting depth.
    kWrite,
    // Also what the optimiser relies on: every index below the vertex count,
    // optional streams covering every vertex, 1..100 bursts with material
    // numbers not negative, array sizes that fit in memory.
    kOptimize,
    // Also the geob's material index inside the material table (for files).
    kFile,
};

// Causes of one geob, each prefixed with `where` ("geob 3: ..."); the material
// index is not checked here, since that needs the table.
void CheckGeob(const KvoGeob& geob, KvoStrictness strictness, const std::string& where,
               std::vector<std::string>& causes);

// Causes of one material and its sub-materials, `depth` levels below the table.
void CheckMaterial(const KvoMaterial& material, int depth, const std::string& where,
                   std::vector<std::string>& causes);

// Every cause of the geode, tables first; empty when it is sound. Null entries
// (a skipped old geob block) are accepted.
std::vector<std::string> CheckGeode(const KvoGeode& geode, KvoStrictness strictness);
