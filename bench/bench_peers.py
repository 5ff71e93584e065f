#!/usr/bin/env python3
"""kvoexp beside its peers on the same files: gltfpack (-noq: parse, optimise,
write a GLB) and `assimp export` (the importer's own command line, to GLB).

    bench/bench_peers.py [BUILD_DIR] [ROUNDS]      (defaults: build, 5)

Scenes (written into a scratch folder): a 40 KB OBJ of small objects, a 3.7 MB
OBJ of a few dozen groups, the 1M-triangle GLB and OBJ of bench/big_scenes.py,
and 1,000 small OBJ scenes (kvoexp: one invocation; the peers: one process per
scene, two at a time). Each tool runs interleaved ROUNDS times; printed are
medians of CPU time (user + sys of the process and everything it waited for,
including GNU time's own fraction of a millisecond), wall time and peak resident
memory (the largest process, from GNU time).
A tool that is not installed is left out; KVOEXP_BEFORE=PATH adds another
kvoexp (an earlier build) to the same rounds.
"""
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def write_small_objs(path, objects, side):
    """`objects` separate grids of side x side quads with v/vt/vn, as an asset of parts."""
    lines, base = [], 0
    for o in range(objects):
        lines.append("o Part%d\n" % o)
        for y in range(side + 1):
            for x in range(side + 1):
                h = math.sin(x * 0.7 + o) * math.cos(y * 0.3)
                lines.append("v %.6f %.6f %.6f\n" % (x * 0.1 + o, h, y * 0.1))
                lines.append("vt %.6f %.6f\n" % (x / side, y / side))
                lines.append("vn %.6f %.6f %.6f\n" % (-0.1 * h, 1.0, 0.05 * h))
        across = side + 1
        for y in range(side):
            for x in range(side):
                a = base + y * across + x + 1
                b, c, d = a + 1, a + across, a + across + 1
                lines.append("f %d/%d/%d %d/%d/%d %d/%d/%d\n" % (a, a, a, c, c, c, b, b, b))
                lines.append("f %d/%d/%d %d/%d/%d %d/%d/%d\n" % (b, b, b, c, c, c, d, d, d))
        base += across * across
    with open(path, "w") as f:
        f.write("".join(lines))


TIME = "/usr/bin/time"  # GNU time: the tree's CPU and the peak of its largest process


def timed(command, report):
    return [TIME, "-f", "%U %S %M", "-o", report, *command]


def measured(report):
    with open(report) as f:
        user, system, kib = f.read().split()[-3:]
    return float(user) + float(system), int(kib) / 1024


def run(command, cwd):
    """CPU seconds, wall seconds and peak MiB of one command and its children."""
    report = os.path.join(cwd, ".time")
    start = time.perf_counter()
    # Standard error goes to a file: a pipe nobody reads during the run would
    # fill with warnings and stop the program.
    with tempfile.TemporaryFile() as errors:
        child = subprocess.Popen(timed(command, report), cwd=cwd, stdout=subprocess.DEVNULL,
                                 stderr=errors)
        # CPU from the kernel's accounts (microseconds; GNU time rounds to 10 ms).
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
        errors.seek(0)
        err = errors.read().decode(errors="replace")
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"bench: {' '.join(command)} failed: {err}")
    _, peak = measured(report)
    return usage.ru_utime + usage.ru_stime, wall, peak


def run_many(commands, cwd, parallel=2):
    """Commands two at a time; CPU summed, wall of the whole, the largest peak."""
    start = time.perf_counter()
    cpu, peak, pending, running = 0.0, 0.0, list(enumerate(commands)), {}
    while pending or running:
        while pending and len(running) < parallel:
            i, command = pending.pop(0)
            report = os.path.join(cwd, f".time{i}")
            child = subprocess.Popen(timed(command, report), cwd=cwd,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # The Popen object is kept: collected, it would reap its child itself.
            running[child.pid] = (command, report, child)
        pid, status, usage = os.wait4(-1, 0)
        if pid not in running:
            continue
        command, report, child = running.pop(pid)
        child.returncode = os.waitstatus_to_exitcode(status)
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"bench: {' '.join(command)} failed")
        cpu += usage.ru_utime + usage.ru_stime
        peak = max(peak, measured(report)[1])
    return cpu, time.perf_counter() - start, peak


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    kvoexp = os.path.abspath(os.path.join(build, "bin", "kvoexp"))
    if not os.access(kvoexp, os.X_OK):
        sys.exit(f"bench: {kvoexp} is not built")
    if not os.access(TIME, os.X_OK):
        sys.exit(f"bench: {TIME} is missing (Debian package time)")
    gltfpack, assimp = shutil.which("gltfpack"), shutil.which("assimp")
    # Another kvoexp to compare with, interleaved ("before").
    before = os.environ.get("KVOEXP_BEFORE")
    scratch = tempfile.mkdtemp(prefix="kvoexp_peers_")
    try:
        write_small_objs(os.path.join(scratch, "small.obj"), 5, 6)         # about 40 KB
        write_small_objs(os.path.join(scratch, "ogre.obj"), 36, 23)        # about 3.7 MB
        # In a process of its own: a child forked from a large parent would
        # count the parent's memory in its peak.
        subprocess.run([sys.executable, os.path.join(HERE, "big_scenes.py"), scratch, "1"],
                       check=True, stdout=subprocess.DEVNULL)
        many = os.path.join(scratch, "many")
        os.makedirs(many)
        for i in range(1000):
            shutil.copyfile(os.path.join(scratch, "small.obj"), os.path.join(many, f"s{i}.obj"))
        names = [f"s{i}.obj" for i in range(1000)]

        def tools(scene):
            out = os.path.join(scratch, "out")
            found = [("kvoexp", [kvoexp, "-q", scene, "-o", out])]
            if before:
                found.append(("before", [before, "-q", scene, "-o", out]))
            if gltfpack:
                found.append(("gltfpack", [gltfpack, "-i", scene, "-o", out + ".glb", "-noq"]))
            if assimp:
                found.append(("assimp", [assimp, "export", scene, out + ".glb"]))
            return found

        print(f"{'scene':14} {'tool':9} {'cpu ms':>9} {'wall ms':>9} {'peak MiB':>9}")
        for name in ("small.obj", "ogre.obj", "grid_1m.glb", "grid_1m.obj", "1000 scenes"):
            if name != "1000 scenes" and not os.path.exists(os.path.join(scratch, name)):
                continue
            size = "" if name == "1000 scenes" else \
                " (%.1f MB)" % (os.path.getsize(os.path.join(scratch, name)) / 1e6)
            results = {}
            for round_number in range(rounds):
                if name == "1000 scenes":
                    plans = [("kvoexp", lambda: run([kvoexp, "-q", *names, "-o", "out"], many))]
                    if before:
                        plans.append(
                            ("before", lambda: run([before, "-q", *names, "-o", "out"], many)))
                    for label, tool in (("gltfpack", gltfpack), ("assimp", assimp)):
                        if not tool:
                            continue
                        commands = ([tool, "-i", n, "-o", n + ".glb", "-noq"] if label == "gltfpack"
                                    else [tool, "export", n, n + ".glb"] for n in names)
                        plans.append((label, lambda c=list(commands): run_many(c, many)))
                else:
                    plans = [(label, lambda c=command: run(c, scratch))
                             for label, command in tools(os.path.join(scratch, name))]
                # The order turns each round: a tool run right after a peer that
                # freed gigabytes pays for the system taking that memory back.
                turn = round_number % len(plans)
                for label, plan in plans[turn:] + plans[:turn]:
                    shutil.rmtree(os.path.join(scratch, "out"), ignore_errors=True)
                    shutil.rmtree(os.path.join(many, "out"), ignore_errors=True)
                    results.setdefault(label, []).append(plan())
            print(name + size)
            for label, samples in results.items():
                cpu, wall, peak = (statistics.median(s[i] for s in samples) for i in range(3))
                print(f"{'':14} {label:9} {cpu * 1e3:9.1f} {wall * 1e3:9.1f} {peak:9.1f}")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
