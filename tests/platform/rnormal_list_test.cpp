// The one-pointer list of a render vertex's extra normals behaves as the
// vector it replaces, through growth, copies, moves and clears.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/max/max_sdk.h"

namespace {

RNormal Numbered(int i) {
    RNormal n;
    n.normal = Point3(static_cast<float>(i), 0.5f * i, -1.0f * i);
    n.smGroup = 1u << (i % 32);
    n.mtlIndex = static_cast<MtlID>(i);
    return n;
}

void ExpectSame(const RNormalList<RNormal>& list, const std::vector<RNormal>& want) {
    ASSERT_EQ(list.size(), want.size());
    EXPECT_EQ(list.empty(), want.empty());
    EXPECT_GE(list.capacity(), list.size());
    size_t i = 0;
    for (const RNormal& n : list) {
        EXPECT_EQ(n.normal, want[i].normal) << i;
        EXPECT_EQ(n.smGroup, want[i].smGroup) << i;
        EXPECT_EQ(n.mtlIndex, want[i].mtlIndex) << i;
        ++i;
    }
}

TEST(RNormalList, BehavesAsAVectorOfNormals) {
    for (int count : {0, 1, 2, 3, 17, 300}) {
        SCOPED_TRACE(count);
        RNormalList<RNormal> list;
        std::vector<RNormal> want;
        for (int i = 0; i < count; ++i) {
            list.push_back(Numbered(i));
            want.push_back(Numbered(i));
        }
        ExpectSame(list, want);

        RNormalList<RNormal> copy(list);
        ExpectSame(copy, want);
        copy.push_back(Numbered(999));  // a copy owns its own normals
        ExpectSame(list, want);

        RNormalList<RNormal> assigned;
        assigned.push_back(Numbered(5));
        assigned = list;
        ExpectSame(assigned, want);
        const RNormalList<RNormal>& itself = assigned;
        assigned = itself;  // self-assignment keeps the normals
        ExpectSame(assigned, want);

        RNormalList<RNormal> moved(std::move(copy));
        EXPECT_EQ(moved.size(), want.size() + 1);
        RNormalList<RNormal> fromVector;
        fromVector = want;
        ExpectSame(fromVector, want);

        const size_t capacity = list.capacity();
        list.clear();
        ExpectSame(list, {});
        EXPECT_EQ(list.capacity(), capacity);  // cleared storage is kept for the next normals
    }
}

TEST(RNormalList, RenderVerticesCopyTheirNormals) {
    std::vector<RVertex> vertices(3);
    vertices[1].ern.push_back(Numbered(1));
    vertices[1].ern.push_back(Numbered(2));
    std::vector<RVertex> copies = vertices;
    vertices[1].ern.clear();
    ASSERT_EQ(copies[1].ern.size(), 2u);
    EXPECT_EQ(copies[1].ern[1].smGroup, Numbered(2).smGroup);
    EXPECT_TRUE(copies[0].ern.empty());
}

}  // namespace
