#include "cli/import/vertex_welder.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>

namespace {

using kvoimport::HashFloat;
using kvoimport::SameBits;
using kvoimport::WeldVertices;

// The literal definition: a vertex joins the class of the first earlier
// vertex with the same bits in every value; classes count up as they appear.
std::vector<uint32_t> LiteralWeld(const std::vector<std::array<float, 4>>& v,
                                  std::vector<uint32_t>& firsts) {
    std::vector<uint32_t> cls(v.size());
    firsts.clear();
    for (size_t i = 0; i < v.size(); ++i) {
        bool found = false;
        for (size_t j = 0; j < i && !found; ++j) {
            bool same = true;
            for (int k = 0; k < 4; ++k) same = same && SameBits(v[i][k], v[j][k]);
            if (same) {
                cls[i] = cls[j];
                found = true;
            }
        }
        if (!found) {
            cls[i] = static_cast<uint32_t>(firsts.size());
            firsts.push_back(static_cast<uint32_t>(i));
        }
    }
    return cls;
}

// How the fast weld hashes: well, or with every vertex on one slot (the first,
// or the last, so that the probes wrap around the table's end).
enum class Hashing { Good, AllOnFirstSlot, AllOnLastSlot };

std::vector<uint32_t> FastWeld(const std::vector<std::array<float, 4>>& v,
                               std::vector<uint32_t>& firsts, Hashing hashing) {
    const auto hash = [&](uint32_t i) {
        if (hashing == Hashing::AllOnFirstSlot) return uint64_t{7};
        if (hashing == Hashing::AllOnLastSlot) return uint64_t{0xffffffffu};
        uint64_t h = 0;
        for (float f : v[i]) h = HashFloat(h, f);
        return h;
    };
    const auto same = [&](uint32_t a, uint32_t b) {
        for (int k = 0; k < 4; ++k) {
            if (!SameBits(v[a][k], v[b][k])) return false;
        }
        return true;
    };
    return kvoimport::WeldVertices(static_cast<uint32_t>(v.size()), hash, same, firsts);
}

TEST(VertexWelder, MatchesTheLiteralDefinitionOnRandomMeshes) {
    std::mt19937 rng(3);
    const float specials[] = {0.0f,
                              -0.0f,
                              std::numeric_limits<float>::quiet_NaN(),
                              -std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              1.0f,
                              1e-40f};
    for (int round = 0; round < 40; ++round) {
        const size_t count = std::uniform_int_distribution<size_t>(0, 600)(rng);
        std::vector<std::array<float, 4>> v(count);
        for (auto& vertex : v) {
            for (float& f : vertex) f = specials[rng() % 7];
        }
        for (Hashing hashing : {Hashing::Good, Hashing::AllOnFirstSlot, Hashing::AllOnLastSlot}) {
            std::vector<uint32_t> literalFirsts, fastFirsts;
            EXPECT_EQ(FastWeld(v, fastFirsts, hashing), LiteralWeld(v, literalFirsts));
            EXPECT_EQ(fastFirsts, literalFirsts);
        }
    }
}

TEST(VertexWelder, KeepsSignedZerosAndNaNPayloadsApart) {
    const std::vector<std::array<float, 4>> v = {
        {0.0f, 0, 0, 0},           {-0.0f, 0, 0, 0},          {0.0f, 0, 0, 0},
        {std::nanf("1"), 0, 0, 0}, {std::nanf("2"), 0, 0, 0}, {std::nanf("1"), 0, 0, 0}};
    std::vector<uint32_t> firsts;
    EXPECT_EQ(FastWeld(v, firsts, Hashing::Good), (std::vector<uint32_t>{0, 1, 0, 2, 3, 2}));
    EXPECT_EQ(firsts, (std::vector<uint32_t>{0, 1, 3, 4}));
}

}  // namespace
