#!/usr/bin/env bash
# Sets up a Debian machine, builds, and then either starts the program or runs
# every test through CTest.
#   ./build.sh run    install what is missing, build, start the window program
#   ./build.sh test   install what is missing, build (plain, sanitizers and a cross
#                     build for Windows), run all tests (the Windows ones under Wine)
set -euo pipefail
cd "$(dirname "$0")"
mode=${1:-run}

packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
          libgtest-dev xvfb xauth fonts-dejavu-core
          qt6-translations-l10n qt6-svg-dev desktop-file-utils appstream dpkg-dev libssl-dev
          g++-mingw-w64-x86-64-posix wine64)
packages+=(libgf-complete-dev zlib1g-dev); [ "$mode" != test ] || packages+=(par2)  # recovery files; par2 tests them
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"

case $mode in
  run)
    if [ -x build/quorvel ]; then exec build/quorvel; else exec build/quorvel-cli; fi
    ;;
  test)
    cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON >/dev/null
    cmake --build build-asan -j"$jobs"
    export QT_QPA_PLATFORM=offscreen
    (cd build && ctest --output-on-failure -j"$jobs")
    # Leaks inside Qt's and fontconfig's own start-up are suppressed by name only.
    ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
      UBSAN_OPTIONS=print_stacktrace=1 \
      bash -c 'cd build-asan && ctest --output-on-failure -j'"$jobs"' -LE plain-only'
    # Splits and joins run on a worker thread: the engine's and the window's
    # tests once more under ThreadSanitizer (only those two programs are
    # built there; the others' placeholders are left out).
    cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE_THREAD=ON >/dev/null
    cmake --build build-tsan -j"$jobs" --target engine_tests quorvel_app_tests
    TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp" \
      bash -c 'cd build-tsan && ctest --output-on-failure -j'"$jobs"' -LE plain-only -E _NOT_BUILT'
    # The standard-library parts and quorvel-cli for Windows, their tests under Wine.
    cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build-windows -j"$jobs"
    status=0
    (cd build-windows && ctest --output-on-failure -j"$jobs") || status=$?
    # Wine's server stays a minute for the next program; none comes.
    WINEPREFIX="$PWD/build-windows/wine-prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
    exit "$status"
    ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac
