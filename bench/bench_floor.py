#!/usr/bin/env python3
"""End to end against the import floor: kvoexp on large generated scenes beside
Assimp's ReadFile alone (build/bin/import_floor, same flags and allocator).

    bench/bench_floor.py [BUILD_DIR] [ROUNDS]     (defaults: build, 5)

Writes the scenes of bench/big_scenes.py (1M-triangle GLB, STL and OBJ, 4M
GLB) into a scratch folder, then runs each pair interleaved ROUNDS times and
prints medians of wall time, the ratio, and the fresh memory each run faulted
in (from /proc/vmstat: transparent huge pages x 2 MiB plus other faults x 4
KiB), which on a virtual machine predicts the time better than the clock.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def vmstat():
    values = {}
    try:
        with open("/proc/vmstat") as f:
            for line in f:
                key, value = line.split()
                values[key] = int(value)
    except OSError:
        pass
    return values.get("thp_fault_alloc", 0), values.get("pgfault", 0)


def run(command, scratch):
    shutil.rmtree(os.path.join(scratch, "out"), ignore_errors=True)
    thp0, faults0 = vmstat()
    start = time.perf_counter()
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    thp1, faults1 = vmstat()
    if done.returncode != 0:
        sys.exit(f"bench: {' '.join(command)} failed: {done.stderr.decode(errors='replace')}")
    thp, faults = thp1 - thp0, faults1 - faults0
    return seconds, thp * 2 + max(0, faults - thp) * 4 / 1024


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    kvoexp = os.path.join(build, "bin", "kvoexp")
    floor = os.path.join(build, "bin", "import_floor")
    for program in (kvoexp, floor):
        if not os.access(program, os.X_OK):
            sys.exit(f"bench: {program} is not built")
    scratch = tempfile.mkdtemp(prefix="kvoexp_floor_")
    try:
        subprocess.run([sys.executable, os.path.join(HERE, "big_scenes.py"), scratch, "1", "4"],
                       check=True, stdout=subprocess.DEVNULL)
        out = os.path.join(scratch, "out")
        print(f"{'scene':14} {'floor s':>8} {'kvoexp s':>9} {'ratio':>6} {'floor MiB':>10} "
              f"{'kvoexp MiB':>11}")
        for name in ("grid_1m.glb", "grid_1m.stl", "grid_1m.obj", "grid_4m.glb"):
            scene = os.path.join(scratch, name)
            times = {"floor": [], "kvoexp": []}
            fresh = {"floor": [], "kvoexp": []}
            for _ in range(rounds):
                for label, command in (("floor", [floor, scene]),
                                       ("kvoexp", [kvoexp, "-q", scene, "-o", out])):
                    seconds, mib = run(command, scratch)
                    times[label].append(seconds)
                    fresh[label].append(mib)
            f, k = statistics.median(times["floor"]), statistics.median(times["kvoexp"])
            print(f"{name:14} {f:8.3f} {k:9.3f} {k / f:6.2f} "
                  f"{statistics.median(fresh['floor']):10.0f} "
                  f"{statistics.median(fresh['kvoexp']):11.0f}")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
