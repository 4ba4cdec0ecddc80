#!/usr/bin/env bash
# The thumbnail view against the details view, side by side in one run (root only):
#  - a "card": COUNT photos (copies of the corpus's JPEGs, padded to SIZE_KB) on an ext4 image
#    on a loop device held to 200 read requests a second by a cgroup v1 blkio throttle, caches
#    dropped before each pass: thumbnail_bench reads the dates alone, the dates with the
#    thumbnails from the same read, and (as before) the thumbnails from a second read, natively
#    and (with WIC decoding the pictures) under Wine; the loop device's read count gives the
#    requests;
#  - a fast disk, warm: the same folder's dates against its thumbnails decoded, under Wine
#    (best of REPEAT);
#  - the window under Wine on the card, in the thumbnail view, caches dropped: when the first
#    screenful's pictures are all in after its rows, then paging down through the folder, the
#    longest the window took to answer and the slowest page's pictures (window_bench scroll);
#  - memory: the window under Wine showing FAST_COUNT photos (their dates all read) in the
#    details view and in the thumbnail view, its peak resident size (window_bench, bench/win).
#
#   bench/thumbnail_card.sh [BUILD] [COUNT] [FAST_COUNT] [SIZE_KB] [WORK_DIR]
#
# BUILD is a build folder in scripts/build's layout (native/bin, win/bin); default build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
count=${2:-2000}
fast_count=${3:-20000}
size_kb=${4:-1024}
work=${5:-/var/tmp/tessarine-thumbnail-bench}
repeat=${REPEAT:-3}
corpus=${CORPUS:-$root/../shared/corpus/jpeg}
[ "$(id -u)" -eq 0 ] || { echo "needs root (loop device, cgroup, dropping caches)"; exit 1; }
[ -d "$corpus" ] || { echo "no photos at $corpus (set CORPUS)"; exit 1; }
native=$build/native/bin/thumbnail_bench
wine_bench=$build/win/bin/thumbnail_bench.exe
probe=$build/win/bin/window_bench.exe

mkdir -p "$work/card"
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all LANG=ja_JP.UTF-8
cg=/sys/fs/cgroup/blkio/tessarine-thumbnail-bench
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  echo $$ > /sys/fs/cgroup/blkio/cgroup.procs 2>/dev/null || true
  umount "$work/card" 2>/dev/null || true
  [ -n "${loop:-}" ] && losetup -d "$loop" 2>/dev/null || true
  [ -d "$cg" ] && rmdir "$cg" 2>/dev/null || true
  rm -f "$work/card.img"
}
trap cleanup EXIT

# Photos: corpus JPEGs in turn, each padded to SIZE_KB (0: as they are) with bytes that stand
# for the image data.
make_photos() {
  python3 - "$corpus" "$1" "$2" "$3" <<'EOF'
import os, sys, random
src, dst, count, size = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]) * 1024
photos = sorted(f for f in os.listdir(src) if f.lower().endswith(('.jpg', '.jpeg')))
# As a camera's card: photos that store their thumbnail (the list, when exiftool made one).
stored = os.environ.get('STORED_LIST')
if stored and os.path.exists(stored):
    keep = set(l.strip() for l in open(stored))
    photos = [p for p in photos if p in keep] or photos
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

if command -v exiftool >/dev/null; then
  export STORED_LIST=$work/stored.txt
  exiftool -q -if '$ThumbnailImage' -p '$FileName' "$corpus" > "$STORED_LIST" 2>/dev/null || true
fi
image_mb=$(( count * (size_kb + 64) / 1024 * 12 / 10 + 64 ))
truncate -s "${image_mb}M" "$work/card.img"
mkfs.ext4 -q -F "$work/card.img"
loop=$(losetup --find --show "$work/card.img")
mount "$loop" "$work/card"
make_photos "$work/card/DCIM" "$count" "$size_kb"
[ -d "$work/warm/DCIM" ] && [ "$(ls "$work/warm/DCIM" | wc -l)" -eq "$count" ] || make_photos "$work/warm/DCIM" "$count" 0
[ -d "$work/fast/DCIM" ] && [ "$(ls "$work/fast/DCIM" | wc -l)" -eq "$fast_count" ] || make_photos "$work/fast/DCIM" "$fast_count" 0
sync

mkdir -p "$cg"
echo "$(cat /sys/block/"$(basename "$loop")"/dev) 200" > "$cg/blkio.throttle.read_iops_device"
reads() { awk '{print $1}' /sys/block/"$(basename "$loop")"/stat; }
in_cg() { ( echo $BASHPID > "$cg/cgroup.procs"; exec "$@" ); }
drop() { sync; echo 3 > /proc/sys/vm/drop_caches; }
winpath() { echo "Z:${1//\//\\}"; }

for n in $(seq 140 199); do [ -e /tmp/.X$n-lock ] || { display=$n; break; }; done
Xvfb ":$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
wineserver -k 2>/dev/null || true
wineboot -i >/dev/null 2>&1 || true
wineserver -w
in_cg wineserver -p
in_cg wine cmd /c exit >/dev/null 2>&1

declare -A R
# card KIND MODE [ARGS]: one cold pass on the card; its requests and the bench's line
card() {
  local kind=$1 mode=$2
  shift 2
  drop
  local r0 line
  r0=$(reads)
  if [ "$kind" = native ]; then
    line=$(in_cg "$native" "$work/card/DCIM" "$mode" "$@")
  else
    line=$(in_cg timeout 900 wine "$wine_bench" "$(winpath "$work/card/DCIM")" "$mode" "$@" 2>>"$work/wine.log" | tr -d '\r')
  fi
  R[$kind,$mode,requests]=$(( $(reads) - r0 ))
  read -r _ R[$kind,$mode,time] _ R[$kind,$mode,pictures] _ <<<"$line"
  echo "card $kind $mode $*: ${R[$kind,$mode,requests]} requests, ${R[$kind,$mode,time]} s, ${R[$kind,$mode,pictures]} pictures"
}
# warm MODE [ARGS]: best of REPEAT under Wine on the disk
warm() {
  local mode=$1 best=999 line t
  shift
  for _ in $(seq "$repeat"); do
    line=$(timeout 900 wine "$wine_bench" "$(winpath "$work/warm/DCIM")" "$mode" "$@" 2>>"$work/wine.log" | tr -d '\r')
    read -r _ t _ R[warm,$mode,pictures] _ <<<"$line"
    best=$(echo "if ($t < $best) $t else $best" | bc)
  done
  R[warm,$mode,time]=$best
  echo "warm $mode $*: $best s"
}
# window VIEW: the window shows the fast folder's FAST_COUNT photos in VIEW (0 details,
# 1 thumbnails); its peak resident size once every date is in
window() {
  local view=$1
  wine reg add 'HKCU\Software\Quenfold\Tessarine' /v SelectFolder /d "$(winpath "$work/fast")" /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Quenfold\Tessarine\MainWindow' /v FileListView /t REG_DWORD /d "$view" /f >/dev/null 2>&1
  wine "$build/win/bin/tessarine.exe" >/dev/null 2>&1 &
  local app=$!
  wine "$probe" wait fast
  sleep 1
  local pid=""
  for p in $(pgrep -f 'tessarine\.exe'); do
    grep -qz "WINEPREFIX=$WINEPREFIX" /proc/"$p"/environ 2>/dev/null && pid=$p
  done
  local line
  line=$(timeout "${WINDOW_TIMEOUT:-600}" wine "$probe" measure DCIM "$fast_count" || echo "no answer within ${WINDOW_TIMEOUT:-600} s")
  sleep 2  # the pictures of the rows in view
  R[window,$view,rss]=$(awk '/VmHWM/{print $2}' /proc/"$pid"/status 2>/dev/null || echo 0)
  R[window,$view,line]=$line
  echo "window view $view: ${R[window,$view,rss]} KiB peak ($line)"
  wine "$probe" close || kill "$pid" 2>/dev/null || true
  wait "$app" || true
}

# card_window: the window opened on the card in the thumbnail view, caches dropped once its
# tree is up; window_bench selects DCIM and pages through it
card_window() {
  wine reg add 'HKCU\Software\Quenfold\Tessarine' /v SelectFolder /d "$(winpath "$work/card")" /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Quenfold\Tessarine\MainWindow' /v FileListView /t REG_DWORD /d 1 /f >/dev/null 2>&1
  in_cg wine "$build/win/bin/tessarine.exe" >/dev/null 2>&1 &
  local app=$!
  wine "$probe" wait card
  drop
  # 682 picture slots: the view's at 96 DPI, Xvfb's
  R[scroll]=$(timeout 900 wine "$probe" scroll DCIM "$count" 682 | tr -d '\r' || echo "no answer")
  echo "card window, thumbnails: ${R[scroll]}"
  wine "$probe" close || true
  wait "$app" || true
}

for mode in dates thumbnails separate; do card native "$mode"; done
card wine dates
card wine thumbnails --decode
card wine separate --decode
warm dates
warm thumbnails --decode
if [ "${WINDOW:-1}" = 1 ]; then
  card_window
  window 0
  window 1
fi

per() { echo "scale=2; $1 / $count" | bc; }
ratio() { echo "scale=2; $1 / $2" | bc; }
echo
echo "slow card, $count photos of $size_kb KiB, 200 requests/s, caches dropped"
printf "  %-44s %14s %10s %9s\n" "" "requests/photo" "time (s)" "pictures"
for kind in native wine; do
  for mode in dates thumbnails separate; do
    label="$kind: $mode"
    [ "$mode" = thumbnails ] && label="$kind: dates + thumbnails, one read"
    [ "$mode" = separate ] && label="$kind: dates + thumbnails, read again"
    [ "$kind" = wine ] && [ "$mode" != dates ] && label="$label, decoded"
    printf "  %-44s %14s %10s %9s\n" "$label" "$(per "${R[$kind,$mode,requests]}")" "${R[$kind,$mode,time]}" "${R[$kind,$mode,pictures]:-}"
  done
  printf "  %-44s %s\n" "$kind: thumbnails/dates time" "$(ratio "${R[$kind,thumbnails,time]}" "${R[$kind,dates,time]}") (read again: $(ratio "${R[$kind,separate,time]}" "${R[$kind,dates,time]}"))"
done
echo "warm folder on the disk, $count photos, under Wine, best of $repeat"
printf "  %-44s %s s\n" "dates" "${R[warm,dates,time]}"
printf "  %-44s %s s (%s pictures) -> %sx\n" "dates + thumbnails decoded" "${R[warm,thumbnails,time]}" \
  "${R[warm,thumbnails,pictures]}" "$(ratio "${R[warm,thumbnails,time]}" "${R[warm,dates,time]}")"
echo "window under Wine on the card, thumbnail view, caches dropped (s; pages: PageDown every 0.25 s)"
echo "  ${R[scroll]:-}"
echo "window under Wine, $fast_count photos, every date read"
printf "  %-44s %s KiB (%s)\n" "details: peak RSS" "${R[window,0,rss]}" "${R[window,0,line]}"
printf "  %-44s %s KiB (%s)\n" "thumbnails: peak RSS" "${R[window,1,rss]}" "${R[window,1,line]}"
printf "  %-44s %s MiB\n" "thumbnails - details" "$(echo "scale=1; (${R[window,1,rss]} - ${R[window,0,rss]}) / 1024" | bc)"
