#!/usr/bin/env python3
"""Writes the scenes that only the Windows sessions use.

  large.obj      three objects: "First" (a small grid), "Big" (a grid of
                 20,000 triangles, long enough to press Cancel in the middle
                 of it) and "After" (a small grid);
  forbidden.obj  "Plain" and objects whose names hold characters that
                 Windows forbids in file names, or name a device;
  mirrored.gltf  one cube placed three ways: "Plain" (moved), "Mirrored"
                 (scaled by -1 in x, turned) and "Swapped" (a frame that swaps
                 y and z), whose triangles the export reverses in the world.

Usage: make_windows_scenes.py OUTPUT_DIR
"""
import base64
import json
import os
import struct
import sys

FORBIDDEN_NAMES = ["Bad?Name", "Pipe|Line", "Star*", "Less<More>", 'Quote"d', "Colon:Name", "NUL", "con"]


def grid(out, name, cells, first_vertex, z):
    """A cells x cells grid of quads split into triangles, gently waved."""
    out.append(f"o {name}\n")
    for j in range(cells + 1):
        for i in range(cells + 1):
            height = ((i * 7 + j * 3) % 5) / 16.0
            out.append(f"v {i / 4.0} {j / 4.0} {z + height}\n")
    out.append("s 1\n")
    row = cells + 1
    for j in range(cells):
        for i in range(cells):
            a = first_vertex + j * row + i
            b, c, d = a + 1, a + row + 1, a + row
            out.append(f"f {a} {b} {c}\nf {a} {c} {d}\n")
    return first_vertex + row * row


def write(path, objects):
    lines, vertex = [], 1
    for index, (name, cells) in enumerate(objects):
        vertex = grid(lines, name, cells, vertex, float(index))
    with open(path, "w", newline="\n") as f:
        f.writelines(lines)


def cube():
    """24 vertices with one normal per side and 36 indices, counter-clockwise outside."""
    positions, normals, indices = [], [], []
    for axis in range(3):
        for sign in (1.0, -1.0):
            n = [0.0, 0.0, 0.0]
            n[axis] = sign
            u = [0.0, 0.0, 0.0]
            v = [0.0, 0.0, 0.0]
            u[(axis + 1) % 3] = sign  # u x v = n
            v[(axis + 2) % 3] = 1.0
            base = len(positions)
            for a, b in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
                positions.append([n[i] + a * u[i] + b * v[i] for i in range(3)])
                normals.append(n)
            indices += [base, base + 1, base + 2, base, base + 2, base + 3]
    return positions, normals, indices


def write_mirrored(path):
    positions, normals, indices = cube()
    blob = b"".join(struct.pack("<3f", *p) for p in positions)
    blob += b"".join(struct.pack("<3f", *n) for n in normals)
    blob += struct.pack(f"<{len(indices)}H", *indices)
    vector_bytes = 12 * len(positions)
    views = [{"buffer": 0, "byteOffset": 0, "byteLength": vector_bytes},
             {"buffer": 0, "byteOffset": vector_bytes, "byteLength": vector_bytes},
             {"buffer": 0, "byteOffset": 2 * vector_bytes, "byteLength": 2 * len(indices)}]
    accessors = [{"bufferView": 0, "componentType": 5126, "count": len(positions),
                  "type": "VEC3", "min": [-1, -1, -1], "max": [1, 1, 1]},
                 {"bufferView": 1, "componentType": 5126, "count": len(normals), "type": "VEC3"},
                 {"bufferView": 2, "componentType": 5123, "count": len(indices), "type": "SCALAR"}]
    # Column-major matrices.
    nodes = [{"name": "Plain", "mesh": 0, "matrix": [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 4, 0, 0, 1]},
             {"name": "Mirrored", "mesh": 0,
              "matrix": [0, -1, 0, 0, -2, 0, 0, 0, 0, 0, 0.5, 0, -4, 1, 0, 1]},
             {"name": "Swapped", "mesh": 0,
              "matrix": [1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 6, 1]}]
    gltf = {"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1, 2]}],
            "nodes": nodes,
            "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1},
                                        "indices": 2}]}],
            "buffers": [{"byteLength": len(blob), "uri": "data:application/octet-stream;base64,"
                         + base64.b64encode(blob).decode()}],
            "bufferViews": views, "accessors": accessors}
    with open(path, "w", newline="\n") as f:
        json.dump(gltf, f)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write(os.path.join(out, "large.obj"), [("First", 10), ("Big", 100), ("After", 10)])
    write(os.path.join(out, "forbidden.obj"),
          [("Plain", 4)] + [(name, 2) for name in FORBIDDEN_NAMES])
    write_mirrored(os.path.join(out, "mirrored.gltf"))


if __name__ == "__main__":
    main()
