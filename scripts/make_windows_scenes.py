#!/usr/bin/env python3
"""Writes the two OBJ scenes that only the Windows sessions use.

  large.obj      three objects: "First" (a small grid), "Big" (a grid of
                 20,000 triangles, long enough to press Cancel in the middle
                 of it) and "After" (a small grid);
  forbidden.obj  "Plain" and objects whose names hold characters that
                 Windows forbids in file names, or name a device.

Usage: make_windows_scenes.py OUTPUT_DIR
"""
import os
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


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write(os.path.join(out, "large.obj"), [("First", 10), ("Big", 100), ("After", 10)])
    write(os.path.join(out, "forbidden.obj"),
          [("Plain", 4)] + [(name, 2) for name in FORBIDDEN_NAMES])


if __name__ == "__main__":
    main()
