#!/usr/bin/env bash
# Builds what the Windows build links and Debian does not ship for MinGW: SQLite, Qt's qtbase
# and Core5Compat, all from source, into a cache outside the clone. Each part lives in a folder
# named by its version and a hash of how it is built; a folder counts only once its stamp file
# exists (written last), so an interrupted build is redone and a finished one is reused.
# Prints nothing on standard output but the folder to use (the prefix of SQLite, Qt and
# Core5Compat); progress goes to standard error.
#
# Environment: BRETTHOLM_CACHE (default /var/cache/brettholm32), JOBS (default: all cores).
source "$(dirname "$0")/strict.sh"
cd "$(dirname "$0")/.."
exec 3>&1 1>&2

cache=${BRETTHOLM_CACHE:-/var/cache/brettholm32}
jobs=${JOBS:-$(nproc)}
qt_version=6.4.2
# Sources that Debian's mirror does not serve live in a third_party folder one level beside the
# checkout (../*/third_party), or wherever BRETTHOLM_THIRD_PARTY names. A clone made elsewhere
# from a local checkout looks beside the checkout it was cloned from.
# Prints the first such folder; prints nothing when there is none. A plain loop, not a pipeline:
# under pipefail a lookup that finds nothing in one place must not end the script unheard.
find_third_party() {
    local checkout found
    for checkout in "$@"; do
        [ -d "$checkout" ] || continue
        for found in "$checkout"/../*/third_party/qt5compat-everywhere-src-$qt_version.tar.xz; do
            if [ -f "$found" ]; then
                (cd "$(dirname "$found")" && pwd)
                return 0
            fi
        done
    done
    return 0
}
origin=$(git config --get remote.origin.url 2>/dev/null || true)
third_party=${BRETTHOLM_THIRD_PARTY:-$(find_third_party "$PWD" "$origin")}
if [ -z "$third_party" ]; then
    echo "No third_party folder beside $PWD${origin:+ or beside $origin} holds" \
        "qt5compat-everywhere-src-$qt_version.tar.xz; set BRETTHOLM_THIRD_PARTY to the folder."
    exit 1
fi
compat_tarball=$third_party/qt5compat-everywhere-src-$qt_version.tar.xz
compat_sums=$third_party/SHA256SUMS

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
apt_get() {
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}

packages=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix  # the cross compiler, posix threads
    cmake ninja-build                                      # the builds below
    qt6-base-dev qt6-base-dev-tools                        # moc, rcc, uic for the cross build
    dpkg-dev                                               # apt-get source
    tcl                                                    # SQLite's amalgamation generator
    xz-utils
)
bash scripts/install-packages.sh "${packages[@]}"

# Qt's cross build takes moc and rcc from the host Qt, which must be the very same version.
host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
case $host_qt in
    "$qt_version"+*) ;;
    *) echo "qt6-base-dev-tools is $host_qt, the Windows build needs Qt $qt_version" && exit 1 ;;
esac

# Sources from Debian: a deb-src entry of our own, so the machine's other lists stay untouched.
src_list=/etc/apt/sources.list.d/brettholm32-src.sources
if [ ! -f "$src_list" ]; then
    "${sudo[@]}" tee "$src_list" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt_get update -q
fi

"${sudo[@]}" mkdir -p "$cache"
"${sudo[@]}" chown "$(id -u):$(id -g)" "$cache"
mkdir -p "$cache/src"

# Unpacks Debian's source of a package once; prints the unpacked folder.
debian_source() {
    local package=$1 dir
    dir=$(find "$cache/src" -maxdepth 1 -type d -name "$2" | head -n 1)
    if [ -z "$dir" ] || [ ! -f "$dir/.unpacked" ]; then
        [ -n "$dir" ] && rm -rf "$dir"
        (cd "$cache/src" && apt-get source -q "$package" >&2)
        dir=$(find "$cache/src" -maxdepth 1 -type d -name "$2" | head -n 1)
        touch "$dir/.unpacked"
    fi
    echo "$dir"
}

toolchain=cmake/mingw-w64-x86_64.cmake
compiler_version=$(x86_64-w64-mingw32-g++-posix -dumpversion)
recipe_hash() { sha256sum | cut -c1-12; }

# --- SQLite -----------------------------------------------------------------------------------
sqlite_flags=(-O2 -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_OMIT_LOAD_EXTENSION)
sqlite_src=$(debian_source sqlite3 'sqlite3-*')
sqlite_version=$(cat "$sqlite_src/VERSION")
sqlite_hash=$(printf '%s\n' "$sqlite_version" "$compiler_version" "${sqlite_flags[@]}" | recipe_hash)
sqlite_prefix=$cache/win64-sqlite$sqlite_version-$sqlite_hash
if [ ! -f "$sqlite_prefix/.complete" ]; then
    echo "== SQLite $sqlite_version for Windows into $sqlite_prefix"
    started=$SECONDS
    rm -rf "$sqlite_prefix" "$cache/work/sqlite"
    mkdir -p "$cache/work/sqlite" "$sqlite_prefix/include" "$sqlite_prefix/lib"
    (
        cd "$cache/work/sqlite"
        "$sqlite_src/configure" --disable-tcl >/dev/null
        make -s sqlite3.c >/dev/null
        x86_64-w64-mingw32-gcc-posix "${sqlite_flags[@]}" -c sqlite3.c -o sqlite3.o
        x86_64-w64-mingw32-ar rcs "$sqlite_prefix/lib/libsqlite3.a" sqlite3.o
        cp sqlite3.h sqlite3ext.h "$sqlite_prefix/include/"
    )
    rm -rf "$cache/work/sqlite"
    touch "$sqlite_prefix/.complete"
    echo "SQLite built in $((SECONDS - started)) s"
fi

# --- qtbase -----------------------------------------------------------------------------------
# Only what the program and its tests load: Core, Gui, Widgets, Sql (ODBC, SQLite), Test, the
# windows and offscreen platforms and the styles. OpenGL stays: the windows platform plugin of
# this version does not build without it; nor does it link without Direct2D in Gui, whose
# DirectWrite font database it uses, so only the direct2d platform plugin goes. Debian's
# tarball lacks wintab (hence no tablet events) and the bundled SQLite (hence the one above).
qt_args=(
    -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_pkg_config=OFF
    -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF -DFEATURE_printsupport=ON
    -DFEATURE_concurrent=OFF -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF
    -DFEATURE_direct2d=ON -DFEATURE_direct2d1_1=OFF
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
    -DFEATURE_androiddeployqt=OFF -DFEATURE_windeployqt=OFF -DFEATURE_macdeployqt=OFF
    -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF
    -DFEATURE_sql_ibase=OFF -DFEATURE_sql_odbc=ON -DFEATURE_sql_sqlite=ON
    -DFEATURE_system_sqlite=ON
)
qt_src=$(debian_source qt6-base "qt6-base-$qt_version*")
qt_hash=$( (printf '%s\n' "$host_qt" "$compiler_version" "$sqlite_hash" "${qt_args[@]}"
    cat "$toolchain") | recipe_hash)
qt_prefix=$cache/win64-qtbase$qt_version-$qt_hash
if [ ! -f "$qt_prefix/.complete" ]; then
    echo "== Qt $qt_version qtbase for Windows into $qt_prefix"
    started=$SECONDS
    rm -rf "$qt_prefix"
    # An interrupted build of the same recipe goes on where it stopped.
    if [ "$(cat "$cache/work/qtbase/.recipe" 2>/dev/null)" != "$qt_hash" ]; then
        rm -rf "$cache/work/qtbase"
        mkdir -p "$cache/work/qtbase"
        echo "$qt_hash" >"$cache/work/qtbase/.recipe"
    fi
    mkdir -p "$qt_prefix"
    cp "$toolchain" "$qt_prefix/mingw-w64-x86_64.cmake"
    BRETTHOLM_WIN_PREFIX=$sqlite_prefix cmake -S "$qt_src" -B "$cache/work/qtbase" \
        -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/mingw-w64-x86_64.cmake" \
        -DBRETTHOLM_WIN_PREFIX="$sqlite_prefix" -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
        -DSQLite3_INCLUDE_DIR="$sqlite_prefix/include" \
        -DSQLite3_LIBRARY="$sqlite_prefix/lib/libsqlite3.a" \
        "${qt_args[@]}"
    echo "qtbase configured in $((SECONDS - started)) s"
    cmake --build "$cache/work/qtbase" -j"$jobs"
    cmake --install "$cache/work/qtbase"
    rm -rf "$cache/work/qtbase"
    touch "$qt_prefix/.complete"
    echo "qtbase built in $((SECONDS - started)) s"
fi

# --- Core5Compat, into a copy of qtbase: the folder the project uses -------------------------
compat_args=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF)
compat_patch='\#^ *sax/qxml.cpp sax/qxml.h sax/qxml_p.h$#d'
compat_sum=$(sha256sum "$compat_tarball" | cut -d' ' -f1)
if ! grep -q "^$compat_sum  $(basename "$compat_tarball")\$" "$compat_sums"; then
    echo "$compat_tarball does not match its checksum in $compat_sums" && exit 1
fi
deps_hash=$(printf '%s\n' "$qt_hash" "$compat_sum" "$compat_patch" "${compat_args[@]}" | recipe_hash)
deps_prefix=$cache/win64-qt$qt_version-$deps_hash
if [ ! -f "$deps_prefix/.complete" ]; then
    echo "== Core5Compat $qt_version for Windows into $deps_prefix"
    started=$SECONDS
    rm -rf "$deps_prefix" "$cache/work/qt5compat"
    cp -a "$qt_prefix" "$deps_prefix"
    rm "$deps_prefix/.complete"
    cp -a "$sqlite_prefix/include" "$sqlite_prefix/lib" "$deps_prefix/"
    mkdir -p "$cache/work/qt5compat"
    tar -xJf "$compat_tarball" -C "$cache/work/qt5compat" --strip-components=1
    # Its SAX classes need Qt Xml, which qtbase is built without; the program needs the codecs.
    sed -i "$compat_patch" "$cache/work/qt5compat/src/core5/CMakeLists.txt"
    BRETTHOLM_WIN_PREFIX=$deps_prefix cmake -S "$cache/work/qt5compat" \
        -B "$cache/work/qt5compat/build" \
        -DCMAKE_TOOLCHAIN_FILE="$deps_prefix/mingw-w64-x86_64.cmake" \
        -DBRETTHOLM_WIN_PREFIX="$deps_prefix" -DCMAKE_PREFIX_PATH="$deps_prefix" \
        -DCMAKE_INSTALL_PREFIX="$deps_prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        "${compat_args[@]}"
    cmake --build "$cache/work/qt5compat/build" -j"$jobs"
    cmake --install "$cache/work/qt5compat/build"
    rm -rf "$cache/work/qt5compat"
    touch "$deps_prefix/.complete"
    echo "Core5Compat built in $((SECONDS - started)) s"
fi

echo "$deps_prefix" >&3
