// Conversion of geometry objects to triangle-mesh objects.
#include <utility>

#include "platform/max/host_scene.h"

namespace {

const Class_ID kTriObjectClass(TRIOBJ_CLASS_ID, 0);

}  // namespace

int TriObject::CanConvertToType(Class_ID obtype) {
    return obtype == kTriObjectClass ? 1 : 0;
}

Object* TriObject::ConvertToType(TimeValue /*t*/, Class_ID obtype) {
    return obtype == kTriObjectClass ? this : nullptr;
}

EditableGeomObject::EditableGeomObject(Mesh m, bool canConvert)
    : mesh(std::move(m)), convertible(canConvert) {}

int EditableGeomObject::CanConvertToType(Class_ID obtype) {
    return convertible && obtype == kTriObjectClass ? 1 : 0;
}

// Each conversion makes a new TriObject with a copy of the mesh; the caller owns it.
Object* EditableGeomObject::ConvertToType(TimeValue /*t*/, Class_ID obtype) {
    if (!CanConvertToType(obtype)) return nullptr;
    auto* tri = new TriObject;
    tri->mesh = mesh;
    return tri;
}
