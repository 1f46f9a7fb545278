# What the bench scripts share: a temporary folder holding a test file of
# $size_mib MiB of random bytes, warm in the page cache, and the timing.
#   . bench/common.sh   (after setting size_mib; the current folder becomes the temporary one)
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
reporting=/sys/module/page_reporting/parameters/min_free_ms
if [ "$(cat "$reporting" 2> /dev/null)" = 0 ]; then
  echo "note: this machine hands freed memory back to its host at once, so figures swing with what was freed"
  echo "      just before (README, Speed comparison; as root: echo 10000 > $reporting, and 0 after)"
fi
echo "making a ${size_mib} MiB test file in $work ..."
head -c $((size_mib * 1048576)) /dev/urandom > big
cat big > /dev/null

# Seconds taken by a command; dirty pages of earlier runs are written first,
# outside the timing.
seconds() {
  sync
  local t0 t1
  t0=$(date +%s.%N)
  "$@" > /dev/null
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.4f", b - a}'
  [ -z "${BENCH_VERBOSE:-}" ] || awk -v a="$t0" -v b="$t1" -v w="$*" 'BEGIN {printf "  %.3f %s\n", b - a, w}' >&2
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
