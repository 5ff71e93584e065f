#!/usr/bin/env python3
"""The Bazel rules of bazel/ for real: builds a copy of bazel/example (plus a
generated glTF scene with its .bin) with Bazel against a built kvoexp, and
checks that

  - every export's files are byte for byte those of a direct kvoexp run;
  - a second build runs nothing;
  - changing one scene's .mtl, texture or .bin re-runs that scene's export alone;
  - a fresh output base sharing the --disk_cache takes every action from it;
  - an undeclared texture, a texture outside the workspace, an undeclared .mtl,
    an undeclared .bin and an option the rule owns each fail, naming the file or
    the option.

Usage: bazel_export_test.py --prefix BUILD_DIR [--keep]
BUILD_DIR holds bin/kvoexp, bin/kvoexp-import, lib/kvoexp.so, lib/libkvohost.so and
lib/kvoexp_import_assimp.so. Skipped, with
the reason, only where Bazel cannot run.
"""

import argparse
import filecmp
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BAZEL_TIMEOUT = 300

# Every export of the example and the test's own scene: target, output
# directory under bazel-bin, scene (relative to the scratch tree, or to
# bazel-bin for a generated one), kvoexp options as its BUILD file gives them.
EXPORTS = [
    ("//:sample", "sample", "samples/sample_scene.gltf",
     ["--vertex-colors", "--shader", "--geometry-ini"]),
    ("//:grid", "grid", "bazel-bin:generated/grid.obj", ["--optimize", "--shader"]),
    ("//levels:levels/crate", "levels/levels/crate", "bazel/example/levels/crate.obj",
     ["--shader", "--geometry-ini"]),
    ("//levels:levels/rock", "levels/levels/rock", "bazel/example/levels/rock.obj",
     ["--shader", "--geometry-ini"]),
    ("//levels:levels/tower", "levels/levels/tower", "bazel/example/levels/tower.gltf",
     ["--shader", "--geometry-ini"]),
]


class Failures:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, what, detail=""):
        if ok:
            self.passed += 1
            print("  ok   %s" % what)
        else:
            self.failed += 1
            print("  FAIL %s" % what)
            if detail:
                print("       " + detail.replace("\n", "\n       "))
        return ok


def write_tower(levels):
    """A glTF of one triangle named Tower whose buffer lies beside it in tower.bin."""
    positions = struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, 1, 0)
    indices = struct.pack("<4H", 0, 1, 2, 0)
    with open(os.path.join(levels, "tower.bin"), "wb") as f:
        f.write(positions + indices)
    gltf = {
        "asset": {"version": "2.0"},
        "scene": 0,
        "scenes": [{"nodes": [0]}],
        "nodes": [{"name": "Tower", "mesh": 0}],
        "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
        "buffers": [{"uri": "tower.bin", "byteLength": 44}],
        "bufferViews": [
            {"buffer": 0, "byteOffset": 0, "byteLength": 36},
            {"buffer": 0, "byteOffset": 36, "byteLength": 6},
        ],
        "accessors": [
            {"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
             "min": [0, 0, 0], "max": [1, 1, 0]},
            {"bufferView": 1, "componentType": 5123, "count": 3, "type": "SCALAR"},
        ],
    }
    with open(os.path.join(levels, "tower.gltf"), "w") as f:
        json.dump(gltf, f)


def write_text(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def spawns(log_path):
    """The spawns of a build's --execution_log_json_file (concatenated JSON objects)."""
    if not os.path.exists(log_path):
        return []
    with open(log_path) as f:
        text = f.read()
    decoder = json.JSONDecoder()
    found, i = [], 0
    while True:
        while i < len(text) and text[i].isspace():
            i += 1
        if i >= len(text):
            return found
        item, i = decoder.raw_decode(text, i)
        found.append(item)


def exported_targets(log):
    """The targets whose KvoExport action ran (or came from a cache) in a build."""
    targets = []
    for spawn in log:
        if spawn.get("mnemonic") == "KvoExport":
            message = spawn.get("progressMessage", "")
            targets.append(message[message.rfind("(") + 1:message.rfind(")")])
    return sorted(targets)


def tree_files(folder):
    names = []
    for root, _, files in os.walk(folder):
        for name in files:
            names.append(os.path.relpath(os.path.join(root, name), folder))
    return sorted(names)


def same_trees(a, b):
    """'' when folders a and b hold the same files with the same bytes, else what differs."""
    fa, fb = tree_files(a), tree_files(b)
    if fa != fb:
        return "files %s vs %s" % (fa, fb)
    _, mismatch, errors = filecmp.cmpfiles(a, b, fa, shallow=False)
    if mismatch or errors:
        return "bytes differ in %s" % (mismatch + errors)
    return ""


class Bazel:
    def __init__(self, workspace, scratch, prefix, output_base):
        self.workspace = workspace
        self.scratch = scratch
        self.prefix = prefix
        self.output_base = output_base
        self.count = 0

    def startup(self):
        return ["bazel", "--output_user_root=" + os.path.join(self.scratch, "root"),
                "--output_base=" + self.output_base, "--host_jvm_args=-Xmx1g",
                "--max_idle_secs=300"]

    def run(self, command, args):
        return subprocess.run(self.startup() + [command] + args, cwd=self.workspace,
                              stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              timeout=BAZEL_TIMEOUT)

    def build(self, targets):
        """Runs bazel build; returns (process, spawns, seconds)."""
        self.count += 1
        log = os.path.join(self.scratch, "exec-%s-%d.json" %
                           (os.path.basename(self.output_base), self.count))
        args = ["--repo_env=KVOEXP_PREFIX=" + self.prefix,
                "--disk_cache=" + os.path.join(self.scratch, "disk_cache"),
                "--execution_log_json_file=" + log, "--color=no", "--curses=no", "--"]
        start = time.monotonic()
        process = self.run("build", args + targets)
        return process, spawns(log), time.monotonic() - start

    def shutdown(self):
        try:
            self.run("shutdown", [])
        except (OSError, subprocess.SubprocessError):
            pass


def bazel_can_run(scratch):
    """'' when Bazel starts here, else why not."""
    if shutil.which("bazel") is None:
        return "bazel is not installed (scripts/setup installs Debian's bazel-bootstrap)"
    probe = os.path.join(scratch, "probe")
    write_text(os.path.join(probe, "WORKSPACE"), "")
    write_text(os.path.join(probe, "BUILD"),
               'genrule(name = "p", outs = ["p.txt"], cmd = "echo p > $@")\n')
    bazel = Bazel(probe, scratch, "", os.path.join(scratch, "probe_base"))
    try:
        p = bazel.run("build", ["--nosandbox_debug", "--spawn_strategy=sandboxed", "//:p"])
    except (OSError, subprocess.SubprocessError) as e:
        return "bazel cannot run: %s" % e
    finally:
        bazel.shutdown()
    if p.returncode != 0:
        return "bazel cannot run a sandboxed genrule here:\n" + p.stderr[-2000:]
    return ""


def direct_export(prefix, scene, options, out):
    """kvoexp run directly on one scene, with absolute paths from another folder."""
    env = dict(os.environ, KVOEXP_MODULE=os.path.join(prefix, "lib", "kvoexp.so"))
    return subprocess.run([os.path.join(prefix, "bin", "kvoexp")] + options +
                          ["-q", "-o", out, scene], cwd="/", env=env,
                          stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          timeout=120)


def check_matches_direct(t, prefix, scratch, bin_dir, label, out_name, scene, options, tag):
    if scene.startswith("bazel-bin:"):
        scene = os.path.join(bin_dir, scene[len("bazel-bin:"):])
    else:
        scene = os.path.join(scratch, "tree", scene)
    direct = os.path.join(scratch, "direct", tag, out_name)
    r = direct_export(prefix, scene, options, direct)
    if not t.check(r.returncode == 0, "%s: kvoexp runs directly on %s" % (label, scene),
                   r.stderr):
        return
    built = os.path.join(bin_dir, out_name)
    diff = same_trees(built, direct)
    t.check(diff == "" and tree_files(built) != [],
            "%s: the Bazel output holds a direct run's files, byte for byte (%s)" %
            (label, ", ".join(tree_files(built))), diff)


def run_tests(t, prefix, scratch):
    tree = os.path.join(scratch, "tree")
    ignore = shutil.ignore_patterns("bazel-*", "user.bazelrc")
    shutil.copytree(os.path.join(SOURCE_DIR, "bazel"), os.path.join(tree, "bazel"),
                    ignore=ignore)
    shutil.copytree(os.path.join(SOURCE_DIR, "samples"), os.path.join(tree, "samples"))
    workspace = os.path.join(tree, "bazel", "example")
    levels = os.path.join(workspace, "levels")
    write_tower(levels)
    all_targets = sorted(e[0] for e in EXPORTS)
    times = {}

    first = Bazel(workspace, scratch, prefix, os.path.join(scratch, "base1"))
    second = Bazel(workspace, scratch, prefix, os.path.join(scratch, "base2"))
    try:
        print("cold build")
        p, log, times["cold"] = first.build(["//..."])
        if not t.check(p.returncode == 0, "the example builds", p.stderr[-4000:]):
            return times
        t.check(exported_targets(log) == all_targets,
                "one KvoExport action per scene", str(exported_targets(log)))
        bin_dir = os.path.join(workspace, "bazel-bin")
        for label, out_name, scene, options in EXPORTS:
            check_matches_direct(t, prefix, scratch, bin_dir, label, out_name, scene,
                                 options, "cold")
        report = os.path.join(bin_dir, "levels/levels/rock.report.json")
        with open(report) as f:
            nodes = [n["name"] for n in json.load(f)["scenes"][0]["nodes"]]
        t.check(nodes == ["Rock", "Pebble"], "the report lists the scene's nodes", str(nodes))

        print("no-op build")
        p, log, times["no-op"] = first.build(["//..."])
        t.check(p.returncode == 0 and log == [], "a second build runs nothing",
                str([s.get("progressMessage") for s in log]) + p.stderr[-2000:])

        print("fresh output base, shared disk cache")
        before = os.path.join(scratch, "outputs_base1")
        for _, out_name, _, _ in EXPORTS:
            shutil.copytree(os.path.join(bin_dir, out_name), os.path.join(before, out_name))
        first.shutdown()
        p, log, times["from the cache"] = second.build(["//..."])
        t.check(p.returncode == 0 and exported_targets(log) == all_targets,
                "the fresh output base builds every export", p.stderr[-2000:])
        missed = [s.get("progressMessage") for s in log if not s.get("remoteCacheHit")]
        t.check(log != [] and missed == [], "every action comes from the disk cache",
                str(missed))
        for _, out_name, _, _ in EXPORTS:
            diff = same_trees(os.path.join(bin_dir, out_name), os.path.join(before, out_name))
            t.check(diff == "", "%s from the cache equals the first output base's" % out_name,
                    diff)

        print("one scene's file changed")
        changes = [
            # file changed, its new text (None: a byte appended), the exports expected to run
            ("levels/stone.png", None, ["//levels:levels/rock"]),
            ("levels/rock.mtl", "newmtl stone\nKd 0.6 0.6 0.6\nmap_Kd wood.png\n",
             ["//levels:levels/rock"]),
            # No scene reads stone.png any more.
            ("levels/stone.png", None, []),
            ("levels/tower.bin", None, ["//levels:levels/tower"]),
            ("levels/crate.mtl", "newmtl wood\nKd 0.5 0.5 0.5\nmap_Kd wood.png\n",
             ["//levels:levels/crate"]),
            ("levels/wood.png", None, ["//levels:levels/crate", "//levels:levels/rock"]),
        ]
        for name, text, expected in changes:
            path = os.path.join(workspace, name)
            if text is None:
                with open(path, "ab") as f:
                    f.write(b"\0")
            else:
                write_text(path, text)
            p, log, seconds = second.build(["//..."])
            if len(expected) == 1:
                times.setdefault("one scene changed", seconds)
            t.check(p.returncode == 0 and exported_targets(log) == expected,
                    "changing %s re-runs %s" % (name, ", ".join(expected) or "nothing"),
                    str(exported_targets(log)) + p.stderr[-2000:])
            for entry in [e for e in EXPORTS if e[0] in expected]:
                check_matches_direct(t, prefix, scratch, bin_dir, *entry, tag=name)
        with open(os.path.join(bin_dir, "levels/levels/rock.report.json")) as f:
            rock = json.load(f)["scenes"][0]["nodes"][0]["materials"][0]["texture"]
        t.check(rock == "wood.png", "the changed .mtl reached the export", rock)

        print("a dict of scenes keys each export on its own files")
        check_own_inputs(t, second, workspace)

        print("undeclared inputs and owned options")
        check_failures(t, second, scratch, workspace)
    finally:
        first.shutdown()
        second.shutdown()
    return times


def check_own_inputs(t, bazel, workspace):
    each = os.path.join(workspace, "each")
    os.makedirs(each)
    for name in ["crate.obj", "crate.mtl", "wood.png", "rock.obj", "rock.mtl", "stone.png"]:
        shutil.copy(os.path.join(workspace, "levels", name), each)
    write_text(os.path.join(each, "BUILD.bazel"), """\
load("@kvoexp_rules//:defs.bzl", "kvoexp_export_all")

kvoexp_export_all(
    name = "each",
    scenes = {
        "crate.obj": ["crate.mtl", "wood.png"],
        "rock.obj": ["rock.mtl"],
    },
    srcs = ["stone.png"],
)
""")
    p = bazel.run("aquery", ["--repo_env=KVOEXP_PREFIX=" + bazel.prefix, "--color=no",
                             "--output=jsonproto", "mnemonic(KvoExport, //each:all)"])
    if not t.check(p.returncode == 0, "bazel aquery of //each:all", p.stderr[-2000:]):
        return
    graph = json.loads(p.stdout)
    artifacts = {a["id"]: a for a in graph.get("artifacts", [])}
    fragments = {f["id"]: f for f in graph.get("pathFragments", [])}
    sets = {d["id"]: d for d in graph.get("depSetOfFiles", [])}
    targets = {x["id"]: x["label"] for x in graph.get("targets", [])}

    def path(fragment_id):
        parts = []
        while fragment_id:
            fragment = fragments[fragment_id]
            parts.append(fragment["label"])
            fragment_id = fragment.get("parentId")
        return "/".join(reversed(parts))

    def files(set_ids):
        found = []
        for set_id in set_ids:
            entry = sets[set_id]
            found += [path(artifacts[a]["pathFragmentId"]) for a in entry.get("directArtifactIds", [])]
            found += files(entry.get("transitiveDepSetIds", []))
        return found

    inputs = {}
    for action in graph.get("actions", []):
        inputs[targets[action["targetId"]]] = sorted(
            f for f in files(action.get("inputDepSetIds", [])) if f.startswith("each/"))
    expected = {
        "//each:each/crate": ["each/crate.mtl", "each/crate.obj", "each/stone.png", "each/wood.png"],
        "//each:each/rock": ["each/rock.mtl", "each/rock.obj", "each/stone.png"],
    }
    t.check(inputs == expected, "each export's inputs are its scene, its files and the shared srcs",
            str(inputs))


def check_failures(t, bazel, scratch, workspace):
    broken = os.path.join(workspace, "broken")
    outside = os.path.join(scratch, "outside")
    os.makedirs(outside)
    os.makedirs(broken)
    wood = os.path.join(workspace, "levels", "wood.png")
    shutil.copy(wood, os.path.join(outside, "far.png"))
    shutil.copy(wood, os.path.join(broken, "wood.png"))
    obj = "mtllib %s.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\no Box\nusemtl m\nf 1/1 2/1 3/1\n"
    for stem, texture in [("crate", "wood.png"), ("far", os.path.join(outside, "far.png"))]:
        write_text(os.path.join(broken, stem + ".obj"), obj % stem)
        write_text(os.path.join(broken, stem + ".mtl"), "newmtl m\nKd 1 1 1\nmap_Kd %s\n" % texture)
    shutil.copy(os.path.join(workspace, "levels", "tower.gltf"), broken)
    shutil.copy(os.path.join(workspace, "levels", "tower.bin"), broken)
    write_text(os.path.join(broken, "BUILD.bazel"), """\
load("@kvoexp_rules//:defs.bzl", "kvoexp_export")

kvoexp_export(name = "undeclared_texture", scene = "crate.obj", srcs = ["crate.mtl"])

kvoexp_export(name = "texture_outside", scene = "far.obj", srcs = ["far.mtl"])

kvoexp_export(name = "undeclared_mtl", scene = "crate.obj", srcs = ["wood.png"])

kvoexp_export(name = "undeclared_bin", scene = "tower.gltf")

kvoexp_export(name = "owned_option", scene = "crate.obj", options = ["--shader", "-o", "x"])

kvoexp_export(name = "declared", scene = "crate.obj", srcs = ["crate.mtl", "wood.png"])
""")
    cases = [
        # target, whether it builds, texts its error names
        ("//broken:declared", True, []),
        ("//broken:undeclared_texture", False,
         ["names textures that are not among its inputs", "broken/wood.png"]),
        ("//broken:texture_outside", False,
         ["read files that are not among its inputs", os.path.join(outside, "far.png")]),
        ("//broken:undeclared_mtl", False,
         ["names material libraries that are not among its inputs", "broken/crate.mtl"]),
        ("//broken:undeclared_bin", False, ["cannot import", "broken/tower.gltf"]),
        ("//broken:owned_option", False, ["the option -o is set by kvoexp_export itself"]),
    ]
    for target, builds, texts in cases:
        p, _, _ = bazel.build([target])
        if builds:
            t.check(p.returncode == 0, "%s builds" % target, p.stderr[-2000:])
            continue
        missing = [text for text in texts if text not in p.stderr]
        t.check(p.returncode != 0 and missing == [],
                "%s fails, naming %s" % (target, texts[-1]),
                "exit %d, missing %s in:\n%s" % (p.returncode, missing, p.stderr[-3000:]))


def remove_tree(folder):
    """Removes folder, with the read-only outputs Bazel leaves in its output bases."""
    for root, dirs, _ in os.walk(folder):
        for name in dirs:
            path = os.path.join(root, name)
            if not os.path.islink(path):
                os.chmod(path, 0o755)
    shutil.rmtree(folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--prefix", required=True,
                        help="a kvoexp build or install: bin/kvoexp, lib/kvoexp.so")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    args = parser.parse_args()
    prefix = os.path.abspath(args.prefix)
    for name in ["bin/kvoexp", "bin/kvoexp-import", "lib/kvoexp.so", "lib/libkvohost.so",
                 "lib/kvoexp_import_assimp.so"]:
        if not os.path.exists(os.path.join(prefix, name)):
            print("bazel_export_test: %s/%s is missing: build kvoexp first" % (prefix, name))
            return 1

    scratch = tempfile.mkdtemp(prefix="kvoexp_bazel_")
    t = Failures()
    try:
        why_not = bazel_can_run(scratch)
        if why_not:
            print("bazel_export_test: SKIPPED: " + why_not)
            print("0 passed, 0 failed, 1 skipped")
            return 0
        times = run_tests(t, prefix, scratch)
        print("build times: " + ", ".join("%s %.2f s" % kv for kv in times.items()))
    finally:
        if args.keep:
            print("scratch folder kept: " + scratch)
        else:
            remove_tree(scratch)
    print("%d passed, %d failed" % (t.passed, t.failed))
    return 1 if t.failed else 0


if __name__ == "__main__":
    sys.exit(main())
