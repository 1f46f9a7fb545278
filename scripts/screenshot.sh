#!/usr/bin/env bash
# Renders the real main window, as it comes up on a first start in English,
# into docs/main-window.png (the README's picture). Needs no display.
#   scripts/screenshot.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorvel-screenshot
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/quorvel-screenshot" docs/main-window.png 0
echo docs/main-window.png
