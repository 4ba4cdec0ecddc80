#!/usr/bin/env bash
# An import from a slow card under Wine (root only): a "card" (an ext4 image on a loop
# device) held to 200 reads a second by a cgroup v1 blkio throttle, photos with dates on it,
# copied to a disk folder by `cp -r`, by the shell's one copy of the list (as the rename run
# once did), and by `tessarine-cli plan --run` (the verified copy, as 実行 does). Caches are
# dropped before every run; the card's requests of each run are counted
# (blkio.throttle.io_serviced).
#
#   bench/slow_card_wine.sh BUILD_NATIVE_DIR BUILD_WIN_DIR [COUNT] [SIZE_KB] [WORK_DIR]
set -euo pipefail
native=${1:?usage: slow_card_wine.sh BUILD_NATIVE_DIR BUILD_WIN_DIR [COUNT] [SIZE_KB] [WORK_DIR]}
win=${2:?}
count=${3:-2000}
size_kb=${4:-256}
work=${5:-/var/tmp/tessarine-card}
rounds=${ROUNDS:-2}
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$win/wineprefix}
[ "$(id -u)" -eq 0 ] || { echo "needs root (loop device, cgroup)"; exit 1; }

mkdir -p "$work/card" "$work/disk"
image_mb=$(( count * size_kb / 1024 * 12 / 10 + 64 ))
cg=/sys/fs/cgroup/blkio/tessarine-card-$$
cleanup() {
  # Wine's server outlives the runs: everything started here leaves the throttled group.
  if [ -d "$cg" ]; then
    for p in $(cat "$cg/cgroup.procs"); do echo "$p" > /sys/fs/cgroup/blkio/cgroup.procs 2>/dev/null || true; done
    rmdir "$cg" 2>/dev/null || true
  fi
  umount "$work/card" 2>/dev/null || true
  [ -n "${loop:-}" ] && losetup -d "$loop" 2>/dev/null || true
}
trap cleanup EXIT

truncate -s "${image_mb}M" "$work/card.img"
mkfs.ext4 -q -F "$work/card.img"
loop=$(losetup --find --show "$work/card.img")
mount "$loop" "$work/card"
"$native/bin/transfer_bench" --make "$work/card/DCIM" --count "$count" --size-kb "$size_kb"
sync

mkdir -p "$cg"
majmin=$(lsblk -no MAJ:MIN "$loop" | tr -d ' ')
echo "$majmin 200" > "$cg/blkio.throttle.read_iops_device"
echo $$ > "$cg/cgroup.procs"
reads() { awk -v d="$majmin" '$1 == d && $2 == "Read" {print $3}' "$cg/blkio.throttle.io_serviced"; }
winpath() { echo "Z:$(realpath -m "$1" | tr / '\\')"; }

# Starts Wine (and its server) once, inside the cgroup, before anything is timed.
"$here/scripts/wine-exec" cmd /c exit >/dev/null 2>&1 || true

run() {  # label, command...
  local label=$1
  shift
  rm -rf "$work/disk/out"
  mkdir -p "$work/disk/out"
  sync
  echo 3 > /proc/sys/vm/drop_caches
  # Wine's own files back in the cache (they are not on the card), so that its start is
  # what a run pays for it.
  "$here/scripts/wine-exec" cmd /c exit >/dev/null 2>&1 || true
  local before start end
  before=$(reads)
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$work/err.txt" || { echo "$label failed:"; cat "$work/err.txt"; }
  end=$(date +%s.%N)
  local files
  files=$(find "$work/disk/out" -type f | wc -l)
  printf "  %-34s %7.2f s  %6d reads of the card  %d files\n" "$label" "$(echo "$end - $start" | bc)" \
    "$(( $(reads) - before ))" "$files"
}

card=$(winpath "$work/card/DCIM")
out=$(winpath "$work/disk/out")
echo "== $count photos of $size_kb KB, slow card (200 reads/s) to disk, caches dropped before each run"
for round in $(seq "$rounds"); do
  run "Wine alone (start and end)" "$here/scripts/wine-exec" cmd /c exit
  run "cp -r" cp -r "$work/card/DCIM" "$work/disk/out/DCIM"
  run "Wine: shell copy (SHFileOperationW)" "$here/scripts/wine-exec" "$win/bin/transfer_bench.exe" \
    --from "$card" --to "$out" --modes plain-copy --repeat 1
  run "Wine: plan, no --run (dates only)" "$here/scripts/wine-exec" "$win/bin/tessarine-cli.exe" plan \
    --folder "$out\\@年4@月2@日2" --name "@file" --action copy "$card"
  run "Wine: plan --run (verified copy)" "$here/scripts/wine-exec" "$win/bin/tessarine-cli.exe" plan \
    --folder "$out\\@年4@月2@日2" --name "@file" --action copy --run "$card"
done
rm -rf "$work/disk" "$work/card.img"
