#!/usr/bin/env bash
# Builds the Qt the window program needs on Windows (Core, Gui, Widgets, Test
# and the windows, offscreen and minimal platform plugins), cross compiled
# with Debian's mingw-w64 from Debian's own qt6-base source, the same version
# as the host's Qt (whose moc, rcc and uic do the host side). Debian ships no
# Qt for mingw, so this is the only way to get one here.
#   scripts/qt-for-windows.sh
# The result goes into a cache folder outside the work tree, keyed by the Qt
# version (QUORVEL_CACHE, default ~/.cache/quorvel). A finished install has a
# stamp file; a second run finds it and only prints the prefix. The build
# takes about half an hour on two idle cores.
# Prints the Qt prefix as its last line. Exit status:
#   0  the prefix is there
#   1  fetching, configuring or building failed (the log says where)
#   3  cannot be built on this machine (no apt, or not root when something
#      has to be installed or a deb-src entry added); the reason is printed
set -euo pipefail

cannot() {
  echo "qt-for-windows: cannot build Qt for Windows here: $*" >&2
  exit 3
}
fail() {
  echo "qt-for-windows: $*" >&2
  exit 1
}

cache_root=${QUORVEL_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvel}

command -v qtpaths6 >/dev/null 2>&1 || cannot "the host's Qt (qtpaths6) is not installed"
qt_version=$(qtpaths6 --qt-query QT_VERSION)
[[ $qt_version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "unexpected Qt version from qtpaths6: '$qt_version'"
prefix=$cache_root/qt-$qt_version-mingw
stamp=$prefix/.quorvel-complete
work=$cache_root/qt-$qt_version-mingw.work

if [ -f "$stamp" ]; then
  echo "$prefix"
  exit 0
fi

command -v apt-get >/dev/null 2>&1 || cannot "no apt-get to fetch Debian's qt6-base source"
is_root=false
[ "$(id -u)" -eq 0 ] && is_root=true

# Tools the build needs; Debian package for each.
declare -A tool_package=(
  [cmake]=cmake
  [ninja]=ninja-build
  [x86_64-w64-mingw32-g++-posix]=g++-mingw-w64-x86-64-posix
  [x86_64-w64-mingw32-gcc-posix]=gcc-mingw-w64-x86-64-posix
  [dpkg-source]=dpkg-dev
)
missing=()
for tool in "${!tool_package[@]}"; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("${tool_package[$tool]}")
done
host_cmake=/usr/lib/x86_64-linux-gnu/cmake
[ -f "$host_cmake/Qt6CoreTools/Qt6CoreToolsConfig.cmake" ] || missing+=(qt6-base-dev-tools)
if [ ${#missing[@]} -gt 0 ]; then
  $is_root || cannot "missing packages (${missing[*]}) and not root to install them"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# One run at a time per cache folder.
mkdir -p "$cache_root"
exec 9>"$cache_root/qt-$qt_version-mingw.lock"
flock 9
if [ -f "$stamp" ]; then
  echo "$prefix"
  exit 0
fi

# The source: exactly the host's Debian version of qt6-base, so that the
# host's tools and the cross-built libraries agree.
host_package_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null) ||
  cannot "qt6-base-dev is not installed, so its source version is unknown"
mkdir -p "$work"
source_dir=$(find "$work" -maxdepth 1 -type d -name "qt6-base-*" -print -quit)
if [ -z "$source_dir" ]; then
  if [ -z "$(apt-cache showsrc qt6-base 2>/dev/null)" ]; then
    # apt knows no source packages: add deb-src entries beside the binary
    # ones, in a file of our own so the machine's files stay untouched.
    $is_root || cannot "apt has no deb-src entry for qt6-base and adding one needs root"
    entries=/etc/apt/sources.list.d/quorvel-deb-src.sources
    : >"$entries.new"
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      [ "$f" = "$entries" ] && continue
      # Each stanza of binary entries again, as source entries.
      awk 'BEGIN { RS = ""; ORS = "\n\n" }
           /(^|\n)Types:[^\n]*deb([ \t]|\n|$)/ && /debian/ {
             sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >>"$entries.new"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] || continue
      sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" |
        awk '{ print "Types: deb-src\nURIs: " $2 "\nSuites: " $3 "\nComponents: main\n" }' >>"$entries.new"
    done
    [ -s "$entries.new" ] || { rm -f "$entries.new"; cannot "found no Debian entry in apt's sources to add deb-src for"; }
    mv "$entries.new" "$entries"
    apt-get update -qq || fail "apt-get update failed after adding $entries"
  fi
  (cd "$work" && apt-get source -qq "qt6-base=$host_package_version") ||
    fail "apt-get source qt6-base=$host_package_version failed (is that version still on the mirror?)"
  source_dir=$(find "$work" -maxdepth 1 -type d -name "qt6-base-*" -print -quit)
  [ -n "$source_dir" ] || fail "apt-get source left no qt6-base-* folder in $work"
fi

# Qt's own cross build reads its compilers from a toolchain file.
toolchain=$work/mingw-toolchain.cmake
cat >"$toolchain" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

build=$work/build
started=$(date +%s)
echo "qt-for-windows: configuring $source_dir for x86_64-w64-mingw32 into $prefix"
# Only what the window program and its tests use; the libraries Windows
# lacks come bundled. OpenGL goes altogether: with only its feature off,
# dynamic OpenGL stays on and the windows platform plugin does not build
# (all three are named, as a rerun keeps the features of the first). Without
# Direct2D (a platform plugin of its own) the DirectWrite font database, an
# option the windows plugin is not started with by default, goes too: it is
# built only with Direct2D. Debian's source leaves out the wintab header,
# hence no tablet events.
cmake -G Ninja -S "$source_dir" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake" \
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
  -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF \
  -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_opengl_dynamic=OFF -DFEATURE_dynamicgl=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF \
  -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF \
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_tabletevent=OFF ||
  fail "configuring Qt failed; see $build/CMakeFiles/CMakeOutput.log and CMakeError.log"

# The named modules and plugins first; the install step then adds only the
# small rest the configuration left in (headers, CMake packages, the entry
# point, the style and image format plugins).
targets=(Core Gui Widgets Test
         QWindowsIntegrationPlugin QOffscreenIntegrationPlugin QMinimalIntegrationPlugin)
echo "qt-for-windows: building ${targets[*]}"
cmake --build "$build" --target "${targets[@]}" || fail "building Qt failed; the build stays in $build for a rerun"
echo "qt-for-windows: the rest the install needs: $(ninja -C "$build" -n all | grep -c '^\[') steps"
rm -rf "$prefix"
cmake --build "$build" --target install >"$work/install.log" ||
  fail "installing Qt into $prefix failed; see $work/install.log"
for needed in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Test.dll \
              plugins/platforms/qwindows.dll plugins/platforms/qoffscreen.dll \
              plugins/platforms/qminimal.dll lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake; do
  [ -f "$prefix/$needed" ] || fail "the install lacks $needed"
done
echo "built in $(( $(date +%s) - started )) s on $(nproc) cores from $source_dir" >"$stamp.new"
mv "$stamp.new" "$stamp"
rm -rf "$work"
echo "qt-for-windows: Qt $qt_version for Windows is in $prefix"
echo "$prefix"
