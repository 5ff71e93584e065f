// Test helpers for the optimiser: geobs that free their own arrays, deep
// copies, and a bit-by-bit comparison of every field.
#pragma once

#include <string>

#include "kvo/kvo_geob.h"
#include "kvo/kvo_geode.h"
#include "kvo/kvo_material.h"

// A geob whose arrays are freed with it.
struct OwnedGeob {
    OwnedGeob() = default;
    ~OwnedGeob() { geob.FreeArrays(); }
    OwnedGeob(const OwnedGeob&) = delete;
    OwnedGeob& operator=(const OwnedGeob&) = delete;

    KvoGeob geob;
};

// Makes `to` a deep copy of `from`; arrays are copied as long as their counts
// say (nothing for a negative count), a null array stays null.
void CopyGeob(const KvoGeob& from, KvoGeob& to);

// "" when both geobs hold the same values bit for bit (all 100 entries of the
// burst arrays included); otherwise the first difference found.
std::string DescribeDifference(const KvoGeob& actual, const KvoGeob& expected);

// A geode over a fixed material table for resolving burst materials: 0 plain,
// 1 multi with three sub-materials, 2 null, 3 multi whose second sub-material
// is null, 4 plain. Without materials the table is empty.
class TestGeode {
public:
    explicit TestGeode(bool withMaterials);
    TestGeode(const TestGeode&) = delete;
    TestGeode& operator=(const TestGeode&) = delete;

    KvoGeode geode{"test.kvo"};
    KvoMaterial records[5];
};
