#!/usr/bin/env bash
# quorvel-cli.exe as a Windows user runs it (here under Wine): a file whose
# name has a blank and letters beyond ASCII is split, then joined from its
# middle piece, and must come back byte for byte; once with Windows paths
# (Z:\...), once with relative ones in either separator.
#   WindowsRoundTrip.sh WORK_FOLDER QUORVEL_CLI_EXE WINE_COMMAND...
set -euo pipefail
work=$1 cli=$2
shift 2
wine=("$@")
export LC_ALL=C.UTF-8  # the names go to Wine as UTF-8

name='Grüße Ωμέγα 東京.bin'
rm -rf "$work"
mkdir -p "$work/pieces" "$work/joined"
head -c 250001 /dev/urandom >"$work/$name"

# The Windows form of a path of this machine: Wine's drive Z: is its root.
windows() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }
cli() { "${wine[@]}" "$cli" "$@" </dev/null; }
fail() { echo "FAILED: $*" >&2; exit 1; }
expect_set() {  # folder: pieces 1 to 3, no 4th
  for n in 1 2 3; do [ -f "$1/$name.Quorved_$n" ] || fail "no piece $n in $1"; done
  [ ! -e "$1/$name.Quorved_4" ] || fail "a fourth piece in $1"
}

cli split "$(windows "$work/$name")" --size 100000 --into "$(windows "$work/pieces")"
expect_set "$work/pieces"
cli join "$(windows "$work/pieces/$name.Quorved_2")" --to "$(windows "$work/joined/$name")"
cmp "$work/$name" "$work/joined/$name" || fail "joined from Z:\\ paths differs"

mkdir "$work/relative"
cd "$work/joined"
cli split "../$name" --size 100000 --into ../relative
expect_set ../relative
cd ../relative
cli join "$name.Quorved_2" --to "..\\joined\\again $name"
cmp "../$name" "../joined/again $name" || fail "joined into ..\\joined differs"
cli join "../relative/$name.Quorved_2"
cmp "../$name" "$name" || fail "joined from ../relative differs"
echo "round trips: Z:\\ paths, relative paths with / and \\"
