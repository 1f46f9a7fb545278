#!/usr/bin/env bash
# Speed of the window against quorvel-cli: the same file split into the
# window's default pieces and joined back, through the window's own commands
# (build/quorvel-bench-window, offscreen, scripted dialogs) and through the
# command line, alternating, with a warm page cache.
#   bench/window.sh [SIZE_MIB] [RUNS]    defaults: 1024 6
# Every run writes new pieces and a new joined file; use an even RUNS so that
# each side goes first equally often. The window's times are
# its commands from choosing the file to the end of the transfer; its
# start-up is shown apart. QUORVEL_CLI and QUORVEL_BENCH_WINDOW name the
# programs; TMPDIR the folder for the test file; BENCH_VERBOSE=1 prints every
# single time.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-1024}
runs=${2:-6}
piece=1457664  # the window's default piece size on a first start
cli=$(realpath "${QUORVEL_CLI:-build/quorvel-cli}")
win=$(realpath "${QUORVEL_BENCH_WINDOW:-build/quorvel-bench-window}")
for p in "$cli" "$win"; do
  [ -x "$p" ] || { echo "no $p: build first (cmake --build build --target quorvel-cli quorvel-bench-window)" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir ours window
echo "making a ${size_mib} MiB test file in $work ..."
head -c $((size_mib * 1048576)) /dev/urandom > big
cat big > /dev/null

verbose() { [ -z "${BENCH_VERBOSE:-}" ] || echo "  $*" >&2; }
# Seconds a command-line run takes; dirty pages of earlier runs are written
# first, outside the timing.
cli_seconds() {
  sync
  local t0 t1
  t0=$(date +%s.%N)
  "$cli" "$@" > /dev/null
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.4f", b - a}'
  verbose "$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", b - a}') quorvel-cli $*"
}
# The window's command time; its start-up time goes into the file `starts`.
# Qt's notes on standard error are shown only when the run fails.
win_seconds() {
  sync
  local out
  out=$("$win" "$@" 2> win.log) || { cat win.log >&2; exit 1; }
  echo "${out#* }" >> starts
  echo "${out% *}"
  verbose "${out% *} window $* (start-up ${out#* })"
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

# Each split goes into a folder just emptied of its own earlier set (the file
# system's bookkeeping of the deleted pieces then falls on the split that
# follows), each join into a new file; who goes first alternates.
w_split() { rm -f window/*; win_seconds split big window; }
c_split() { rm -f ours/*; cli_seconds split big --size "$piece" --into ours; }
w_join() { rm -f joined-window; win_seconds join window/big.Quorved_1 joined-window; }
c_join() { rm -f joined-cli; cli_seconds join ours/big.Quorved_1 --to joined-cli; }
declare -a ws=() cs=() wj=() cj=()
for i in $(seq "$runs"); do
  if (( i % 2 )); then
    ws+=("$(w_split)"); cs+=("$(c_split)"); wj+=("$(w_join)"); cj+=("$(c_join)")
  else
    cs+=("$(c_split)"); ws+=("$(w_split)"); cj+=("$(c_join)"); wj+=("$(w_join)")
  fi
  cmp -s big joined-window && cmp -s big joined-cli || { echo "a joined file differs from the original" >&2; exit 1; }
done
cmp -s <(cd ours && ls | sort) <(cd window && ls | sort) || { echo "the window's pieces differ from the CLI's" >&2; exit 1; }

printf '\n%-8s %9s %9s %7s\n' case window cli ratio
for c in split join; do
  if [ $c = split ]; then w=$(median "${ws[@]}"); q=$(median "${cs[@]}"); else w=$(median "${wj[@]}"); q=$(median "${cj[@]}"); fi
  printf '%-8s %9s %9s %7s\n' "$c" "$w" "$q" "$(ratio "$w" "$q")"
done
echo "(seconds, medians of $runs runs, pieces of $piece bytes; window start-up $(median $(cat starts)) s, not counted)"
