# Sourced by scripts/test-windows and scripts/screenshots: builds what the
# Windows sessions need and prepares a private 32-bit Wine prefix.
#
#   BUILD        Linux build with the console host     (default build)
#   BUILD_MINGW  MinGW cross build of the DLL and host  (default build-mingw)
#   BUILD_WINE   Wine prefix, scenes and outputs        (default build-wine)

BUILD=${BUILD:-build}
BUILD_MINGW=${BUILD_MINGW:-build-mingw}
BUILD_WINE=${BUILD_WINE:-build-wine}
JOBS=${JOBS:-$(nproc)}

export WINEPREFIX="$PWD/$BUILD_WINE/prefix"
export WINEARCH=win32
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
    local tool
    for tool in wine wineboot wineserver xvfb-run python3; do
        command -v "$tool" >/dev/null || {
            echo "$tool is missing: run scripts/setup" >&2
            exit 1
        }
    done
}

# Runs a build step silently, but shows its output when it fails.
quietly() {
    local out
    if ! out=$("$@" 2>&1); then
        printf '%s\n' "$out" >&2
        return 1
    fi
}

# The console host and its module on Linux; the DLL and kvoexp-win.exe.
build_hosts() {
    if [ ! -f "$BUILD/build.ninja" ]; then
        quietly cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fi
    quietly cmake --build "$BUILD" -j"$JOBS" --target kvoexp kvoexp_module
    if [ ! -f "$BUILD_MINGW/build.ninja" ]; then
        quietly env BUILD_MINGW="$BUILD_MINGW" scripts/build-windows
    fi
    quietly cmake --build "$BUILD_MINGW" -j"$JOBS" --target kvoexp_module kvoexp-win
    DLL=$(winpath "$BUILD_MINGW/lib/kvoexp.dll")
    WINHOST="$BUILD_MINGW/bin/kvoexp-win.exe"
}

# Made once and kept: windows are unmanaged, so nothing waits for a window
# manager that Xvfb does not have, and Wine draws the frames itself.
prepare_prefix() {
    if [ ! -f "$WINEPREFIX/.kvoexp-ready" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$(dirname "$WINEPREFIX")"
        timeout 300 wineboot -i >/dev/null 2>&1
        timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
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
