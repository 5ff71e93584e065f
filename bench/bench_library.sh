#!/bin/bash
# Times kvoexp over libraries of scenes in one invocation, with one import
# worker and with two, against one `assimp export` per scene, with hyperfine:
#
#   - 1,000 small scenes (a cube, 12 triangles each): goal at most 2.5 ms per
#     scene with -j 2;
#   - 20 scenes of 100,352 triangles each: goal -j 2 at least 1.7x faster than -j 1.
#
# Each scene gets its own folder (-o 'OUT/{scene}').
#
#   bench/bench_library.sh [BUILD_DIR] [RUNS]      (default: build, 3)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
RUNS=${2:-3}
KVOEXP="$BUILD/bin/kvoexp"
[ -x "$KVOEXP" ] || { echo "bench: $KVOEXP not built" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "bench: hyperfine missing (scripts/setup)" >&2; exit 1; }
command -v assimp >/dev/null || { echo "bench: assimp (assimp-utils) missing (scripts/setup)" >&2; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/kvoexp-bench-library-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/small" "$WORK/large"

python3 - "$WORK" <<'PY'
import math, sys
work = sys.argv[1]
# 1,000 cubes, each moved a little so no two files are alike.
for s in range(1000):
    d = s * 0.001
    v = [(x + d, y, z) for x in (0, 1) for y in (0, 1) for z in (0, 1)]
    quads = [(1, 2, 4, 3), (5, 7, 8, 6), (1, 5, 6, 2), (3, 4, 8, 7), (1, 3, 7, 5), (2, 6, 8, 4)]
    out = ["o Cube%d\n" % s] + ["v %.4f %.4f %.4f\n" % p for p in v]
    for a, b, c, e in quads:
        out.append("f %d %d %d\nf %d %d %d\n" % (a, b, c, a, c, e))
    open("%s/small/cube%04d.obj" % (work, s), "w").write("".join(out))
# 20 height fields of 224 x 224 quads: 100,352 triangles each.
n = 224
for s in range(20):
    out = ["o Field%d\n" % s]
    for j in range(n + 1):
        for i in range(n + 1):
            out.append("v %.5f %.5f %.5f\n" % (i * 0.1, math.sin(i * 0.05 + s) * math.cos(j * 0.07), j * 0.1))
    for j in range(n + 1):
        for i in range(n + 1):
            out.append("vt %.5f %.5f\n" % (i / n, j / n))
    for j in range(n):
        for i in range(n):
            a = j * (n + 1) + i + 1
            b, c, d = a + 1, a + n + 1, a + n + 2
            out.append("f %d/%d %d/%d %d/%d\n" % (a, a, c, c, b, b))
            out.append("f %d/%d %d/%d %d/%d\n" % (b, b, c, c, d, d))
    open("%s/large/field%02d.obj" % (work, s), "w").write("".join(out))
PY
echo "bench: $(ls "$WORK/small" | wc -l) small scenes of $(grep -c '^f ' "$WORK/small/cube0000.obj") triangles," \
     "$(ls "$WORK/large" | wc -l) large scenes of $(grep -c '^f ' "$WORK/large/field00.obj") triangles"

# One `assimp export` per scene, as a shell loop.
cat > "$WORK/assimp_each.sh" <<'SH'
#!/bin/bash
set -e
mkdir -p "$2"
for f in "$1"/*.obj; do
    b=$(basename "$f" .obj)
    assimp export "$f" "$2/$b.glb" > /dev/null
done
SH
chmod +x "$WORK/assimp_each.sh"

# One folder for all scenes (one plug-in lifetime), and one folder per scene
# (a lifetime each: module load, panel, unload).
for set in small large; do
    hyperfine --warmup 1 --runs "$RUNS" --export-json "$WORK/$set.json" \
        --prepare "rm -rf $WORK/out" \
        -n "kvoexp -j 1" "$KVOEXP -q -j 1 $WORK/$set/*.obj -o $WORK/out" \
        -n "kvoexp -j 2" "$KVOEXP -q -j 2 $WORK/$set/*.obj -o $WORK/out" \
        -n "kvoexp -j 1 {scene}" "$KVOEXP -q -j 1 $WORK/$set/*.obj -o '$WORK/out/{scene}'" \
        -n "kvoexp -j 2 {scene}" "$KVOEXP -q -j 2 $WORK/$set/*.obj -o '$WORK/out/{scene}'" \
        -n "assimp export each" "$WORK/assimp_each.sh $WORK/$set $WORK/out"
done

python3 - "$WORK" <<'PY'
import json, sys
work = sys.argv[1]
for name, count in (("small", 1000), ("large", 20)):
    r = {x["command"]: x["mean"] for x in json.load(open("%s/%s.json" % (work, name)))["results"]}
    a = r["assimp export each"]
    print("%s, %d scenes: assimp export each %.3f s (%.2f ms per scene)" % (name, count, a, 1000 * a / count))
    for folders in ("", " {scene}"):
        j1, j2 = r["kvoexp -j 1" + folders], r["kvoexp -j 2" + folders]
        print("  kvoexp%s: -j 1 %.3f s (%.2f ms per scene), -j 2 %.3f s (%.2f ms per scene); "
              "-j 1 / -j 2 = %.2fx; assimp / kvoexp -j 2 = %.2fx"
              % (folders or " one folder", j1, 1000 * j1 / count, j2, 1000 * j2 / count, j1 / j2, a / j2))
small = {x["command"]: x["mean"] for x in json.load(open(work + "/small.json"))["results"]}
large = {x["command"]: x["mean"] for x in json.load(open(work + "/large.json"))["results"]}
print("goal small -j 2 <= 2.5 ms per scene: %s" % ("met" if small["kvoexp -j 2"] / 1000 <= 0.0025 else "missed"))
print("goal large -j 2 >= 1.7x faster than -j 1: %s" % ("met" if large["kvoexp -j 1"] / large["kvoexp -j 2"] >= 1.7 else "missed"))
PY
