#!/usr/bin/env bash
# Sets up a Debian machine, builds, and then either starts the program or runs
# every test through CTest.
#   ./build.sh run    install what the programs need, build them, start the window program
#   ./build.sh test   install what the tests need as well, build (plain, sanitizers and a
#                     cross build for Windows with the window), run all tests (the Windows ones under Wine)
set -euo pipefail
cd "$(dirname "$0")"
mode=${1:-run}
case $mode in
  run | test) ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

# What the window program and quorvel-cli need to build and to run.
run_packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev qt6-svg-dev
              qt6-translations-l10n fonts-dejavu-core libssl-dev libgf-complete-dev zlib1g-dev)
# What only the tests need: GoogleTest, the desktop's validators for the
# installed files, par2 for the recovery files, the cross compiler for
# Windows with Wine to run its tests, xfsprogs for the copy-on-write
# file system the shared-blocks tests and bench make on a loop file, and an
# X server with xdotool to see the Windows zip's window come up under Wine.
test_packages=(libgtest-dev desktop-file-utils appstream par2 g++-mingw-w64-x86-64-posix wine64 xfsprogs
               xvfb xdotool)

installed() {  # for any of the machine's architectures
  local status
  status=$(dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null) || return 1
  [[ $status == *"install ok installed"* ]]
}

packages=("${run_packages[@]}")
[ "$mode" = test ] && packages+=("${test_packages[@]}")
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Missing for ./build.sh $mode: ${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then
    as_root=()
  elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
  else
    echo "Neither root nor sudo here: as root, install them with" >&2
    echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)

if [ "$mode" = run ]; then
  # The test programs are configured only where GoogleTest is there already.
  tests=OFF
  installed libgtest-dev && tests=ON
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=$tests >/dev/null
  cmake --build build -j"$jobs" --target quorvel quorvel-cli
  exec build/quorvel
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs" --target quorvel_test_programs
export QT_QPA_PLATFORM=offscreen
(cd build && ctest --output-on-failure -j"$jobs")
# Leaks inside Qt's and fontconfig's own start-up are suppressed by name only.
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS=print_stacktrace=1 \
  bash -c 'cd build-asan && ctest --output-on-failure -j'"$jobs"' -LE plain-only'
# Splits and joins run on a worker thread: the engine's and the window's
# tests once more under ThreadSanitizer, and the recovery files' seeds, whose
# counting and rebuilding run on threads of their own (only those programs
# are built there; the others' placeholders are left out).
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE_THREAD=ON >/dev/null
cmake --build build-tsan -j"$jobs" --target engine_tests quorvel_app_tests quorvel fuzz_recovery_files fuzz_checksum_file
TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp" \
  bash -c 'cd build-tsan && ctest --output-on-failure -j'"$jobs"' -LE plain-only -E _NOT_BUILT'
# The whole program for Windows, window and tests included, the tests under
# Wine. The window needs a Qt built for mingw: the script builds it once into
# a cache outside the tree (about half an hour) and prints its prefix last.
# Where it cannot be built here, the tree holds quorvel-cli and the
# standard-library parts only.
windows_qt=()
qt_log=$(mktemp)
trap 'rm -f "$qt_log"' EXIT
qt_status=0
nice -n 10 scripts/qt-for-windows.sh | tee "$qt_log" || qt_status=$?
case $qt_status in
  0) windows_qt=(-DQUORVEL_WINDOWS_QT="$(tail -n 1 "$qt_log")") ;;
  3) windows_qt=(-DQUORVEL_WINDOWS_QT=)
     echo "Qt for Windows cannot be built here (the reason is above): the Windows tree is built without the window" ;;
  *) echo "Building Qt for Windows failed (exit $qt_status): see the log above" >&2; exit 1 ;;
esac
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${windows_qt[@]}" >/dev/null
cmake --build build-windows -j"$jobs"
status=0
(cd build-windows && ctest --output-on-failure -j"$jobs") || status=$?
# Wine's server stays a minute for the next program; none comes. It is the
# one beside the Wine the build found; without Wine the tests were skipped.
wineserver=$(sed -n 's/^QUORVEL_WINESERVER:FILEPATH=//p' build-windows/CMakeCache.txt)
if [ -x "$wineserver" ]; then
  WINEPREFIX="$PWD/build-windows/wine-prefix" "$wineserver" -k 2>/dev/null || true
else
  echo "wine64 was not found: the Windows tests were skipped"
fi
exit "$status"
