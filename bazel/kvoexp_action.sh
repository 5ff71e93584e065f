#!/bin/sh
# One scene's export as a Bazel action (see defs.bzl): runs kvoexp, then
# fails when the scene named a texture that is not among the inputs or read
# a file that was not declared, and lists the declared files it did not read
# (the action's unused inputs).
#
# Arguments: LABEL KVOEXP MODULE LIBDIR OUT_DIR REPORT UNUSED SCENE N SRC_1..SRC_N OPTION...
set -u

label=$1 kvoexp=$2 module=$3 libdir=$4 out_dir=$5 report=$6 unused=$7 scene=$8 count=$9
shift 9

fail() {
    printf 'kvoexp_export %s: %s\n' "$label" "$*" >&2
    exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/kvoexp_action.XXXXXX") || fail "cannot make a scratch folder"
trap 'rm -rf "$work"' EXIT

: >"$work/srcs"
i=0
while [ "$i" -lt "$count" ]; do
    printf '%s\n' "$1" >>"$work/srcs"
    shift
    i=$((i + 1))
done
{
    printf '%s\n' "$scene"
    cat "$work/srcs"
} >"$work/declared"

# The library folder first: the program's own search path names the machine
# it was built on, which a sandbox or a remote executor need not have.
LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
    "$kvoexp" "$@" --module "$module" -q --report "$report" \
    --depfile "$work/inputs.d" --depfile-target inputs -o "$out_dir" "$scene" \
    2>"$work/stderr"
status=$?
cat "$work/stderr" >&2
[ "$status" -eq 0 ] || fail "kvoexp exited with status $status on $scene"

# A texture the scene names but the sandbox does not hold: undeclared (or
# missing from the source tree). Either way the result would not be the
# scene's, so it is an error naming each file looked for.
if grep -q '"code": "texture_missing"' "$report"; then
    {
        printf 'kvoexp_export %s: %s names textures that are not among its inputs:\n' \
            "$label" "$scene"
        sed -n "s/^kvoexp: warning: .*: texture '.*' not found (looked for '\(.*\)')\$/  \1/p" \
            "$work/stderr" | sort -u
        printf 'declare each in srcs, beside the scene as the scene names it\n'
    } >&2
    exit 1
fi

# Every file the import read, from kvoexp's depfile (one per line after the
# target; spaces, '#' and '$' escaped as Make reads them).
awk 'NR == 1 { next }
{
    line = $0
    sub(/^ /, "", line)
    sub(/ \\$/, "", line)
    out = ""
    n = length(line)
    i = 1
    while (i <= n) {
        c = substr(line, i, 1)
        if (c == "\\") {
            j = i
            while (j <= n && substr(line, j, 1) == "\\") j++
            run = j - i
            after = substr(line, j, 1)
            if (after == " " && run % 2 == 1) {
                for (k = 0; k < (run - 1) / 2; k++) out = out "\\"
                out = out " "
                i = j + 1
            } else if (after == "#") {
                for (k = 1; k < run; k++) out = out "\\"
                out = out "#"
                i = j + 1
            } else {
                out = out substr(line, i, run)
                i = j
            }
        } else if (c == "$" && substr(line, i + 1, 1) == "$") {
            out = out "$"
            i += 2
        } else {
            out = out c
            i++
        }
    }
    print out
}' "$work/inputs.d" >"$work/read" || fail "cannot read kvoexp's depfile"

# Paths are as the import opened them, lexically normal: relative to the
# action's directory, or absolute (a scene naming /home/... or ../..).
: >"$work/read_here"
: >"$work/undeclared"
while IFS= read -r path; do
    here=$path
    case $path in
    "$PWD"/*) here=${path#"$PWD"/} ;;
    esac
    printf '%s\n' "$here" >>"$work/read_here"
    grep -qxF -e "$here" "$work/declared" || printf '  %s\n' "$path" >>"$work/undeclared"
done <"$work/read"
if [ -s "$work/undeclared" ]; then
    {
        printf 'kvoexp_export %s: %s read files that are not among its inputs:\n' \
            "$label" "$scene"
        cat "$work/undeclared"
        printf 'the result would depend on the machine: declare them in srcs, beside the scene\n'
    } >&2
    exit 1
fi

# An OBJ whose material library is missing imports without a word (its
# materials lose their textures), so each `mtllib` the scene names must be
# among the files read. The rest of the line is the name, as the importer
# reads it.
case $scene in
*.obj | *.OBJ | *.Obj)
    folder=$(dirname -- "$scene")
    grep -a '^[[:space:]]*mtllib[[:space:]]' -- "$scene" |
        sed 's/^[[:space:]]*mtllib[[:space:]]*//; s/[[:space:]]*$//' >"$work/mtllib"
    : >"$work/missing_mtl"
    while IFS= read -r name; do
        case $name in
        "") continue ;;
        /*) path=$name ;;
        *) path=$folder/$name ;;
        esac
        here=$(realpath -m -s --relative-to=. -- "$path")
        grep -qxF -e "$here" "$work/read_here" || printf '  %s\n' "$here" >>"$work/missing_mtl"
    done <"$work/mtllib"
    if [ -s "$work/missing_mtl" ]; then
        {
            printf 'kvoexp_export %s: %s names material libraries that are not among its inputs:\n' \
                "$label" "$scene"
            sort -u "$work/missing_mtl"
            printf 'declare each in srcs, beside the scene as the scene names it\n'
        } >&2
        exit 1
    fi
    ;;
esac

# The declared files the import did not read.
grep -vxF -f "$work/read_here" "$work/srcs" >"$unused"
[ $? -le 1 ] || fail "cannot write $unused"
exit 0
