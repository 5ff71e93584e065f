#!/usr/bin/env python3
"""Writes large single-mesh scenes for the end-to-end timings of the console host.

    bench/big_scenes.py DIR [MILLIONS ...]      (default: 1 and 4)

For each M it writes DIR/grid_<M>m.glb (positions, normals, texture
coordinates, 32-bit indices), and for M = 1 also DIR/grid_1m.stl (binary) and
DIR/grid_1m.obj (v/vt/vn): a gently curved height field of about M x 10^6
triangles.
"""
import array
import json
import math
import os
import struct
import sys


def grid(millions):
    # columns x rows quads, two triangles each
    rows = 500 * int(math.sqrt(millions) + 0.5) if millions in (1, 4) else 500
    columns = millions * 1_000_000 // (2 * rows)
    return columns, rows


def vertices(columns, rows):
    pos, nrm, uv = array.array("f"), array.array("f"), array.array("f")
    for y in range(rows + 1):
        for x in range(columns + 1):
            h = math.sin(x * 0.01) * math.cos(y * 0.02)
            pos.extend((x * 0.1, h, y * 0.1))
            nx, ny, nz = -0.01 * h, 1.0, 0.02 * h
            length = math.sqrt(nx * nx + ny * ny + nz * nz)
            nrm.extend((nx / length, ny / length, nz / length))
            uv.extend((x / columns, y / rows))
    return pos, nrm, uv


def triangles(columns, rows):
    across = columns + 1
    for y in range(rows):
        for x in range(columns):
            a = y * across + x
            b, c, d = a + 1, a + across, a + across + 1
            yield a, c, b
            yield b, c, d


def write_glb(path, columns, rows):
    pos, nrm, uv = vertices(columns, rows)
    idx = array.array("I")
    for t in triangles(columns, rows):
        idx.extend(t)
    count = (columns + 1) * (rows + 1)
    blobs = [pos.tobytes(), nrm.tobytes(), uv.tobytes(), idx.tobytes()]
    offsets, at = [], 0
    for b in blobs:
        offsets.append(at)
        at += len(b)
    xs, ys, zs = pos[0::3], pos[1::3], pos[2::3]
    doc = {
        "asset": {"version": "2.0"},
        "scene": 0,
        "scenes": [{"nodes": [0]}],
        "nodes": [{"name": "Grid", "mesh": 0}],
        "materials": [{"name": "Ground"}],
        "meshes": [{"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2},
                                    "indices": 3, "material": 0}]}],
        "buffers": [{"byteLength": at}],
        "bufferViews": [{"buffer": 0, "byteOffset": o, "byteLength": len(b)}
                        for o, b in zip(offsets, blobs)],
        "accessors": [
            {"bufferView": 0, "componentType": 5126, "count": count, "type": "VEC3",
             "min": [min(xs), min(ys), min(zs)], "max": [max(xs), max(ys), max(zs)]},
            {"bufferView": 1, "componentType": 5126, "count": count, "type": "VEC3"},
            {"bufferView": 2, "componentType": 5126, "count": count, "type": "VEC2"},
            {"bufferView": 3, "componentType": 5125, "count": len(idx), "type": "SCALAR"},
        ],
    }
    text = json.dumps(doc).encode()
    text += b" " * (-len(text) % 4)
    body = b"".join(blobs)
    with open(path, "wb") as f:
        f.write(struct.pack("<III", 0x46546C67, 2, 12 + 8 + len(text) + 8 + len(body)))
        f.write(struct.pack("<II", len(text), 0x4E4F534A) + text)
        f.write(struct.pack("<II", len(body), 0x004E4942) + body)


def write_stl(path, columns, rows):
    pos, _, _ = vertices(columns, rows)
    count = 2 * columns * rows
    out = bytearray(b"grid".ljust(80, b" ") + struct.pack("<I", count))
    pack = struct.Struct("<12fH").pack
    for a, b, c in triangles(columns, rows):
        p = [pos[3 * v:3 * v + 3] for v in (a, b, c)]
        u = [p[1][i] - p[0][i] for i in range(3)]
        w = [p[2][i] - p[0][i] for i in range(3)]
        n = [u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]]
        length = math.sqrt(sum(x * x for x in n)) or 1.0
        out += pack(*(x / length for x in n), *p[0], *p[1], *p[2], 0)
    with open(path, "wb") as f:
        f.write(out)


def write_obj(path, columns, rows):
    pos, nrm, uv = vertices(columns, rows)
    lines = ["o Grid\n"]
    lines += ["v %.6f %.6f %.6f\n" % tuple(pos[i:i + 3]) for i in range(0, len(pos), 3)]
    lines += ["vt %.6f %.6f\n" % tuple(uv[i:i + 2]) for i in range(0, len(uv), 2)]
    lines += ["vn %.6f %.6f %.6f\n" % tuple(nrm[i:i + 3]) for i in range(0, len(nrm), 3)]
    for t in triangles(columns, rows):
        a, b, c = (v + 1 for v in t)
        lines.append("f %d/%d/%d %d/%d/%d %d/%d/%d\n" % (a, a, a, b, b, b, c, c, c))
    with open(path, "w") as f:
        f.write("".join(lines))


def main():
    out = sys.argv[1]
    sizes = [int(m) for m in sys.argv[2:]] or [1, 4]
    os.makedirs(out, exist_ok=True)
    for m in sizes:
        columns, rows = grid(m)
        write_glb(os.path.join(out, "grid_%dm.glb" % m), columns, rows)
        if m == 1:
            write_stl(os.path.join(out, "grid_1m.stl"), columns, rows)
            write_obj(os.path.join(out, "grid_1m.obj"), columns, rows)


if __name__ == "__main__":
    main()
