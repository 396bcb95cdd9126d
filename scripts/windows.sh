#!/usr/bin/env bash
# Cross-builds the program for 64-bit Windows, runs its tests as Windows programs under Wine,
# makes the installer and the ZIP, and checks the installer: a silent install into a fresh
# folder, the installed export tool against the Linux build's output, and the installed GUI's
# windows on Wine's display. Exits non-zero on any failure.
#
# The first run builds SQLite, Qt and Core5Compat for Windows into /var/cache/brettholm32
# (scripts/windows-deps.sh); later runs reuse them.
source "$(dirname "$0")/strict.sh"
cd "$(dirname "$0")/.."
started=$SECONDS
source=$PWD
build=$PWD/build-windows

packages=(
    wine wine64                  # runs the Windows programs
    fonts-wine                   # Wine's MS Sans Serif and Tahoma, the fonts the windows ask for
    nsis                         # makensis, for CPack's installer
    zip                          # CPack's ZIP
    xvfb xauth xdotool imagemagick  # a display for the installed GUI, its clicks and screenshots
)
bash scripts/install-packages.sh "${packages[@]}"

# The Linux build: its sqlite3 shell builds the demo database, its export is the reference.
echo "== Linux build (build/)"
bash scripts/setup.sh >/dev/null

echo "== Windows dependencies"
deps_started=$SECONDS
deps=$(nice -n 10 bash scripts/windows-deps.sh)
echo "Dependencies ready in $((SECONDS - deps_started)) s: $deps"

# --- Wine ------------------------------------------------------------------------------------
export WINE=/usr/lib/wine/wine64
export WINEPREFIX=$build/wine
export WINEARCH=win64
export WINEDEBUG=-all
# Neither Mono nor Gecko: their installers would ask on the first start.
export WINEDLLOVERRIDES="mscoree,mshtml="
winpath() { "$WINE" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# One X server for every Windows program of this run; Wine needs a display even for the tests
# on the offscreen platform.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
    "${WINE%wine64}wineserver" -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display

mkdir -p "$build"
if [ ! -f "$WINEPREFIX/.ready" ]; then
    echo "== Wine prefix ($WINEPREFIX)"
    rm -rf "$WINEPREFIX"
    "$WINE" wineboot -i >/dev/null 2>&1
    "$WINE" winecfg -v win10 >/dev/null 2>&1
    "${WINE%wine64}wineserver" -w
    touch "$WINEPREFIX/.ready"
fi
# Wine looks for its own fonts in the prefix, and a new prefix has none. Without them every
# family the windows ask for falls back to the first font the system offers (here a math font
# whose line height is four times its size), and the edit fields centre their text outside
# themselves. Fonts copied in later are found at the next start.
cp -u /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
# Windows 10 smooths fonts with ClearType unless told otherwise; a new Wine prefix smooths
# them in grey. It matters under Wine: Qt's GDI font engine cuts each glyph to the box that
# GetGlyphOutline reports, and Wine 8 draws small glyphs of its Tahoma a pixel beside that box
# (at 10 pixels "i" and "l" vanished); for ClearType Qt leaves a margin round the box.
"$WINE" reg add 'HKCU\Control Panel\Desktop' /v FontSmoothing /t REG_SZ /d 2 /f >/dev/null 2>&1
"$WINE" reg add 'HKCU\Control Panel\Desktop' /v FontSmoothingType /t REG_DWORD /d 2 /f \
    >/dev/null 2>&1

# The DLLs the test programs load: Qt's and the MinGW runtime, found through Wine's PATH.
runtime_dirs=("$deps/bin")
for dll in libstdc++-6.dll libwinpthread-1.dll; do
    runtime_dirs+=("$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)")")
done
WINEPATH=
for dir in "${runtime_dirs[@]}"; do
    WINEPATH+="$(winpath "$dir");"
done
export WINEPATH

# --- Build and test --------------------------------------------------------------------------
echo "== Windows build (build-windows/)"
build_started=$SECONDS
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64-x86_64.cmake" \
    -DBRETTHOLM_WIN_PREFIX="$deps" -DCMAKE_PREFIX_PATH="$deps" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$WINE" >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "Built in $((SECONDS - build_started)) s"

echo "== Test suite under Wine"
tests_started=$SECONDS
(cd "$build" && ctest --output-on-failure --no-tests=error -j"$(nproc)")
echo "Tests passed in $((SECONDS - tests_started)) s"

echo "== Installer and ZIP"
rm -f "$build"/Brettholm32-*-win64.exe "$build"/Brettholm32-*-win64.zip
(cd "$build" && cpack -B "$build" >/dev/null)
rm -rf "$build/_CPack_Packages"
installer=$(ls "$build"/Brettholm32-*-win64.exe)
zip=$(ls "$build"/Brettholm32-*-win64.zip)
echo "$installer"
echo "$zip"

bash scripts/windows-check.sh "$installer" "$zip"

echo "Windows build, tests, installer and its check passed in $((SECONDS - started)) s"
