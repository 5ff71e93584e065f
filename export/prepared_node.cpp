#include "export/prepared_node.h"

PreparedNode::~PreparedNode() {
    // Only a TriObject that the conversion made is ours; the node's own object is not.
    if (createdTriObject) createdTriObject->DeleteThis();
}
