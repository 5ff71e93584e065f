// Scene nodes: the child tree, and objects and transforms keyed by time.
#include <iterator>
#include <set>

#include "platform/max/max_sdk.h"

namespace {

// The entry in force at time t: the key at the greatest time not after t, or
// the earliest key when every key is later. Null when there are no keys.
template <class Value>
const Value* KeyAt(const std::map<TimeValue, Value>& keys, TimeValue t) {
    if (keys.empty()) return nullptr;
    auto after = keys.upper_bound(t);
    if (after == keys.begin()) return &after->second;
    return &std::prev(after)->second;
}

}  // namespace

INode::~INode() {
    // One object may sit at several keys; each is released once.
    std::set<Object*> owned;
    for (const auto& key : objects_) owned.insert(key.second);
    for (Object* obj : owned) obj->DeleteThis();
}

INode* INode::GetChildNode(int i) {
    if (i < 0 || i >= NumberOfChildren()) return nullptr;
    return children_[static_cast<size_t>(i)].get();
}

ObjectState INode::EvalWorldState(TimeValue t, BOOL evalHidden) {
    if (hidden_ && !evalHidden) return ObjectState();
    Object* const* obj = KeyAt(objects_, t);
    return ObjectState(obj ? *obj : nullptr);
}

Matrix3 INode::GetObjTMAfterWSM(TimeValue t, Interval* valid) {
    if (valid) *valid = Interval{t, t};
    const Matrix3* tm = KeyAt(transforms_, t);
    return tm ? *tm : Matrix3();
}

INode* INode::CreateChild(const std::string& name) {
    children_.push_back(std::make_unique<INode>());
    INode* child = children_.back().get();
    child->name_ = name;
    child->parent_ = this;
    return child;
}

// Replacing a key releases the old object unless another key still holds it;
// a null object removes the key.
void INode::SetObject(Object* obj, TimeValue t) {
    auto found = objects_.find(t);
    if (found != objects_.end()) {
        Object* old = found->second;
        if (old == obj) return;
        objects_.erase(found);
        bool stillHeld = false;
        for (const auto& key : objects_) stillHeld = stillHeld || key.second == old;
        if (!stillHeld) old->DeleteThis();
    }
    if (obj) objects_[t] = obj;
}

void INode::SetObjTM(const Matrix3& tm, TimeValue t) {
    transforms_[t] = tm;
}
