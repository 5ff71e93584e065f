# Sourced by scripts/test-windows and scripts/screenshots: builds what the
# Windows sessions need and prepares a private Wine prefix.
#
#   BUILD          Linux build with the console host       (default build)
#   BUILD_MINGW    MinGW cross build of the DLL and host    (default build-mingw)
#   BUILD_MINGW64  64-bit cross build, see below            (default build-mingw64)
#   BUILD_WINE     Wine prefixes, scenes and outputs        (default build-wine)
#
# The product is the 32-bit DLL and the sessions run it. A machine that cannot
# execute 32-bit x86 code at all (some kernel sandboxes) cannot run 32-bit
# Wine; there the sessions run a 64-bit build of the same sources under
# 64-bit Wine in a 64-bit prefix, and say so on stderr.

BUILD=${BUILD:-build}
BUILD_MINGW=${BUILD_MINGW:-build-mingw}
BUILD_MINGW64=${BUILD_MINGW64:-build-mingw64}
BUILD_WINE=${BUILD_WINE:-build-wine}
JOBS=${JOBS:-$(nproc)}

WINE32_LOADER=/usr/lib/wine/wine
WINE64_LOADER=/usr/lib/wine/wine64

# 0 when this machine runs 32-bit Wine, 1 when it cannot execute 32-bit x86
# code (the loader exists but the kernel refuses it), 2 when 32-bit Wine is
# missing or broken.
probe_32bit() {
    [ -x "$WINE32_LOADER" ] || return 2
    local status=0
    "$WINE32_LOADER" --version >/dev/null 2>&1 || status=$?
    case $status in
        0) return 0 ;;
        126) return 1 ;;  # the kernel would not execute it: Exec format error
        *) return 2 ;;
    esac
}

WINE_BITS=32
probe_status=0
probe_32bit || probe_status=$?
if [ "$probe_status" = 1 ]; then
    WINE_BITS=64
fi

if [ "$WINE_BITS" = 32 ]; then
    export WINEPREFIX="$PWD/$BUILD_WINE/prefix"
    export WINEARCH=win32
    WINE=wine
    WINE_BUILD_DIR=$BUILD_MINGW
else
    export WINEPREFIX="$PWD/$BUILD_WINE/prefix64"
    export WINEARCH=win64
    export WINELOADER=$WINE64_LOADER
    WINE=$WINE64_LOADER
    WINE_BUILD_DIR=$BUILD_MINGW64
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or Gecko installers in the prefix

# The host's plug-in configuration directory inside the prefix.
WIN_CONFIG='C:\kvoexp\plugcfg'
CONFIG_DIR="$WINEPREFIX/drive_c/kvoexp/plugcfg"

# A Linux path as the Windows programs see it through drive Z:.
winpath() {
    local abs
    abs=$(realpath -m "$1")
    printf 'Z:%s' "${abs//\//\\}"
}

require_tools() {
    local tool tools=(wine wineserver xvfb-run python3)
    if [ "$WINE_BITS" = 64 ]; then
        tools=("$WINE64_LOADER" wineserver xvfb-run python3 x86_64-w64-mingw32-g++)
    fi
    for tool in "${tools[@]}"; do
        command -v "$tool" >/dev/null || {
            echo "$tool is missing: run scripts/setup" >&2
            exit 1
        }
    done
    if [ "$probe_status" = 2 ]; then
        echo "32-bit Wine ($WINE32_LOADER) is missing or broken: run scripts/setup" >&2
        exit 1
    fi
    if [ "$WINE_BITS" = 64 ]; then
        echo "scripts/$(basename "$0"): this machine cannot execute 32-bit x86 code; the" \
            "sessions run a 64-bit build of the same sources under 64-bit Wine" >&2
    fi
}

# Runs a build step silently, but shows its output when it fails.
quietly() {
    local out
    if ! out=$("$@" 2>&1); then
        printf '%s\n' "$out" >&2
        return 1
    fi
}

# The console host and its module on Linux; the DLL and kvoexp-win.exe, of
# the bitness that this machine's Wine runs.
build_hosts() {
    if [ ! -f "$BUILD/build.ninja" ]; then
        quietly cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
    quietly cmake --build "$BUILD" -j"$JOBS" --target kvoexp kvoexp_module
    if [ "$WINE_BITS" = 32 ]; then
        if [ ! -f "$BUILD_MINGW/build.ninja" ]; then
            quietly env BUILD_MINGW="$BUILD_MINGW" scripts/build-windows
        fi
    elif [ ! -f "$BUILD_MINGW64/build.ninja" ]; then
        quietly cmake -S . -B "$BUILD_MINGW64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-x86_64.cmake" \
            -DKVOEXP_TESTS=OFF -DKVOEXP_BENCH=OFF
    fi
    quietly cmake --build "$WINE_BUILD_DIR" -j"$JOBS" --target kvoexp_module kvoexp-win
    DLL=$(winpath "$WINE_BUILD_DIR/lib/kvoexp.dll")
    WINHOST="$WINE_BUILD_DIR/bin/kvoexp-win.exe"
}

# Made once and kept: windows are unmanaged, so nothing waits for a window
# manager that Xvfb does not have, and Wine draws the frames itself.
prepare_prefix() {
    if [ ! -f "$WINEPREFIX/.kvoexp-ready" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$(dirname "$WINEPREFIX")"
        timeout 300 "$WINE" wineboot -i >/dev/null 2>&1
        timeout 60 "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            >/dev/null 2>&1
        # Wine's own fonts (MS Sans Serif, Tahoma, Marlett for the frame's
        # buttons), which this build of Wine does not find by itself.
        if [ -d /usr/share/wine/fonts ]; then
            cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
        fi
        timeout 60 wineserver -w
        touch "$WINEPREFIX/.kvoexp-ready"
    fi
    rm -rf "$CONFIG_DIR"
    mkdir -p "$CONFIG_DIR"
}

# Stops this prefix's Wine server and the programs it runs.
stop_wine() {
    wineserver -k 2>/dev/null || true
}
