#include "scene/compact_scene.h"

namespace kvoscene {

const char* KindName(NodeKind kind) {
    switch (kind) {
        case NodeKind::Geometry:
            return "geometry";
        case NodeKind::Camera:
            return "camera";
        case NodeKind::Light:
            return "light";
        case NodeKind::Helper:
            return "helper";
    }
    return "unknown";
}

}  // namespace kvoscene
