#!/usr/bin/env bash
# Recovery files' cost: for each piece size, a split without recovery files
# against split --recovery K for K = 1 and K = 4, our recovery files alone
# against par2 create of the same recovery data (same slice size and slice
# count; the whole split also against par2 create followed by sync), and a join that rebuilds one piece against a plain join.
#   bench/recovery.sh [SIZE_MIB] [PIECE_BYTES...]   defaults: 1024 1457664 104857600
# Needs build/quorvel-cli and build/quorvel-recovery-bench; par2 for the
# comparison. TMPDIR names the folder for the test file; each figure is the
# median of RUNS runs (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-1024}
shift || true
pieces=("$@")
[ ${#pieces[@]} -gt 0 ] || pieces=(1457664 104857600)
cli=$(realpath build/quorvel-cli)
tool=$(realpath build/quorvel-recovery-bench)
[ -x "$cli" ] && [ -x "$tool" ] || { echo "build quorvel-cli and quorvel-recovery-bench first" >&2; exit 2; }

. bench/common.sh
clean() { rm -f big.Quorved_* big.*par2 big.rebuilt_* joined; }
# The median of RUNS (default 3) timings of a command, each after PREPARE:
#   median PREPARE COMMAND...
runs=${RUNS:-3}
median() {
  local prepare=$1 times=()
  shift
  for ((i = 0; i < runs; i++)); do
    $prepare
    times+=("$(seconds "$@")")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{t[NR] = $1} END {print t[int((NR + 1) / 2)]}'
}
none() { :; }
nopar2() { rm -f big.*par2; }
nojoined() { rm -f joined; }

echo "== parts, on data in the cache (one thread each)"
"$tool" rates
for piece in "${pieces[@]}"; do
  echo "== pieces of $piece bytes"
  plain=$(median clean "$cli" split big --size "$piece")
  echo "split with checksums, no recovery files: ${plain} s"
  for k in 1 4; do
    split=$(median clean "$cli" split big --size "$piece" --recovery "$k")
    rm -f big.*par2
    plan=$("$tool" create big "$piece" "$k" | head -1)
    ours=$(median nopar2 "$tool" create big "$piece" "$k")
    slice=$(echo "$plan" | sed -E 's/slice ([0-9]+) bytes.*/\1/')
    count=$(echo "$plan" | sed -E 's/.* ([0-9]+) recovery slices.*/\1/')
    files=$(echo "$plan" | sed -E 's/.*slices, ([0-9]+) files.*/\1/')
    echo "K=$k: $plan"
    echo "  split --recovery $k ${split} s = $(ratio "$split" "$plain")x the plain split; the recovery files alone ${ours} s"
    if command -v par2 > /dev/null; then
      mkdir -p theirs && ln -f big theirs/big
      theirs=$(cd theirs && median "rm -f big.par2 big.vol*" par2 create -q -s"$slice" -c"$count" -n$((files - 1)) -u big.par2 big)
      echo "  par2 create of the same recovery data ${theirs} s: ours is $(ratio "$theirs" "$ours")x as fast"
      # Ours is on the disk when it ends: the whole split against par2 that
      # also ends with its files on the disk.
      durable=$(cd theirs && median "rm -f big.par2 big.vol*" sh -c \
        "par2 create -q -s$slice -c$count -n$((files - 1)) -u big.par2 big && sync")
      echo "  par2 create + sync ${durable} s: split --recovery $k is $(ratio "$split" "$durable")x that"
      rm -rf theirs
    fi
  done
  join=$(median nojoined "$cli" join big.Quorved_1 --to joined)
  mv big.Quorved_2 kept
  rebuild=$(median nojoined "$cli" join big.Quorved_1 --to joined)
  mv kept big.Quorved_2
  echo "plain join ${join} s; a join that rebuilds piece 2 ${rebuild} s = $(ratio "$rebuild" "$join")x"
done
