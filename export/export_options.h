// The eight export option flags, in the order of the panel's check boxes.
#pragma once

struct ExportOptions {
    bool localize = false;            // "Localize"
    bool optimize = true;             // "Optimize"
    bool exportNormals = true;        // "Normals"
    bool upNormals = false;           // "Up Normals"
    bool exportVertexColors = false;  // "Vertex Colors"
    bool generateShader = false;      // "Generate Basic Shader"
    bool generateGeometry = false;    // "Generate 'geometry.ini'"
    bool generateLog = false;         // "Generate Log"
};
