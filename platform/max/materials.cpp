// Texture slots of standard materials and numbered sub-materials of multi-materials.
#include <climits>

#include "platform/max/host_scene.h"

Texmap* StdMtl::GetSubTexmap(int i) {
    return i >= 0 && i < kSlots ? maps_[i] : nullptr;
}

void StdMtl::SetSubTexmap(int i, Texmap* map) {
    if (i >= 0 && i < kSlots) maps_[i] = map;
}

// One past the highest sub-material number, so every number in use is below it.
int MultiMtl::NumSubMtls() {
    if (subs_.empty()) return 0;
    int highest = subs_.rbegin()->first;
    return highest < INT_MAX ? highest + 1 : INT_MAX;
}

Mtl* MultiMtl::GetSubMtl(int i) {
    auto found = subs_.find(i);
    return found == subs_.end() ? nullptr : found->second;
}

void MultiMtl::SetSubMtl(int i, Mtl* mtl) {
    if (i < 0) return;
    if (mtl) {
        subs_[i] = mtl;
    } else {
        subs_.erase(i);
    }
}
