#!/usr/bin/env bash
# scripts/qt-for-windows.sh with qtpaths6, id, apt, dpkg-query, cmake, ninja
# and the cross compiler played by stand-ins on a PATH of their own, and a
# cache folder of its own, so nothing is fetched, built or installed:
#   QtForWindowsTest.sh QT_FOR_WINDOWS_SH
set -uo pipefail
script=$1
bin=$(mktemp -d)
trap 'rm -rf "$bin"' EXIT
for tool in bash env cat mkdir rm mv find flock date nproc sed awk tail grep; do
  ln -s "$(command -v "$tool")" "$bin/$tool"
done
stand_in() { printf '#!/bin/bash\n%s\n' "$2" >"$bin/$1"; chmod +x "$bin/$1"; }
stand_in qtpaths6 'echo 6.9.1'
stand_in id 'echo "$FAKE_UID"'
stand_in dpkg-query 'echo 6.9.1+dfsg-1'
for tool in ninja x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-gcc-posix dpkg-source; do stand_in "$tool" ':'; done
# apt: "source" unpacks an empty source tree; showsrc knows qt6-base when SOURCES=yes.
stand_in apt-get 'echo "apt-get $*" >>"$LOG"; [ "$1" != source ] || mkdir qt6-base-6.9.1+dfsg'
stand_in apt-cache '[ "$SOURCES" != yes ] || echo "Package: qt6-base"'
# cmake: configuring and building succeed; the install makes the files in
# INSTALLS under the prefix it was configured with.
stand_in cmake 'echo "cmake $*" >>"$LOG"
for a; do case $a in -DCMAKE_INSTALL_PREFIX=*) echo "${a#*=}" >"$CACHE/prefix";; esac; done
if [ "${*: -1}" = install ]; then for f in $INSTALLS; do mkdir -p "$(cat "$CACHE/prefix")/${f%/*}"; : >"$(cat "$CACHE/prefix")/$f"; done; fi
exit 0'
all="bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Test.dll plugins/platforms/qwindows.dll
     plugins/platforms/qoffscreen.dll plugins/platforms/qminimal.dll lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake"
failures=0
fail() { echo "FAIL ($case): $*"; cat "$bin/out"; failures=$((failures + 1)); }
expect() { grep -q "$@" "$bin/out" || fail "$@"; }        # a line of the output matches
refuse() { ! grep -q "$@" "$bin/out" || fail not "$@"; }  # none does
cache=$bin/cache
prefix=$cache/qt-6.9.1-mingw
run() {  # uid sources(yes/no) installs...
  local uid=$1 sources=$2
  shift 2
  rm -f "$bin/log"
  PATH=$bin HOME=$bin QUORVEL_CACHE=$cache FAKE_UID=$uid SOURCES=$sources INSTALLS="$*" LOG=$bin/log CACHE=$cache \
    bash "$script" >"$bin/out" 2>&1
  echo "exit $?" >>"$bin/out"
  [ -f "$bin/log" ] && cat "$bin/log" >>"$bin/out"
}

case=no-apt
mv "$bin/apt-get" "$bin/apt-get.away"
run 0 yes $all
expect -x "exit 3"
expect "cannot build Qt for Windows here: no apt-get"
[ ! -e "$prefix" ] || fail "made $prefix"
mv "$bin/apt-get.away" "$bin/apt-get"

case=user-without-deb-src
run 1000 no $all
expect -x "exit 3"
expect "deb-src entry .* needs root"
refuse "^apt-get"

case=user-without-ninja
mv "$bin/ninja" "$bin/ninja.away"
run 1000 yes $all
expect -x "exit 3"
expect "missing packages (ninja-build) and not root"
refuse "^cmake"
mv "$bin/ninja.away" "$bin/ninja"

case=install-lacks-a-plugin
run 1000 yes ${all/plugins\/platforms\/qwindows.dll/}
expect -x "exit 1"
expect "the install lacks plugins/platforms/qwindows.dll"
expect -x "apt-get source -qq qt6-base=6.9.1+dfsg-1"
[ ! -e "$prefix/.quorvel-complete" ] || fail "stamped an incomplete install"
[ -d "$prefix.work/qt6-base-6.9.1+dfsg" ] || fail "dropped the work folder a rerun continues in"

case=complete
run 1000 yes $all
expect -x "exit 0"
expect -x "$prefix"
refuse "^apt-get"  # the source of the failed run is taken again
expect -- "-DCMAKE_INSTALL_PREFIX=$prefix"
[ -f "$prefix/.quorvel-complete" ] || fail "no stamp after a complete install"
[ ! -e "$prefix.work" ] || fail "left the work folder behind"

case=cached-without-apt
mv "$bin/apt-get" "$bin/apt-get.away"
run 1000 no
expect -x "exit 0"
expect -x "$prefix"
refuse "^cmake"
exit $((failures > 0))
