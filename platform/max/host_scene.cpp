// The scene's root node.
#include "platform/max/host_scene.h"

HostScene::HostScene() : root_(std::make_unique<INode>()) {
    root_->SetName("Scene Root");
}
