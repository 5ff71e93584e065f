"""kvoexp_local_install: an installed kvoexp as an external repository.

The repository holds links to the five files an export runs:

  bin/kvoexp                    the console host
  bin/kvoexp-import             its import program, run beside it
  lib/kvoexp.so                 the plug-in module
  lib/libkvohost.so             the host stand-ins that both link
  lib/kvoexp_import_assimp.so   the importer the import program loads for
                                scenes other than the OBJ files it reads itself

plus lib/kvoexp_preview.so when it exists (for --preview), and a BUILD file
whose target `//:kvoexp` is what kvoexp_export runs. These files are the
actions' declared tools, so a changed kvoexp re-runs the exports and a remote
executor receives them with the scenes.
"""

_FILES = [
    "bin/kvoexp",
    "bin/kvoexp-import",
    "lib/kvoexp.so",
    "lib/libkvohost.so",
    "lib/kvoexp_import_assimp.so",
]
_OPTIONAL_FILES = ["lib/kvoexp_preview.so"]

_BUILD = """\
load("@kvoexp_rules//:defs.bzl", "kvoexp_installation")

kvoexp_installation(
    name = "kvoexp",
    program = "bin/kvoexp",
    import_program = "bin/kvoexp-import",
    module = "lib/kvoexp.so",
    libraries = {libraries},
    visibility = ["//visibility:public"],
)
"""

def _prefix(repository_ctx):
    if repository_ctx.attr.prefix:
        return repository_ctx.attr.prefix, "the prefix attribute"
    prefix = repository_ctx.os.environ.get("KVOEXP_PREFIX", "")
    if prefix:
        return prefix, "KVOEXP_PREFIX"
    program = repository_ctx.which("kvoexp")
    if program:
        return str(program.realpath.dirname.dirname), "kvoexp on the PATH"
    fail("kvoexp_local_install: no kvoexp found: set KVOEXP_PREFIX (e.g. " +
         "--repo_env=KVOEXP_PREFIX=/opt/kvoexp), give prefix = \"...\", or put " +
         "kvoexp on the PATH. The prefix holds bin/kvoexp, bin/kvoexp-import, lib/kvoexp.so, " +
         "lib/libkvohost.so and lib/kvoexp_import_assimp.so (a build directory of kvoexp " +
         "has this layout).")

def _kvoexp_local_install_impl(repository_ctx):
    prefix, origin = _prefix(repository_ctx)
    for name in _FILES:
        path = repository_ctx.path("%s/%s" % (prefix, name))
        if not path.exists:
            fail("kvoexp_local_install: %s does not exist (prefix from %s)" % (path, origin))
        repository_ctx.symlink(path, name)
    libraries = ["lib/libkvohost.so", "lib/kvoexp_import_assimp.so"]
    for name in _OPTIONAL_FILES:
        path = repository_ctx.path("%s/%s" % (prefix, name))
        if path.exists:
            repository_ctx.symlink(path, name)
            libraries.append(name)
    repository_ctx.file("WORKSPACE", "workspace(name = \"%s\")\n" % repository_ctx.name)
    repository_ctx.file("BUILD.bazel", _BUILD.format(libraries = repr(libraries)))

kvoexp_local_install = repository_rule(
    implementation = _kvoexp_local_install_impl,
    attrs = {
        "prefix": attr.string(
            doc = "Install prefix holding bin/kvoexp and lib/; default: " +
                  "$KVOEXP_PREFIX, else the folder above the kvoexp on the PATH.",
        ),
    },
    environ = ["KVOEXP_PREFIX", "PATH"],
    local = True,
    doc = "Makes an installed kvoexp (or a build directory) available as @<name>//:kvoexp.",
)
