#!/bin/bash
# Times `kvoexp BIG -o DIR` against `assimp export BIG OUT.glb` with hyperfine
# on a generated OBJ of at least 500,000 triangles, and prints the ratio.
#
#   bench/bench_kvoexp_vs_assimp.sh [BUILD_DIR]      (default: build)
#
# The OBJ is a height field of 8 objects, each a 256 x 128 grid of quads with
# texture coordinates and normals: 8 x 256 x 128 x 2 = 524,288 triangles.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
KVOEXP="$BUILD/bin/kvoexp"
[ -x "$KVOEXP" ] || { echo "bench: $KVOEXP not built" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "bench: hyperfine missing (scripts/setup)" >&2; exit 1; }
command -v assimp >/dev/null || { echo "bench: assimp (assimp-utils) missing (scripts/setup)" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/kvoexp-bench-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
BIG="$WORK/big.obj"

python3 - "$BIG" <<'PY'
import math, sys
objects, nx, nz = 8, 256, 128
out = []
base = 0
for o in range(objects):
    out.append("o Field-%d\n" % o)
    for j in range(nz + 1):
        for i in range(nx + 1):
            x = o * nx + i
            y = math.sin(x * 0.05) * math.cos(j * 0.07)
            out.append("v %.6f %.6f %.6f\n" % (x * 0.1, y, j * 0.1))
    for j in range(nz + 1):
        for i in range(nx + 1):
            out.append("vt %.6f %.6f\n" % (i / nx, j / nz))
    for j in range(nz + 1):
        for i in range(nx + 1):
            out.append("vn 0 1 0\n")
    for j in range(nz):
        for i in range(nx):
            a = base + j * (nx + 1) + i + 1
            b, c, d = a + 1, a + nx + 1, a + nx + 2
            out.append("f %d/%d/%d %d/%d/%d %d/%d/%d\n" % (a, a, a, c, c, c, b, b, b))
            out.append("f %d/%d/%d %d/%d/%d %d/%d/%d\n" % (b, b, b, c, c, c, d, d, d))
    base += (nx + 1) * (nz + 1)
open(sys.argv[1], "w").write("".join(out))
PY
echo "bench: $(grep -c '^f ' "$BIG") triangles, $(du -h "$BIG" | cut -f1) in $BIG"

hyperfine --warmup 1 --runs 10 --export-json "$WORK/times.json" \
    -n kvoexp "$KVOEXP -q $BIG -o $WORK/out" \
    -n "assimp export" "assimp export $BIG $WORK/out.glb"

python3 - "$WORK/times.json" <<'PY'
import json, sys
r = {x["command"]: x["mean"] for x in json.load(open(sys.argv[1]))["results"]}
k, a = r["kvoexp"], r["assimp export"]
print("kvoexp %.3f s, assimp export %.3f s, ratio kvoexp/assimp %.2f" % (k, a, k / a))
PY
