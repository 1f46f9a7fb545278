#!/usr/bin/env bash
# Speed comparison: quorvel-cli split/join against split -b, cat and cp on one
# test file in a temporary folder, with a warm page cache.
#   bench/speed.sh [SIZE_MIB] [PIECE_BYTES] [RUNS]    defaults: 1024 104857600 5
# Each case runs RUNS times, ours and theirs alternating, first with no output
# files ("new") and then over the outputs of the run before ("replace"); the
# medians and their ratios are printed, against the others as they leave the
# page cache and against them followed by sync (ours is on the disk when it
# ends). Then, where quorvel-cli writes checksum files and takes
# --no-checksum, split and join with checksums against without them and
# against split -b or cat, sha256sum and sync; then, as root with mkfs.xfs,
# the same on an XFS file system with reflink on a loop file (time, new space
# and the joined file's extents); last the hashing speed (quorvel-hash-speed
# beside the program). QUORVEL_CLI names the program (default build/quorvel-cli); TMPDIR
# the folder for the test file; BENCH_VERBOSE=1 prints every single time.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-1024}
piece=${2:-104857600}
runs=${3:-5}
cli=$(realpath "${QUORVEL_CLI:-build/quorvel-cli}")
[ -x "$cli" ] || { echo "no $cli: build first (cmake --build build --target quorvel-cli quorvel-hash-speed)" >&2; exit 2; }

. bench/common.sh
mkdir ours theirs

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]}'; }
least() { printf '%s\n' "$@" | sort -g | head -1; }
rate() { awk -v mib="$size_mib" -v s="$1" 'BEGIN {printf "%.0f", mib * 1.048576 / s}'; }

our_pieces() { ls ours | grep -E '_[0-9]+$' | sort -t_ -k2 -n | sed 's|^|ours/|'; }  # not the checksum file
# The copy alone in the first tables, as split and cat hash nothing; the
# checksums are timed on their own after them.
copy_only=()
"$cli" --help | grep -q -- --no-checksum && copy_only=(--no-checksum)
q_split() { "$cli" split big --size "$piece" --into ours "${copy_only[@]}" "$@"; }
# --force: the "replace" runs join over the joined file of the run before.
q_join() { "$cli" join ours/big.Quorved_1 --to joined --force "${copy_only[@]}" "$@"; }
c_split() { "$cli" split big --size "$piece" --into ours "$@"; }
c_join() { "$cli" join ours/big.Quorved_1 --to joined --force "$@"; }
gnu_split() { (cd theirs && split -b "$piece" ../big x); }
cat_join() { cat $(our_pieces) > catted; }
# The yardsticks that end, as ours do, with the bytes on the disk.
gnu_split_sync() { gnu_split; sync; }
cat_join_sync() { cat_join; sync; }
# And those that also hash what they wrote, as ours do with checksums.
gnu_split_sums() { gnu_split; (cd theirs && sha256sum x* > ../sums); sync; }
cat_join_sums() { cat_join; sha256sum $(our_pieces) catted > sums; sync; }
copy() { cp big copied; }

# One line of the table: medians and their ratios, then the ratios of the
# fastest runs (less disturbed by whatever else the machine is doing).
report() {
  local -n ours=$2 theirs=$3 durable=$4
  local q g d c
  q=$(median "${ours[@]}"); g=$(median "${theirs[@]}"); d=$(median "${durable[@]}"); c=$(median "${cps[@]}")
  printf '%-16s %9s %9s %9s %9s %7s %7s %7s' "$1" "$q" "$g" "$d" "$c" "$(ratio "$q" "$g")" "$(ratio "$q" "$d")" \
    "$(ratio "$q" "$c")"
  q=$(least "${ours[@]}"); g=$(least "${theirs[@]}"); d=$(least "${durable[@]}"); c=$(least "${cps[@]}")
  printf '   %7s %7s %7s\n' "$(ratio "$q" "$g")" "$(ratio "$q" "$d")" "$(ratio "$q" "$c")"
}

q_split > /dev/null  # pieces for the first joins
printf '\n%-16s %9s %9s %9s %9s %7s %7s %7s   %s\n' case quorvel other +sync cp ratio vs-sync vs-cp \
  "best runs: ratio vs-sync vs-cp"
for mode in new replace; do
  declare -a qs=() gs=() gd=() qj=() cj=() cs=() cps=()
  for i in $(seq "$runs"); do
    if [ "$mode" = new ]; then rm -f ours/* theirs/*; fi
    if (( i % 2 )); then
      qs+=("$(seconds q_split)"); gs+=("$(seconds gnu_split)")
    else
      gs+=("$(seconds gnu_split)"); qs+=("$(seconds q_split)")
    fi
    [ "$mode" = new ] && rm -f joined catted
    if (( i % 2 )); then
      qj+=("$(seconds q_join)"); cj+=("$(seconds cat_join)")
    else
      cj+=("$(seconds cat_join)"); qj+=("$(seconds q_join)")
    fi
    [ "$mode" = new ] && rm -f theirs/* catted
    gd+=("$(seconds gnu_split_sync)")
    cs+=("$(seconds cat_join_sync)")
    rm -f copied  # cp always into a new file: the page-cache limit
    cps+=("$(seconds copy)")
  done
  cmp -s big joined && cmp -s big catted || { echo "joined files differ from the original" >&2; exit 1; }
  report "split $mode" qs gs gd
  report "join $mode" qj cj cs
done
echo "(other: split -b for splits, cat of the same pieces for joins; +sync: the same, then sync;"
echo " seconds, medians of $runs runs)"

rm -f ours/* joined
b=$(seconds q_split --max-ram 0)
j=$(seconds q_join --max-ram 0)
cmp -s big joined || { echo "byte-by-byte join differs from the original" >&2; exit 1; }
echo "byte by byte (--max-ram 0): split $(rate "$b") MB/s, join $(rate "$j") MB/s"

# Checksums: the same split and join with and without them, alternating.
rm -f ours/* joined
c_split > /dev/null
if [ -e ours/big.Quorved_sha256 ] && [ ${#copy_only[@]} -gt 0 ]; then
  declare -a ws=() ns=() wj=() nj=()
  for i in $(seq "$runs"); do
    if (( i % 2 )); then
      ws+=("$(seconds c_split)"); ns+=("$(seconds c_split --no-checksum)")
    else
      ns+=("$(seconds c_split --no-checksum)"); ws+=("$(seconds c_split)")
    fi
  done
  c_split > /dev/null  # a set with its checksum file for the joins
  for i in $(seq "$runs"); do
    if (( i % 2 )); then
      wj+=("$(seconds c_join)"); nj+=("$(seconds c_join --no-checksum)")
    else
      nj+=("$(seconds c_join --no-checksum)"); wj+=("$(seconds c_join)")
    fi
  done
  cmp -s big joined || { echo "joined file differs from the original" >&2; exit 1; }
  declare -a os=() oj=()
  for i in $(seq "$runs"); do
    rm -f theirs/* catted
    os+=("$(seconds gnu_split_sums)")
    oj+=("$(seconds cat_join_sums)")
  done
  printf '\n%-16s %9s %9s %9s %7s %7s   %s\n' case checksums without +sha256 ratio vs-sha "best runs: ratio vs-sha"
  for c in split join; do
    if [ $c = split ]; then w=("${ws[@]}"); n=("${ns[@]}"); o=("${os[@]}"); else w=("${wj[@]}"); n=("${nj[@]}"); o=("${oj[@]}"); fi
    printf '%-16s %9s %9s %9s %7s %7s   %7s %7s\n' "$c" "$(median "${w[@]}")" "$(median "${n[@]}")" "$(median "${o[@]}")" \
      "$(ratio "$(median "${w[@]}")" "$(median "${n[@]}")")" "$(ratio "$(median "${w[@]}")" "$(median "${o[@]}")")" \
      "$(ratio "$(least "${w[@]}")" "$(least "${n[@]}")")" "$(ratio "$(least "${w[@]}")" "$(least "${o[@]}")")"
  done
  echo "(+sha256: split -b or cat, then sha256sum of what they wrote, then sync)"
else
  echo "checksums: this quorvel-cli writes no checksum file or has no --no-checksum; nothing to compare"
fi

# Copy-on-write: on XFS with reflink, pieces on block borders share the big
# file's blocks. Time, new space (df) and the joined file's extents, ours
# against split -b and cat (each then sync).
cow_case() {
  if [ "$(id -u)" != 0 ] || ! command -v mkfs.xfs > /dev/null; then
    echo "copy-on-write: skipped (needs root and mkfs.xfs from xfsprogs to make XFS on a loop file)"
    return
  fi
  mkdir xfs
  # The big file, both sets of pieces and both joined files, when the pieces
  # do not start on block borders and nothing is shared.
  truncate -s $((size_mib * 6 + 512))M xfs.img
  if ! mkfs.xfs -q -m reflink=1 xfs.img || ! mount -o loop xfs.img xfs; then
    echo "copy-on-write: skipped (could not make and mount XFS with reflink on a loop file)"
    return
  fi
  trap 'umount "$work/xfs" 2> /dev/null; rm -rf "$work"' EXIT
  cp --reflink=never big xfs/big && mkdir xfs/ours xfs/theirs && sync
  used() { df -B1 --output=used "$work/xfs" | tail -1; }
  extents() { filefrag "$1" 2> /dev/null | awk '{print $2}'; }
  cow() {  # case, then the command
    local before after t
    before=$(used); t=$(seconds "${@:2}"); after=$(used)
    printf '%-22s %9s %12s\n' "$1" "$t" "$(( (after - before) / 1048576 )) MiB"
  }
  printf '\n%-22s %9s %12s\n' "copy-on-write (XFS)" seconds "new space"
  (cd xfs
   cow "quorvel split" "$cli" split big --size "$piece" --into ours "${copy_only[@]}"
   cow "split -b, sync" gnu_split_sync
   cow "quorvel join" "$cli" join ours/big.Quorved_1 --to joined "${copy_only[@]}"
   cow "cat, sync" cat_join_sync
   cmp -s big joined || { echo "the joined file on XFS differs from the original" >&2; exit 1; }
   echo "extents of the joined file: $(extents joined) (cat's: $(extents catted))")
  umount xfs
  trap 'rm -rf "$work"' EXIT
}
cow_case

hash_speed="$(dirname "$cli")/quorvel-hash-speed"
if [ -x "$hash_speed" ]; then
  echo "hashing the test file from the page cache:"
  "$hash_speed" big 65536 "$piece"
else
  echo "no $hash_speed: the hashing alone is not measured (cmake --build build --target quorvel-hash-speed)"
fi
