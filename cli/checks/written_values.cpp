#include "cli/checks/written_values.h"

#include <cmath>

#include "platform/max/max_sdk.h"

namespace kvochecks {

namespace {

uint64_t NonFinite(const float* values, size_t count, size_t stride, size_t used) {
    uint64_t n = 0;
    for (size_t i = 0; i + stride <= count; i += stride) {
        for (size_t k = 0; k < used; ++k) n += !std::isfinite(values[i + k]);
    }
    return n;
}

}  // namespace

NonFiniteValues CountNonFiniteWritten(const kvoscene::Node& node,
                                      const WrittenValueSettings& settings) {
    NonFiniteValues out;
    const kvoscene::Mesh& mesh = node.mesh;
    out.transform = NonFinite(node.transform, 12, 1, 1) > 0;
    if (settings.localize) {
        out.positions = NonFinite(mesh.positions.data(), mesh.positions.size(), 1, 1);
    } else {
        // The same float operations as the export's world positions.
        Matrix3 tm;
        for (int row = 0; row < 4; ++row) {
            tm.SetRow(row, Point3(node.transform[3 * row], node.transform[3 * row + 1],
                                  node.transform[3 * row + 2]));
        }
        for (size_t i = 0; i + 3 <= mesh.positions.size(); i += 3) {
            const Point3 p =
                tm * Point3(mesh.positions[i], mesh.positions[i + 1], mesh.positions[i + 2]);
            out.positions += !std::isfinite(p.x) + !std::isfinite(p.y) + !std::isfinite(p.z);
        }
    }
    out.normals = NonFinite(mesh.normals.data(), mesh.normals.size(), 1, 1);
    // A file keeps u and v of each texture vertex.
    out.uvs = NonFinite(mesh.uvs.data(), mesh.uvs.size(), 3, 2);
    if (settings.vertexColors) out.colors = NonFinite(mesh.colors.data(), mesh.colors.size(), 1, 1);
    return out;
}

}  // namespace kvochecks
