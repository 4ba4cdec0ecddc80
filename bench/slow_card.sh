#!/usr/bin/env bash
# Runs transfer_bench as a photographer's import meets it (root only): a "card" (an ext4
# image on a loop device) held to 200 reads a second by a cgroup v1 blkio throttle, a disk
# folder, and a tmpfs as another volume. Caches are dropped before every timed run.
#
#   bench/slow_card.sh BUILD_BIN_DIR [COUNT] [SIZE_KB] [WORK_DIR]
set -euo pipefail
bin=${1:?usage: slow_card.sh BUILD_BIN_DIR [COUNT] [SIZE_KB] [WORK_DIR]}
count=${2:-2000}
size_kb=${3:-1024}
work=${4:-/var/tmp/tessarine-bench}
bench="$bin/transfer_bench"
repeat=${REPEAT:-3}
[ "$(id -u)" -eq 0 ] || { echo "needs root (loop device, cgroup, tmpfs)"; exit 1; }

mkdir -p "$work/card" "$work/disk" "$work/tmpfs"
image_mb=$(( count * size_kb / 1024 * 12 / 10 + 64 ))
cleanup() {
  umount "$work/card" 2>/dev/null || true
  umount "$work/tmpfs" 2>/dev/null || true
  [ -n "${loop:-}" ] && losetup -d "$loop" 2>/dev/null || true
  [ -d "${cg:-}" ] && rmdir "$cg" 2>/dev/null || true
}
trap cleanup EXIT

truncate -s "${image_mb}M" "$work/card.img"
mkfs.ext4 -q -F "$work/card.img"
loop=$(losetup --find --show "$work/card.img")
mount "$loop" "$work/card"
mount -t tmpfs -o size=$(( image_mb * 3 ))m tessarine-bench "$work/tmpfs"

"$bench" --make "$work/card/DCIM" --count "$count" --size-kb "$size_kb"
"$bench" --make "$work/disk/DCIM" --count "$count" --size-kb "$size_kb" >/dev/null
sync

# The card: 200 reads a second, whatever their size, as a card reader serves them.
cg=/sys/fs/cgroup/blkio/tessarine-bench
mkdir -p "$cg"
majmin=$(lsblk -no MAJ:MIN "$loop" | tr -d ' ')
echo "$majmin 200" > "$cg/blkio.throttle.read_iops_device"
echo $$ > "$cg/cgroup.procs"

echo "== slow card to disk"
"$bench" --from "$work/card/DCIM" --to "$work/disk" --drop-caches --repeat "$repeat"
echo "== disk to disk"
"$bench" --from "$work/disk/DCIM" --to "$work/disk" --drop-caches --repeat "$repeat"
echo "== disk to another volume (tmpfs)"
"$bench" --from "$work/disk/DCIM" --to "$work/tmpfs" --drop-caches --repeat "$repeat"
echo "== move, disk to another volume (tmpfs)"
"$bench" --from "$work/disk/DCIM" --to "$work/tmpfs" --move --drop-caches --repeat "$repeat"

echo $$ > /sys/fs/cgroup/blkio/cgroup.procs
rm -rf "$work/disk" "$work/card.img"
