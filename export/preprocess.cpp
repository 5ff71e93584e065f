#include "export/preprocess.h"

#include <algorithm>
#include <memory>

#include "generators/i_logger.h"

namespace exporter {

namespace {

constexpr TimeValue kExportTime = 0;

const Class_ID kTriObjectClass(TRIOBJ_CLASS_ID, 0);

// Appends every face index to the list of its material ID, in one pass. Returns
// false when the run was cancelled; the faces grouped so far stay.
bool GroupFaces(ExportContext& context, PreparedNode& prepared) {
    const Mesh& mesh = *prepared.mesh;
    const size_t faceCount =
        std::min(static_cast<size_t>(std::max(mesh.getNumFaces(), 0)), mesh.faces.size());
    std::vector<int32_t>* group = nullptr;
    uint32_t groupId = 0;
    for (size_t j = 0; j < faceCount; ++j) {
        if (context.IsCancelled()) return false;
        const uint32_t id = mesh.faces[j].getMatID();
        // Neighbouring faces mostly share their ID: skip the map lookup for them.
        if (!group || id != groupId) {
            group = &prepared.facesByMaterial[id];
            groupId = id;
        }
        group->push_back(static_cast<int32_t>(j));
        ++prepared.faceCount;
    }
    return true;
}

}  // namespace

TriObject* ConvertToTriObject(INode* node, TimeValue t, bool& createdNew) {
    createdNew = false;
    Object* object = node->EvalWorldState(t, TRUE).obj;
    if (!object || !object->CanConvertToType(kTriObjectClass)) return nullptr;
    Object* converted = object->ConvertToType(t, kTriObjectClass);
    if (!converted) return nullptr;
    const bool isNew = converted != object;
    if (converted->ClassID() != kTriObjectClass) {  // not what was asked for
        if (isNew) converted->DeleteThis();
        return nullptr;
    }
    createdNew = isNew;
    return static_cast<TriObject*>(converted);
}

void ReleaseNodes(ExportContext& context) {
    context.PreparedNodes().clear();
}

void Preprocess(ExportContext& context) {
    context.SetDetailText("Status: Preprocess");
    ReleaseNodes(context);
    context.ObjectCount() = 0;
    context.ObjectsDone() = 0;

    ILogger& log = context.ExportLog();
    INode* root = context.SceneRoot();
    if (!root) return;
    const int children = root->NumberOfChildren();
    for (int i = 0; i < children; ++i) {
        // The root is asked for anew: the panel may have closed while messages were pumped.
        root = context.SceneRoot();
        if (!root || i >= root->NumberOfChildren()) return;
        INode* node = root->GetChildNode(i);
        if (!node || !node->Selected()) continue;

        const ObjectState state = node->EvalWorldState(kExportTime, TRUE);
        if (!state.obj || state.obj->SuperClassID() != GEOMOBJECT_CLASS_ID) {
            log.Print("\tERROR: Cannot export node '%s': not a geometry object\n\n",
                      node->GetName());
            continue;
        }
        bool createdNew = false;
        TriObject* triObject = ConvertToTriObject(node, kExportTime, createdNew);
        if (!triObject) {
            log.Print("\tERROR: Cannot get TriObject from node '%s'\n\n", node->GetName());
            continue;
        }

        auto owned = std::make_unique<PreparedNode>();
        PreparedNode& prepared = *owned;
        prepared.node = node;
        if (createdNew) prepared.createdTriObject = triObject;
        context.PreparedNodes().push_back(std::move(owned));
        ++context.ObjectCount();

        prepared.objectTM = node->GetObjTMAfterWSM(kExportTime);
        prepared.mesh = &triObject->GetMesh();
        prepared.mesh->buildNormals();
        if (!GroupFaces(context, prepared)) return;
    }
}

}  // namespace exporter
