#!/usr/bin/env bash
# Qt for 64-bit Windows (MinGW-w64, posix threads), of the version in tools/qt-mingw-version:
# Core, Gui, Widgets, Test and the windows platform plugin, shared and release, cross-built from
# Debian's own qt6-base source. Does nothing when PREFIX already holds a complete build; with
# QT_MINGW_ARCHIVE set, unpacks that prebuilt archive of this same recipe instead of building.
# PREFIX must be new, empty, or a leftover of this script: any other folder is refused untouched.
# The scratch folder is made in QT_MINGW_WORK (default: the system's temporary folder).
# Usage: build-qt-mingw.sh [PREFIX]   (default ~/.cache/korvane-sockview/qt6-mingw-VERSION)
# Needs g++-mingw-w64-x86-64-posix, cmake, ninja-build, xz-utils and the host Qt of the same
# version (qt6-base-dev, qt6-base-dev-tools); `make qt-mingw` installs them.
set -euo pipefail

version=$(cat "$(dirname "$0")/qt-mingw-version")
prefix=$(realpath -m "${1:-${QT_MINGW_PREFIX:-$HOME/.cache/korvane-sockview/qt6-mingw-$version}}")
stamp=$prefix/complete-$version
# Written into the prefix before anything else: a folder holding it is this script's to clear.
marker=$prefix/.korvane-qt-mingw
triple=x86_64-w64-mingw32
host_cmake=/usr/lib/x86_64-linux-gnu/cmake

die() { echo "build-qt-mingw: $*" >&2; exit 1; }

if [[ -f $stamp ]]; then
    echo "Qt $version for MinGW is in $prefix"
    exit 0
fi

if [[ -n ${QT_MINGW_ARCHIVE:-} ]]; then
    [[ -f $QT_MINGW_ARCHIVE ]] || die "no archive $QT_MINGW_ARCHIVE"
else
    # The host tools (moc, rcc, uic) come from the distribution's Linux Qt, which must be the
    # same version, and the source from that release: only Debian 12's qt6-base is that version.
    [[ -f /etc/os-release ]] && source /etc/os-release
    only_bookworm="building Qt for MinGW from source needs Debian 12 (bookworm), whose qt6-base \
is $version; this is ${PRETTY_NAME:-an unknown system}. Set QT_MINGW_ARCHIVE to a prebuilt \
archive instead."
    [[ ${ID:-} == debian ]] || die "$only_bookworm"
    host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null) ||
        die "the host Qt tools are missing (qt6-base-dev-tools)"
    [[ $host_version == "$version"+* ]] || die "$only_bookworm (Its host Qt is $host_version.)"
fi

# A mistyped prefix must not cost a user's folder: only an earlier run's leftover is cleared.
if [[ -f $marker ]]; then
    find "$prefix/" -mindepth 1 -delete
elif [[ -e $prefix && ! (-d $prefix && -z $(ls -A "$prefix")) ]]; then
    die "$prefix is not an empty folder and was not made by this script; nothing in it was" \
        "touched. Name a new or empty folder, or remove this one yourself."
fi
mkdir -p "$prefix"
touch "$marker"

if [[ -n ${QT_MINGW_ARCHIVE:-} ]]; then
    tar -xJf "$QT_MINGW_ARCHIVE" -C "$prefix" --strip-components=1
    [[ -f $prefix/lib/cmake/Qt6/qt.toolchain.cmake ]] || die "$QT_MINGW_ARCHIVE holds no Qt"
    touch "$stamp"
    echo "Qt $version for MinGW unpacked from $QT_MINGW_ARCHIVE into $prefix"
    exit 0
fi

work=$(mktemp -d "${QT_MINGW_WORK:-${TMPDIR:-/tmp}}/qt-mingw.XXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
started=$(date +%s)

# The source package of the host Qt, through a sources list of our own: the system's apt set-up
# may have no deb-src line, and is left as it is.
mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources 2>/dev/null ||
    true)
echo "deb-src ${mirror:-http://deb.debian.org/debian} $VERSION_CODENAME main" >sources.list
mkdir -p lists/partial
apt_private=(apt-get -q -o Dir::Etc::sourcelist="$work/sources.list" -o Dir::Etc::sourceparts=-
    -o Dir::State::Lists="$work/lists")
"${apt_private[@]}" update >/dev/null
"${apt_private[@]}" source --download-only "qt6-base=$host_version" >/dev/null
tar -xJf qt6-base_*.orig.tar.xz
tar -xJf qt6-base_*.debian.tar.xz
source=$work/qtbase-everywhere-src-$version

# Debian's security fixes, as its Linux Qt carries them.
for patch in $(grep -i '^cve-' debian/patches/series); do
    patch -d "$source" -p1 -s <"debian/patches/$patch"
done
# With Direct2D off, Gui builds no DirectWrite font database, yet the platform plugin refers to
# it whenever DirectWrite 3 is on; gate the plugin's use as Gui gates the class.
integration=$source/src/plugins/platforms/windows/qwindowsintegration.cpp
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
    "$integration"
[[ $(grep -c '^#if QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)$' "$integration") == 2 ]] ||
    die "the DirectWrite gate in $integration was not found"

# Qt chain-loads this toolchain from its own; it lives in the prefix so that it outlives the build.
cat >"$prefix/mingw-w64-x86_64-posix.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER /usr/bin/$triple-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/$triple-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/$triple-windres)
list(APPEND CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# Only what the program uses: no OpenGL, Direct2D, network, SQL, XML or D-Bus; third-party code
# from Qt's own copies. The +dfsg source lacks wintab, hence no tablet events.
nice -n 19 cmake -S "$source" -B build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64-x86_64-posix.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake" \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DQT_BUILD_MANUAL_TESTS=OFF -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF -DFEATURE_pkg_config=OFF \
    -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_testlib=ON -DFEATURE_concurrent=OFF \
    -DFEATURE_dbus=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF -DFEATURE_sql=OFF \
    -DFEATURE_xml=OFF -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_direct2d=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_png=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_textmarkdownreader=OFF \
    -DFEATURE_png=ON -DFEATURE_freetype=ON -DFEATURE_harfbuzz=ON -DFEATURE_jpeg=OFF \
    -DFEATURE_system_jpeg=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_glib=OFF \
    -DFEATURE_tabletevent=OFF >configure.log || { tail -n 40 configure.log; die "configure failed"; }
nice -n 19 cmake --build build --parallel "$(nproc)" >build.log ||
    { grep -B2 -A12 'FAILED\|error:' build.log | head -n 60; die "the build failed"; }
cmake --install build --strip >/dev/null
# Qt records the chain-loaded toolchain by its absolute path; a relative one lets the prefix move.
sed -i 's|^set(__qt_initially_configured_toolchain_file ".*")$|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/../../../mingw-w64-x86_64-posix.cmake")|' \
    "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
touch "$stamp"
echo "Qt $version for MinGW built into $prefix in $((($(date +%s) - started) / 60)) min"
