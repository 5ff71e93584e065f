// Orthographic framing of a bounding box from one of the fixed directions.
#pragma once

#include "view/render_options.h"

namespace kvoview {

struct Framing {
    float modelview[16];                           // column-major, a pure rotation and translation
    double left, right, bottom, top, zNear, zFar;  // glOrtho's box
};

// Share of the picture's shorter side that the framed box's silhouette spans.
constexpr double kFrameFill = 0.9;

// Unit vectors of the view: towards the viewer, up and right on the picture.
void ViewBasis(View view, double back[3], double up[3], double right[3]);

// Frames the box [min, max] centred in a picture of the given aspect (width /
// height); a flat or empty extent still gives a valid box.
Framing FrameBox(const float min[3], const float max[3], View view, double aspect);

}  // namespace kvoview
