// The portable stand-in's own scene building, beside the SDK's shapes in
// max_sdk.h: the scene that owns a root node and its materials and maps, the
// concrete materials, and object classes other than TriObject. Tests and the
// hosts build scenes with these; the plug-in sees only max_sdk.h's shapes.
#pragma once

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/max/max_sdk.h"

// ---- Objects -------------------------------------------------------------

// Stand-in: a geometry object of another class that converts to a new
// TriObject on each request (or refuses, when built that way).
class EditableGeomObject : public Object {
public:
    explicit EditableGeomObject(Mesh mesh, bool convertible = true);
    Class_ID ClassID() override { return Class_ID(0x1bf8338d, 0x192f6098); }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    int CanConvertToType(Class_ID obtype) override;
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    Mesh mesh;
    bool convertible;
};

// Stand-in: cameras, lights, shapes and helpers (not geometry).
class NonGeomObject : public Object {
public:
    explicit NonGeomObject(SClass_ID superClass) : superClass_(superClass) {}
    SClass_ID SuperClassID() override { return superClass_; }

private:
    SClass_ID superClass_;
};

// ---- Materials and maps -----------------------------------------------

// Stand-in: a texture of some other class (a procedural map).
class ProceduralTex : public Texmap {
public:
    Class_ID ClassID() override { return Class_ID(0x1234, 0x5678); }
};

// Stand-in: a standard material with texture slots (slot 1 is diffuse).
class StdMtl : public Mtl {
public:
    static constexpr int kSlots = 12;
    Class_ID ClassID() override { return Class_ID(2, 0); }
    int NumSubTexmaps() override { return kSlots; }
    Texmap* GetSubTexmap(int i) override;
    void SetSubTexmap(int i, Texmap* map);  // not owned

private:
    Texmap* maps_[kSlots] = {};
};

// Stand-in: a multi-material; sub-material numbers need not be contiguous.
class MultiMtl : public Mtl {
public:
    Class_ID ClassID() override { return Class_ID(0x200, 0); }
    int IsMultiMtl() override { return 1; }
    int NumSubMtls() override;
    Mtl* GetSubMtl(int i) override;   // null for any number without one
    void SetSubMtl(int i, Mtl* mtl);  // not owned

private:
    std::map<int, Mtl*> subs_;
};

// ---- The scene ----------------------------------------------------------

// Stand-in: one scene, the owner of its root and its materials and maps.
class HostScene {
public:
    HostScene();
    INode* GetRootNode() { return root_.get(); }
    template <class T, class... Args>
    T* Make(Args&&... args) {  // a material or texture owned by the scene
        auto owned = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = owned.get();
        owned_.push_back(std::move(owned));
        return raw;
    }

private:
    std::unique_ptr<INode> root_;
    std::vector<std::unique_ptr<Animatable>> owned_;
};
