#!/usr/bin/env bash
# Renders the real main window, as it comes up on a first start in English,
# into docs/main-window.png (the README's picture), and on a dark palette with
# a file opened into docs/main-window-dark.png. Needs no display.
#   scripts/screenshot.sh [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target quorvel-screenshot
mkdir -p docs
QT_QPA_PLATFORM=offscreen "$build/quorvel-screenshot" docs/main-window.png 0
sample=$(mktemp -d)
trap 'rm -rf "$sample"' EXIT
head -c 1500000 /dev/zero > "$sample/Holiday-Photos.zip"
QT_QPA_PLATFORM=offscreen "$build/quorvel-screenshot" "$PWD/docs/main-window-dark.png" 0 dark "$sample/Holiday-Photos.zip"
echo docs/main-window.png docs/main-window-dark.png
