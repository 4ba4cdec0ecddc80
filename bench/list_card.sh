#!/usr/bin/env bash
# Browsing photos as a photographer meets it, two builds side by side in one run (root only):
#  - a "card": COUNT photos (copies of the corpus's JPEGs, padded to SIZE_KB with image-like
#    bytes) on an ext4 image on a loop device, held to 200 read requests a second by a cgroup
#    v1 blkio throttle, caches dropped before each run: the native CLI, the Windows CLI under
#    Wine and the window under Wine read every photo's date; the loop device's read count
#    gives the requests;
#  - a fast disk: FAST_COUNT photos in a folder on the disk, warm (best of REPEAT runs).
# The window is timed from outside by window_bench (bench/win): it chooses the folder in the
# tree and asks the list a question every 10 ms (first rows, all dates, longest answer).
#
#   bench/list_card.sh NEW_BUILD OLD_BUILD [COUNT] [FAST_COUNT] [SIZE_KB] [WORK_DIR]
#
# A BUILD is a build folder with native/bin/tessarine-cli and win/bin/tessarine.exe and
# tessarine-cli.exe (scripts/build's layout); window_bench.exe comes from NEW_BUILD. An old
# build: `git worktree add ../old COMMIT && ../old/scripts/build`.
set -euo pipefail
new=${1:?usage: list_card.sh NEW_BUILD OLD_BUILD [COUNT] [FAST_COUNT] [SIZE_KB] [WORK_DIR]}
old=${2:?usage: list_card.sh NEW_BUILD OLD_BUILD [COUNT] [FAST_COUNT] [SIZE_KB] [WORK_DIR]}
count=${3:-2000}
fast_count=${4:-20000}
size_kb=${5:-1024}
work=${6:-/var/tmp/tessarine-list-bench}
repeat=${REPEAT:-3}
corpus=${CORPUS:-$(cd "$(dirname "$0")/.." && pwd)/../shared/corpus/jpeg}
[ "$(id -u)" -eq 0 ] || { echo "needs root (loop device, cgroup, dropping caches)"; exit 1; }
[ -d "$corpus" ] || { echo "no photos at $corpus (set CORPUS)"; exit 1; }
probe=$new/win/bin/window_bench.exe

mkdir -p "$work/card"
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all LANG=ja_JP.UTF-8
cg=/sys/fs/cgroup/blkio/tessarine-list-bench
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  echo $$ > /sys/fs/cgroup/blkio/cgroup.procs 2>/dev/null || true
  umount "$work/card" 2>/dev/null || true
  [ -n "${loop:-}" ] && losetup -d "$loop" 2>/dev/null || true
  [ -d "$cg" ] && rmdir "$cg" 2>/dev/null || true
}
trap cleanup EXIT

# Photos: corpus JPEGs in turn, each padded to SIZE_KB (0: as they are) with bytes that stand
# for the image data, which the reader must never fetch.
make_photos() {
  python3 - "$corpus" "$1" "$2" "$3" <<'EOF'
import os, sys, random
src, dst, count, size = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]) * 1024
photos = sorted(f for f in os.listdir(src) if f.lower().endswith(('.jpg', '.jpeg')))
os.makedirs(dst, exist_ok=True)
pad = random.Random(42).randbytes(size + 65536)
for i in range(count):
    data = open(os.path.join(src, photos[i % len(photos)]), 'rb').read()
    with open(os.path.join(dst, 'IMG_%05d.JPG' % i), 'wb') as f:
        f.write(data)
        if len(data) < size:
            off = (i * 4099) % 65536
            f.write(pad[off:off + size - len(data)])
EOF
}

image_mb=$(( count * (size_kb + 64) / 1024 * 12 / 10 + 64 ))
truncate -s "${image_mb}M" "$work/card.img"
mkfs.ext4 -q -F "$work/card.img"
loop=$(losetup --find --show "$work/card.img")
mount "$loop" "$work/card"
make_photos "$work/card/DCIM" "$count" "$size_kb"
[ -d "$work/fast/DCIM" ] && [ "$(ls "$work/fast/DCIM" | wc -l)" -eq "$fast_count" ] || {
  rm -rf "$work/fast"
  make_photos "$work/fast/DCIM" "$fast_count" 0
}
sync

mkdir -p "$cg"
echo "$(cat /sys/block/"$(basename "$loop")"/dev) 200" > "$cg/blkio.throttle.read_iops_device"
reads() { awk '{print $1}' /sys/block/"$(basename "$loop")"/stat; }
in_cg() { ( echo $BASHPID > "$cg/cgroup.procs"; exec "$@" ); }
drop() { sync; echo 3 > /proc/sys/vm/drop_caches; }
now() { date +%s.%N; }
secs() { echo "$2 - $1" | bc; }

# A display of our own, and a Wine server started inside the cgroup: its opens and lookups go
# to the card too.
for n in $(seq 140 199); do [ -e /tmp/.X$n-lock ] || { display=$n; break; }; done
Xvfb ":$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
wineserver -k 2>/dev/null || true
wineboot -i >/dev/null 2>&1 || true
wineserver -w
in_cg wineserver -p
in_cg wine cmd /c exit >/dev/null 2>&1
winpath() { echo "Z:${1//\//\\}"; }

declare -A R
# cli BUILD_LABEL KIND FOLDER COLD: seconds (best of REPEAT when warm) and card requests
cli() {
  local label=$1 kind=$2 folder=$3 cold=$4 best=999 requests=0 runs=$repeat
  [ "$cold" = cold ] && runs=1
  local bin=${!label}
  for _ in $(seq "$runs"); do
    [ "$cold" = cold ] && drop
    local r0 t0 t1
    r0=$(reads); t0=$(now)
    if [ "$kind" = native ]; then
      in_cg "$bin/native/bin/tessarine-cli" info "$folder" >"$work/out.txt" 2>/dev/null || true
    else
      # Into a file: on a character device such as /dev/null the C library writes unbuffered.
      in_cg wine "$bin/win/bin/tessarine-cli.exe" info "$(winpath "$folder")" >"$work/out.txt" 2>/dev/null || true
    fi
    t1=$(now)
    requests=$(( $(reads) - r0 ))
    best=$(echo "t=$(secs "$t0" "$t1"); if (t < $best) t else $best" | bc)
  done
  R[$label,$kind,$cold,time]=$best
  R[$label,$kind,$cold,requests]=$requests
}

# window BUILD_LABEL PARENT COUNT COLD: the program shows PARENT, then DCIM is chosen
window() {
  local label=$1 parent=$2 n=$3 cold=$4 runs=$repeat bestAll=999
  [ "$cold" = cold ] && runs=1
  local bin=${!label}
  for _ in $(seq "$runs"); do
    wine reg add 'HKCU\Software\Quenfold\Tessarine' /v SelectFolder /d "$(winpath "$parent")" /f >/dev/null 2>&1
    in_cg wine "$bin/win/bin/tessarine.exe" >/dev/null 2>&1 &
    local app=$!
    wine "$probe" wait "$(basename "$parent")"
    sleep 1
    local pid=""
    for p in $(pgrep -f 'tessarine\.exe'); do
      grep -qz "WINEPREFIX=$WINEPREFIX" /proc/"$p"/environ 2>/dev/null && pid=$p
    done
    [ "$cold" = cold ] && drop
    local r0 line
    r0=$(reads)
    line=$(wine "$probe" measure DCIM "$n")
    local requests=$(( $(reads) - r0 ))
    local rss
    rss=$(awk '/VmHWM/{print $2}' /proc/"$pid"/status 2>/dev/null || echo 0)
    wine "$probe" close
    wait "$app" || true
    read -r _ first _ allrows _ all _ longest _ dated <<<"$line"
    if [ "$(echo "$all < $bestAll" | bc)" = 1 ]; then
      bestAll=$all
      R[$label,window,$cold,time]=$all
      R[$label,window,$cold,first]=$first
      R[$label,window,$cold,allrows]=$allrows
      R[$label,window,$cold,longest]=$longest
      R[$label,window,$cold,requests]=$requests
      R[$label,window,$cold,rss]=$rss
      R[$label,window,$cold,dated]=$dated
    fi
  done
}

for label in old new; do
  cli $label native "$work/card/DCIM" cold
  cli $label wine "$work/card/DCIM" cold
  window $label "$work/card" "$count" cold
  cli $label native "$work/fast/DCIM" warm
  cli $label wine "$work/fast/DCIM" warm
  window $label "$work/fast" "$fast_count" warm
done

per() { echo "scale=2; $1 / $count" | bc; }
echo
echo "slow card, $count photos of $size_kb KiB, 200 requests/s, cold     old            new"
for kind in native wine window; do
  printf "  %-26s requests/photo   %8s       %8s\n" "$kind" "$(per "${R[old,$kind,cold,requests]}")" "$(per "${R[new,$kind,cold,requests]}")"
  printf "  %-26s all dates (s)    %8s       %8s\n" "" "${R[old,$kind,cold,time]}" "${R[new,$kind,cold,time]}"
done
printf "  %-26s first rows (s)   %8s       %8s\n" window "${R[old,window,cold,first]}" "${R[new,window,cold,first]}"
printf "  %-26s all rows (s)     %8s       %8s\n" "" "${R[old,window,cold,allrows]}" "${R[new,window,cold,allrows]}"
printf "  %-26s longest answer   %8s       %8s\n" "" "${R[old,window,cold,longest]}" "${R[new,window,cold,longest]}"
printf "  %-26s new/old all dates: %s\n" "" "$(echo "scale=2; ${R[new,window,cold,time]} / ${R[old,window,cold,time]}" | bc)"
echo "fast disk, $fast_count photos, warm, best of $repeat"
for kind in native wine window; do
  printf "  %-26s all dates (s)    %8s       %8s\n" "$kind" "${R[old,$kind,warm,time]}" "${R[new,$kind,warm,time]}"
done
printf "  %-26s first rows (s)   %8s       %8s\n" window "${R[old,window,warm,first]}" "${R[new,window,warm,first]}"
printf "  %-26s all rows (s)     %8s       %8s\n" "" "${R[old,window,warm,allrows]}" "${R[new,window,warm,allrows]}"
printf "  %-26s longest answer   %8s       %8s\n" "" "${R[old,window,warm,longest]}" "${R[new,window,warm,longest]}"
printf "  %-26s peak RSS (KiB)   %8s       %8s\n" "" "${R[old,window,warm,rss]}" "${R[new,window,warm,rss]}"
printf "  %-26s window/native CLI: %s (old %s)\n" "" \
  "$(echo "scale=1; ${R[new,window,warm,time]} / ${R[new,native,warm,time]}" | bc)" \
  "$(echo "scale=1; ${R[old,window,warm,time]} / ${R[old,native,warm,time]}" | bc)"
printf "  rows with a date: card %s / %s, fast %s / %s (old and new alike: %s)\n" "${R[new,window,cold,dated]}" "$count" \
  "${R[new,window,warm,dated]}" "$fast_count" \
  "$([ "${R[old,window,cold,dated]}" = "${R[new,window,cold,dated]}" ] && [ "${R[old,window,warm,dated]}" = "${R[new,window,warm,dated]}" ] && echo yes || echo NO)"
rm -f "$work/card.img"
