// Selection pre-processing: the selected direct children of the scene root,
// evaluated at time 0, as triangle meshes with their faces grouped by material ID.
#pragma once

#include "export/export_context.h"
#include "platform/max/max_sdk.h"

namespace exporter {

// Fills the context's prepared nodes and object count; stops at once on a cancellation.
void Preprocess(ExportContext& context);

// The node's object at time t as a TriObject, or null. createdNew tells whether the
// result is a new object (owned by the caller) rather than the node's own one.
TriObject* ConvertToTriObject(INode* node, TimeValue t, bool& createdNew);

// Deletes every prepared node (and the TriObjects the conversion made for them).
void ReleaseNodes(ExportContext& context);

}  // namespace exporter
