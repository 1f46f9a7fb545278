#!/usr/bin/env bash
# Packs the Windows zip, unpacks it into an empty folder and starts both
# programs from there, so that only what the zip holds can be found:
#   WindowsZip.sh BUILD CPACK OBJDUMP NAME WINE-RUN...
# NAME is the zip's name without ".zip" (and its one folder's); WINE-RUN is
# the command that runs a Windows program. The window needs an X server for
# Wine (Xvfb) and xdotool to find it; without them that part is skipped
# (exit status 77) after everything else passed.
set -euo pipefail
build=$1 cpack=$2 objdump=$3 name=$4
shift 4
work=$(mktemp -d)
app=
xvfb=
trap '[ -n "$app" ] && kill $app 2>/dev/null; [ -n "$xvfb" ] && kill $xvfb 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

"$cpack" -G ZIP --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"
[ -f "$work/out/$name.zip" ] || fail "cpack made no $name.zip: $(ls "$work/out")"
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$work/out/$name.zip") || fail "cannot unpack $name.zip"
[ "$(ls "$work/unpacked")" = "$name" ] || fail "the zip holds more than the folder $name: $(ls "$work/unpacked")"
folder=$work/unpacked/$name

for file in quorvel.exe quorvel-cli.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libstdc++-6.dll libgcc_s_seh-1.dll \
  libwinpthread-1.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll README.md copyright.txt; do
  [ -f "$folder/$file" ] || fail "the zip lacks $file"
done
# What only the tests use stays out.
for file in Qt6Test.dll platforms/qoffscreen.dll platforms/qminimal.dll imageformats; do
  [ ! -e "$folder/$file" ] || fail "the zip holds $file, which only the tests use"
done
! ls "$folder" | grep -q '_tests\.exe$' || fail "the zip holds test programs: $(ls "$folder" | grep '_tests\.exe$')"

# Each program carries the icon: one icon group and its six sizes.
for program in quorvel.exe quorvel-cli.exe; do
  resources=$("$objdump" -x "$folder/$program")
  grep -q 'Entry: ID: 0x00000e' <<<"$resources" || fail "$program has no icon group"
  icons=$(sed -n '/Entry: ID: 0x000003,/,/Entry: ID: 0x00000e/p' <<<"$resources" | grep -c 'Leaf:' || true)
  [ "$icons" = 6 ] || fail "$program holds $icons icon images, not 6"
done

# Windows finds DLLs beside the program: a missing one and the program does not start.
out=$("$@" "$folder/quorvel-cli.exe" --help 2>&1) || fail "quorvel-cli.exe --help: $out"
grep -q 'quorvel-cli split FILE' <<<"$out" || fail "quorvel-cli.exe --help printed: $out"
out=$("$@" "$folder/quorvel.exe" --version 2>&1) || fail "quorvel.exe --version: $out"
grep -q '^quorvel (The File Quorvel) ' <<<"$out" || fail "quorvel.exe --version printed: $out"

# The window needs the platform plugin from the zip: without it no window comes.
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  echo "no Xvfb or xdotool: the window was not started" >&2
  exit 77
fi
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(head -1 "$work/display")
"$@" "$folder/quorvel.exe" >"$work/window.log" 2>&1 &
app=$!
window=
for _ in $(seq 240); do
  window=$(xdotool search --onlyvisible --pid $app 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  kill -0 $app 2>/dev/null || fail "quorvel.exe ended without a window: $(cat "$work/window.log")"
  sleep 0.5
done
[ -n "$window" ] || fail "quorvel.exe showed no window in two minutes: $(cat "$work/window.log")"
title=$(xdotool getwindowname "$window")
[ "$title" = "The File Quorvel" ] || fail "the window is called \"$title\""
echo "the zip's programs start; the window is up"
