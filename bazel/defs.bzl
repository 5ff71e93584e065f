"""Bazel rules that export scenes with kvoexp, one action per scene.

    load("@kvoexp_rules//:defs.bzl", "kvoexp_export", "kvoexp_export_all")

    kvoexp_export(
        name = "crate",
        scene = "levels/crate.obj",
        srcs = ["levels/crate.mtl", "levels/wood.png"],
        options = ["--shader", "--geometry-ini"],
    )

    kvoexp_export_all(
        name = "levels",
        scenes = glob(["levels/*.obj", "levels/*.gltf"]),
        srcs = glob(["levels/*.mtl", "levels/*.bin", "levels/*.png"]),
    )

    kvoexp_export_all(
        name = "props",
        scenes = {
            "props/barrel.obj": ["props/barrel.mtl", "props/barrel.png"],
            "props/lamp.gltf": ["props/lamp.bin"],
        },
    )

An export's outputs are the directory <name> (a tree artifact holding the
.kvo files and the side files) and <name>.report.json (kvoexp's JSON report).
The action runs in Bazel's sandbox with the scene and `srcs` as its inputs and
the installed kvoexp (@kvoexp//:kvoexp, see repositories.bzl) as its tool.
"""

KvoexpInfo = provider(
    doc = "An installed kvoexp: the program, the plug-in module and the libraries both load.",
    fields = {
        "program": "File: bin/kvoexp",
        "module": "File: lib/kvoexp.so",
        "library_dir": "string: the exec path of the folder of libkvohost.so",
        "files": "depset of every file an export runs",
    },
)

KvoexpExportInfo = provider(
    doc = "One scene's export.",
    fields = {
        "directory": "File (a directory): the .kvo files and side files",
        "report": "File: kvoexp's JSON report",
        "scene": "File: the scene exported",
    },
)

def _kvoexp_installation_impl(ctx):
    libraries = ctx.files.libraries
    host = [f for f in libraries if f.basename == "libkvohost.so"]
    if not host:
        fail("kvoexp_installation: libraries must hold libkvohost.so")
    files = depset([ctx.file.program, ctx.file.import_program, ctx.file.module] + libraries)
    return [
        KvoexpInfo(
            program = ctx.file.program,
            module = ctx.file.module,
            library_dir = host[0].dirname,
            files = files,
        ),
        DefaultInfo(files = files),
    ]

kvoexp_installation = rule(
    implementation = _kvoexp_installation_impl,
    attrs = {
        "program": attr.label(allow_single_file = True, mandatory = True),
        "import_program": attr.label(allow_single_file = True, mandatory = True),
        "module": attr.label(allow_single_file = True, mandatory = True),
        "libraries": attr.label_list(allow_files = True, mandatory = True),
    },
    doc = "The files of an installed kvoexp; made by kvoexp_local_install.",
)

# Options that decide where kvoexp reads or writes, which the rule owns: the
# output directory, the report, the module and the files beside the export.
_OWNED_OPTIONS = [
    "-o",
    "--output",
    "--report",
    "--depfile",
    "--depfile-target",
    "--module",
    "--config-dir",
    "--check",
    "--list",
    "--dump-scene",
    "--prune",
]

def _check_options(label, options):
    for option in options:
        name = option.split("=", 1)[0]
        if name in _OWNED_OPTIONS or (name.startswith("-o") and not name.startswith("--")):
            fail("%s: the option %s is set by kvoexp_export itself (the output is the " %
                 (label, option) + "target's directory, the report <name>.report.json)")

def _kvoexp_export_impl(ctx):
    _check_options(ctx.label, ctx.attr.options)
    kvoexp = ctx.attr.kvoexp[KvoexpInfo]
    scene = ctx.file.scene
    out_dir = ctx.actions.declare_directory(ctx.label.name)
    report = ctx.actions.declare_file(ctx.label.name + ".report.json")
    unused = ctx.actions.declare_file(ctx.label.name + ".unused_inputs")
    srcs = [f for f in ctx.files.srcs if f != scene]

    args = ctx.actions.args()
    args.add(str(ctx.label))
    args.add(kvoexp.program)
    args.add(kvoexp.module)
    args.add(kvoexp.library_dir)
    args.add(out_dir.path)
    args.add(report)
    args.add(unused)
    args.add(scene)
    args.add(len(srcs))
    args.add_all(srcs)
    args.add_all(ctx.attr.options)

    ctx.actions.run(
        # The script through the shell: it need not keep its executable bit.
        executable = "/bin/sh",
        arguments = [ctx.file._action.path, args],
        inputs = depset([scene] + srcs),
        tools = depset([ctx.file._action], transitive = [kvoexp.files]),
        outputs = [out_dir, report, unused],
        # Files among srcs that the import did not read: a change to them
        # leaves this export alone (a folder's scenes can share one srcs).
        unused_inputs_list = unused,
        # A fixed environment: the same key and the same run on every machine.
        env = {"PATH": "/usr/bin:/bin"},
        mnemonic = "KvoExport",
        progress_message = "Exporting %s with kvoexp (%s)" % (scene.short_path, ctx.label),
    )
    return [
        DefaultInfo(files = depset([out_dir, report])),
        KvoexpExportInfo(directory = out_dir, report = report, scene = scene),
        OutputGroupInfo(kvo = depset([out_dir]), report = depset([report])),
    ]

kvoexp_export = rule(
    implementation = _kvoexp_export_impl,
    attrs = {
        "scene": attr.label(
            allow_single_file = True,
            mandatory = True,
            doc = "The scene file (FBX, OBJ, glTF...).",
        ),
        "srcs": attr.label_list(
            allow_files = True,
            doc = "Files the scene reads, beside it as it names them: an OBJ's " +
                  ".mtl, a glTF's .bin, the textures. A texture the scene names " +
                  "that is not here fails the action.",
        ),
        "options": attr.string_list(
            doc = "kvoexp options such as --shader, --geometry-ini, --optimize, --select.",
        ),
        "kvoexp": attr.label(
            default = "@kvoexp//:kvoexp",
            providers = [KvoexpInfo],
            cfg = "exec",
            doc = "The kvoexp to run (a kvoexp_installation).",
        ),
        "_action": attr.label(
            default = Label("//:kvoexp_action.sh"),
            allow_single_file = True,
        ),
    },
    doc = "Exports one scene with kvoexp: a directory <name> of .kvo and side files, " +
          "and the report <name>.report.json.",
)

def _stem(path):
    base = path.rsplit("/", 1)[-1].rsplit(":", 1)[-1]
    dot = base.rfind(".")
    return base[:dot] if dot > 0 else base

def kvoexp_export_all(name, scenes, srcs = [], options = [], **kwargs):
    """Exports each scene with its own action, as target <name>/<scene name>.

    The scene name is the file name without its last extension, as kvoexp's
    {scene}. `name` is a filegroup of every export's directory and report.

    scenes: a list (such as a glob) whose scenes each get all of `srcs` as
      inputs, or a dict from each scene to the files it reads, to which
      `srcs` are added. With a list, each action reports the files its
      import did not read as unused, so changing one scene's .mtl or texture
      re-runs that scene's export alone; a remote or disk cache, though, keys
      every export on all of `srcs`. With a dict each key holds only the
      scene's own files, so the cache keeps the other scenes' results.
    """
    if type(scenes) == "dict":
        items = scenes.items()
    else:
        items = [(scene, []) for scene in scenes]
    targets = []
    seen = {}
    for scene, own_srcs in items:
        stem = _stem(scene)
        if stem in seen:
            fail("kvoexp_export_all(%s): %s and %s both export into %s/%s" %
                 (name, seen[stem], scene, name, stem))
        seen[stem] = scene
        target = "%s/%s" % (name, stem)
        kvoexp_export(
            name = target,
            scene = scene,
            srcs = own_srcs + srcs,
            options = options,
            **kwargs
        )
        targets.append(":" + target)
    native.filegroup(
        name = name,
        srcs = targets,
        visibility = kwargs.get("visibility"),
    )
