#!/usr/bin/env bash
# transfer_bench.exe under Wine, each mode in turn, ROUNDS rounds, the page cache written out
# and emptied before every run (root), the best time of each mode kept: the shell's copy
# (or move) of the whole list against the program's copy without and with the read-back.
#
#   bench/wine_transfer.sh BUILD_WIN_DIR FROM TO [--move]
set -euo pipefail
win=${1:?usage: wine_transfer.sh BUILD_WIN_DIR FROM TO [--move]}
from=$2
to=$3
shift 3
rounds=${ROUNDS:-3}
modes=${MODES:-plain-copy unverified verified}
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$win/wineprefix}
winpath() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }
declare -A best
for round in $(seq "$rounds"); do
  for mode in $modes; do
    rm -rf "$to/bench-$mode"
    sync
    [ "$(id -u)" -eq 0 ] && echo 3 > /proc/sys/vm/drop_caches
    line=$("$here/scripts/wine-exec" "${BENCH_EXE:-$win/bin/transfer_bench.exe}" --from "$(winpath "$from")" --to "$(winpath "$to")" \
      --modes "$mode" --repeat 1 "$@" | grep "round 1" || true)
    s=$(echo "$line" | awk '{print $4}')
    [ -n "$s" ] || { echo "$mode failed"; exit 1; }
    echo "    round $round  $mode  $s s"
    if [ -z "${best[$mode]:-}" ] || awk -v a="$s" -v b="${best[$mode]}" 'BEGIN{exit !(a<b)}'; then best[$mode]=$s; fi
  done
done
base=${best[plain-copy]:-}
for mode in $modes; do
  ratio=""
  [ -n "$base" ] && [ "$mode" != plain-copy ] && ratio=$(awk -v a="${best[$mode]}" -v b="$base" 'BEGIN{printf "  %.2fx plain", a/b}')
  printf "  %-12s %7.2f s%s\n" "$mode" "${best[$mode]}" "$ratio"
done
