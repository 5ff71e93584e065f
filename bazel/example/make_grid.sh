#!/bin/sh
# Writes OBJ (a textured grid of N x N quads in the object "Grid") and its
# .mtl beside it, which names the texture grid.png.
# Usage: make_grid.sh OBJ N
set -eu
obj=$1
n=$2
mtl=${obj%.obj}.mtl
awk -v n="$n" -v mtl="${mtl##*/}" 'BEGIN {
    printf "mtllib %s\no Grid\nusemtl grid\n", mtl
    for (y = 0; y <= n; y++)
        for (x = 0; x <= n; x++) {
            printf "v %d 0 %d\n", x, y
            printf "vt %.4f %.4f\n", x / n, y / n
        }
    for (y = 0; y < n; y++)
        for (x = 0; x < n; x++) {
            a = y * (n + 1) + x + 1
            b = a + 1
            c = a + n + 2
            d = a + n + 1
            printf "f %d/%d %d/%d %d/%d %d/%d\n", a, a, d, d, c, c, b, b
        }
}' >"$obj"
printf 'newmtl grid\nKd 0.8 0.8 0.8\nmap_Kd grid.png\n' >"$mtl"
