#!/usr/bin/env python3
"""Writes the sample scene samples/sample_scene.gltf and its texture checker.png.

A glTF 2.0 file (Y-up, one embedded base64 buffer) with:
  - "Crate - Wood": a cube with normals, texture coordinates and a textured material;
  - "Signal-Tower": one mesh of three primitives with three materials (a
    multi-material with material IDs 0, 1, 2 once imported), vertex colours,
    and a child "Tower Antenna" linked below it;
  - "Rock Sphere-1": a smooth sphere (shared, specified normals);
  - "Ground Plane": a grid with vertex colours and texture coordinates;
  - "Camera 01": a perspective camera.
Every coordinate is a multiple of 1/64 or a float32 value written exactly,
so the exported positions can be compared bit for bit.

Run:  python3 samples/make_sample_scene.py   (from the repository root)
"""
import base64
import json
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


class Buffer:
    def __init__(self):
        self.data = bytearray()
        self.views = []
        self.accessors = []

    def _view(self, blob, target):
        while len(self.data) % 4:
            self.data.append(0)
        self.views.append({"buffer": 0, "byteOffset": len(self.data),
                           "byteLength": len(blob), "target": target})
        self.data += blob
        return len(self.views) - 1

    def floats(self, rows, kind):
        flat = [f32(v) for row in rows for v in row]
        view = self._view(struct.pack("<%df" % len(flat), *flat), 34962)
        acc = {"bufferView": view, "componentType": 5126, "count": len(rows), "type": kind}
        if kind == "VEC3":
            acc["min"] = [min(r[i] for r in rows) for i in range(3)]
            acc["max"] = [max(r[i] for r in rows) for i in range(3)]
        self.accessors.append(acc)
        return len(self.accessors) - 1

    def indices(self, idx):
        view = self._view(struct.pack("<%dH" % len(idx), *idx), 34963)
        self.accessors.append({"bufferView": view, "componentType": 5123,
                               "count": len(idx), "type": "SCALAR"})
        return len(self.accessors) - 1


def box(sx, sy, sz, cx=0.0, cy=0.0, cz=0.0):
    """A box of 24 vertices (flat faces) with normals and texture coordinates."""
    pos, nor, uv, idx = [], [], [], []
    faces = [((1, 0, 0), (0, 0, -1), (0, 1, 0)), ((-1, 0, 0), (0, 0, 1), (0, 1, 0)),
             ((0, 1, 0), (1, 0, 0), (0, 0, -1)), ((0, -1, 0), (1, 0, 0), (0, 0, 1)),
             ((0, 0, 1), (1, 0, 0), (0, 1, 0)), ((0, 0, -1), (-1, 0, 0), (0, 1, 0))]
    half = (sx / 2, sy / 2, sz / 2)
    for n, u, v in faces:
        base = len(pos)
        for (a, b) in ((-1, -1), (1, -1), (1, 1), (-1, 1)):
            p = [cx, cy, cz][:]
            for i in range(3):
                p[i] += (n[i] + a * u[i] + b * v[i]) * half[i]
            pos.append(p)
            nor.append(list(map(float, n)))
            uv.append([(a + 1) / 2, (b + 1) / 2])
        idx += [base, base + 1, base + 2, base, base + 2, base + 3]
    return pos, nor, uv, idx


def sphere(radius, rings, segments, centre):
    pos, nor, uv, idx = [], [], [], []
    for r in range(rings + 1):
        theta = math.pi * r / rings
        for s in range(segments + 1):
            phi = 2 * math.pi * s / segments
            n = [math.sin(theta) * math.cos(phi), math.cos(theta), math.sin(theta) * math.sin(phi)]
            pos.append([centre[i] + radius * n[i] for i in range(3)])
            nor.append(n)
            uv.append([s / segments, r / rings])
    for r in range(rings):
        for s in range(segments):
            a = r * (segments + 1) + s
            b = a + segments + 1
            idx += [a, a + 1, b, a + 1, b + 1, b]
    return pos, nor, uv, idx


def grid(size, cells):
    pos, nor, uv, col, idx = [], [], [], [], []
    for j in range(cells + 1):
        for i in range(cells + 1):
            x = -size / 2 + size * i / cells
            z = -size / 2 + size * j / cells
            pos.append([x, 0.0, z])
            nor.append([0.0, 1.0, 0.0])
            uv.append([i / cells, j / cells])
            col.append([i / cells, 0.5, j / cells, 1.0])
    for j in range(cells):
        for i in range(cells):
            a = j * (cells + 1) + i
            idx += [a, a + cells + 1, a + 1, a + 1, a + cells + 1, a + cells + 2]
    return pos, nor, uv, col, idx


def checker_png(path, size=8):
    rows = b""
    for y in range(size):
        row = b"\x00"
        for x in range(size):
            row += b"\xd0\xa0\x60" if (x // 2 + y // 2) % 2 else b"\x70\x40\x20"
        rows += row

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xffffffff))

    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(png)


def main():
    buf = Buffer()

    def primitive(pos, nor, uv, idx, material, col=None):
        attrs = {"POSITION": buf.floats(pos, "VEC3"), "NORMAL": buf.floats(nor, "VEC3"),
                 "TEXCOORD_0": buf.floats(uv, "VEC2")}
        if col is not None:
            attrs["COLOR_0"] = buf.floats(col, "VEC4")
        return {"attributes": attrs, "indices": buf.indices(idx), "material": material}

    materials = [
        {"name": "Crate Wood", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
        {"name": "Tower Base", "pbrMetallicRoughness": {"baseColorFactor": [0.6, 0.1, 0.1, 1]}},
        {"name": "Tower Lamp", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
        {"name": "Tower-Roof", "pbrMetallicRoughness": {"baseColorFactor": [0.2, 0.2, 0.2, 1]}},
        {"name": "Stone", "pbrMetallicRoughness": {"baseColorFactor": [0.5, 0.5, 0.5, 1]}},
        {"name": "Grass Ground", "pbrMetallicRoughness": {"baseColorTexture": {"index": 0}}},
    ]

    crate = primitive(*box(1.0, 1.0, 1.0, 0.0, 0.5, 0.0), 0)
    tower = []
    for k, (height, width, mat) in enumerate(((2.0, 0.75, 1), (0.5, 0.5, 2), (0.25, 1.0, 3))):
        base_y = (0.0, 2.0, 2.5)[k]
        p, n, t, i = box(width, height, width, 0.0, base_y + height / 2, 0.0)
        shade = [0.25 * (k + 1)] * 3 + [1.0]
        tower.append(primitive(p, n, t, i, mat, [shade] * len(p)))
    antenna = primitive(*box(0.0625, 1.0, 0.0625, 0.0, 0.5, 0.0), 3)
    rock = primitive(*sphere(0.75, 8, 12, (0.0, 0.75, 0.0)), 4)
    gp, gn, gt, gc, gi = grid(8.0, 8)
    ground = primitive(gp, gn, gt, gi, 5, gc)

    meshes = [{"name": "crate", "primitives": [crate]},
              {"name": "tower", "primitives": tower},
              {"name": "antenna", "primitives": [antenna]},
              {"name": "rock", "primitives": [rock]},
              {"name": "ground", "primitives": [ground]}]
    nodes = [
        {"name": "Crate - Wood", "mesh": 0, "translation": [-2.0, 0.0, 1.0]},
        {"name": "Signal-Tower", "mesh": 1, "translation": [2.0, 0.0, -1.5], "children": [2]},
        {"name": "Tower Antenna", "mesh": 2, "translation": [0.0, 2.75, 0.0]},
        {"name": "Rock Sphere-1", "mesh": 3, "translation": [0.5, 0.0, 2.5]},
        {"name": "Ground Plane", "mesh": 4},
        {"name": "Camera 01", "camera": 0, "translation": [0.0, 3.0, 9.0],
         "rotation": [-0.1305262, 0.0, 0.0, 0.9914449]},
    ]
    scene = {
        "asset": {"version": "2.0", "generator": "kvoexp samples/make_sample_scene.py"},
        "scene": 0,
        "scenes": [{"name": "Sample", "nodes": [0, 1, 3, 4, 5]}],
        "nodes": nodes,
        "meshes": meshes,
        "materials": materials,
        "textures": [{"source": 0}],
        "images": [{"uri": "checker.png"}],
        "cameras": [{"type": "perspective", "name": "Camera 01",
                     "perspective": {"yfov": 0.8, "znear": 0.1, "zfar": 100.0,
                                     "aspectRatio": 1.5}}],
        "buffers": [{"byteLength": len(buf.data),
                     "uri": "data:application/octet-stream;base64," +
                            base64.b64encode(bytes(buf.data)).decode("ascii")}],
        "bufferViews": buf.views,
        "accessors": buf.accessors,
    }
    with open(os.path.join(HERE, "sample_scene.gltf"), "w") as f:
        json.dump(scene, f, indent=1)
        f.write("\n")
    checker_png(os.path.join(HERE, "checker.png"))


if __name__ == "__main__":
    main()
