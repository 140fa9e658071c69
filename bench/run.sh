#!/usr/bin/env bash
# Benchmarks exifcheck against the tools a user would pick instead, on
# generated surveys: on a cold page cache (the survey's pages dropped before
# each run, the bytes read from the disk counted), on a warm one (hyperfine),
# through a mount on which every request waits (bench/latency_fs.cpp), and by
# system calls per image and pass. Prints medians, ranges and ratios
# to the floor model (bench/floor.cpp), and the targets. Debian only; run as
# root or with sudo. Not part of CI: it writes about 26 GB and runs about 20
# minutes.
#
#   bench/run.sh                  2,000 frames of ~4 MB, 20,000 frames of ~30 KB,
#                                 2,000 drone-layout frames of ~7 MB
#   N=500 S=8 bench/run.sh        500 frames of ~8 MB (and the small survey)
#   SMALL_N=0 bench/run.sh        skip the small survey
#   COLD=0 bench/run.sh           skip the cold runs (COLD=5: five repetitions)
#   READ_AHEAD="128 512" ...      cold runs under these read-ahead sizes in KiB
#                                 ("current": as found); restored afterwards
#   SRC=/tmp/tree bench/run.sh    build exifcheck from another source tree
#   VARIANTS="k16:-DX=16 k64:-DX=64" ...  also exifcheck built with these cmake
#                                 options, timed as "exifcheck, k16" and so on
#   AHEAD=32 ...                  files ahead of the read-ahead floor
#   SRC_VARIANTS="today:/tmp/old" ...  also exifcheck built from another
#                                 tree (e.g. git archive of an older commit),
#                                 timed as "exifcheck, today"; BASELINE=today
#                                 names the build the others are compared with
#                                 (the first of SRC_VARIANTS unless given)
#   HEADS= EXIFTOOL=0 DETAIL=0 SPLIT=0 ...  a shorter run: no head-size
#                                 builds, no exiftool, no output/no-EXIF/system
#                                 call/memory parts, no split floors
#   LATENCY="2000 500:30000000" LATENCY_RUNS=3 ...  through a FUSE mount on
#                                 which every request waits this many µs, and
#                                 after ":" shares a link of that many bytes a
#                                 second (the default: 2 ms a request; 0.5 ms on
#                                 a 30 MB/s link); LATENCY= skips it
#   LATENCY_SURVEYS="big dji small" ...  the surveys timed through the mount
#   DJI_N=2000 bench/run.sh       the drone-layout survey: frames of ~7 MB laid
#                                 out as a survey drone writes them (DJI_N=0: none)
#   HEAD_FLOORS="16384 24576" ... heads of the head-only floors, read-ahead off
#   ONCE=0 bench/run.sh           skip the opens-per-frame and peak-memory part
#   HUGE_N=0 bench/run.sh         no 100,000-frame survey (peak memory only)
#   THUMB_N=2000 bench/run.sh     also, cold only, 2,000 big frames that end their
#                                 EXIF block with a 10 KB thumbnail (THUMB_KB)
#   WARM=0 bench/run.sh           cold runs only
#   WARM_SURVEYS=thumbs THUMB_N=2000 ...  the thumbnail survey warm, alone
#   SURVEYS_ONLY=1 bench/run.sh   make the surveys and stop
#   COLD=3 WARM=1 HEADS= EXIFTOOL=0 DETAIL=0 SPLIT=0 LATENCY=2000 LATENCY_RUNS=1 \
#     bench/run.sh                a short run of every part
#
# Surveys are kept in bench/data/ and made again only when N or S change.
# Each run's raw results and summary go to build/bench/results/DATE/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

N=${N:-2000}                # frames of the big survey
S=${S:-4}                   # their size in MB
SMALL_N=${SMALL_N:-20000}   # frames of the small survey
SMALL_KB=${SMALL_KB:-30}    # their size in KB
RUNS=${RUNS:-10}            # warm runs of each fast command (exiftool: 2 big, 1 small)
HEADS=${HEADS-"8192 16384 32768 65536"}  # head sizes of the exifcheck variants ("": none)
COLD=${COLD:-3}             # repetitions of each cold run
THUMB_N=${THUMB_N:-0}       # frames of the thumbnail survey (cold only; 2000 as the big one)
THUMB_KB=${THUMB_KB:-10}    # the size of their thumbnails in KB
COLD_SURVEYS=${COLD_SURVEYS:-"big small thumbs dji"}
READ_AHEAD=${READ_AHEAD:-"current 128"}
PAIRED=${PAIRED:-15}        # warm rounds of the floors, exifcheck and exiv2 taken in turn
COLD_WHOLE=${COLD_WHOLE:-0}  # 1: also the whole-read build cold, once (reads all 8 GB)
SRC=${SRC:-$root}
SRC_VARIANTS=${SRC_VARIANTS-}  # NAME:TREE ...: exifcheck from other source trees
BASELINE=${BASELINE:-}      # the build the others are compared with (a variant's NAME)
SURVEYS_ONLY=${SURVEYS_ONLY:-0}  # 1: make the surveys, then stop
VARIANTS=${VARIANTS-}       # more exifcheck builds, NAME:CMAKE_OPTION,... each
AHEAD=${AHEAD:-32}          # files ahead of the read-ahead floor
EXIFTOOL=${EXIFTOOL:-1}     # 0: skip exiftool (a minute)
WARM=${WARM:-1}             # 0: skip the warm runs (cold only)
WARM_SURVEYS=${WARM_SURVEYS:-"big small dji"}  # add thumbs to time it warm too (8 GB more in memory)
DETAIL=${DETAIL:-1}         # 0: skip the output, no-EXIF, system-call and memory parts
SPLIT=${SPLIT:-1}           # 0: skip the 64 KiB and one-pass floors
# Conditions of the latency mount: µs each request waits, and after ":" the
# bytes a second of the link all requests share ("": no latency part).
LATENCY=${LATENCY-"2000 500:30000000"}
LATENCY_RUNS=${LATENCY_RUNS:-3}  # repetitions of each latency run
LATENCY_SURVEYS=${LATENCY_SURVEYS:-"big dji"}
LATENCY_SERIAL=${LATENCY_SERIAL:-0}  # 1: also the read-once floor, one frame at a time
DJI_N=${DJI_N:-2000}        # frames of the drone-layout survey (0: none)
DJI_PER_FLIGHT=${DJI_PER_FLIGHT:-500}
DJI_KEEP=${DJI_KEEP:-262144}  # bytes kept in memory at each end of a drone frame
HEAD_FLOORS=${HEAD_FLOORS:-"16384 24576"}  # heads of the head-only floors with read-ahead off
HUGE_N=${HUGE_N:-100000}    # frames of the huge survey (SMALL_KB each), for peak memory only
ONCE=${ONCE:-1}             # 0: skip the opens-per-frame and peak-memory part

data=$root/bench/data
work=$root/build/bench
res=$work/results/$(date -u +%Y%m%dT%H%M%SZ)
mkdir -p "$data" "$work" "$res"
ln -sfn "$res" "$work/results/latest"

log() { printf 'bench: %s\n' "$*" >&2; }
load() { printf '%s %s\n' "$1" "$(cut -d' ' -f1-3 /proc/loadavg)" >>"$res/loads.txt"; }

# --- tools -----------------------------------------------------------------
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
packages=(imagemagick libimage-exiftool-perl exiv2 hyperfine time strace python3 cmake g++ make
          libgtest-dev rapidjson-dev util-linux fuse3 libfuse3-dev pkg-config)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  log "installing ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi
convert=/usr/bin/convert

# The bench programs first: the surveys are made with one of them.
cmake -S bench -B "$work/tools" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/tools" -j 2 >/dev/null 2>&1 || cmake --build "$work/tools" -j 2
tools=$work/tools

# --- surveys ---------------------------------------------------------------
# One base image of about BYTES bytes: a plasma fractal with noise, 4:3.
# Bytes per pixel fall as the image grows, so the width is corrected once
# after a first try sized from a small calibration image.
make_base() {  # make_base BYTES OUT.jpg
  local bytes=$1 out=$2 opts=(-seed 7 plasma:fractal -attenuate 0.5 +noise Gaussian
                                -type TrueColor -quality 90 -sampling-factor 4:2:0 -strip)
  local width=800 height=600 try
  for try in 1 2 3; do
    "$convert" -size "${width}x${height}" "${opts[@]}" "$out"
    [[ $try == 3 ]] && break
    width=$(python3 -c "import math; print(max(16, int($width * math.sqrt($bytes / $(stat -c %s "$out"))) // 16 * 16))")
    height=$((width * 3 / 4 / 16 * 16))
  done
  log "base image ${width}x${height}, $(stat -c %s "$out") bytes"
}

make_survey() {  # make_survey NAME COUNT BYTES PER_FLIGHT [THUMBNAIL_BYTES]
  local name=$1 count=$2 bytes=$3 per_flight=$4 thumb=${5:-0} dir=$data/$1 made
  made="$count $bytes"
  ((thumb == 0)) || made+=" $thumb last"
  if [[ -f $dir.made && $(cat "$dir.made") == "$made" ]]; then return; fi
  log "generating $name: $count frames of about $bytes bytes, thumbnails of $thumb bytes"
  rm -rf "$dir"
  mkdir -p "$dir"
  make_base "$bytes" "$data/$name-base.jpg"
  # Two halves, so that the time of half the survey shows whether time is
  # linear in the number of files.
  local half=$((count / 2))
  "$tools/write_bench_survey" "$data/$name-base.jpg" "$dir/half1" "$half" "$per_flight" 0 "$thumb"
  "$tools/write_bench_survey" "$data/$name-base.jpg" "$dir/half2" "$((count - half))" "$per_flight" \
    "$half" "$thumb"
  # Written back, so that no dirty page escapes the cold runs' eviction.
  sync
  echo "$made" >"$dir.made"
}

surveys=(big)
make_survey big "$N" "$((S * 1000000))" 200
if ((SMALL_N > 0)); then
  surveys+=(small)
  make_survey small "$SMALL_N" "$((SMALL_KB * 1000))" 500
fi
# Camera frames carry a thumbnail whose end marker lies in the head; this
# survey is timed cold only, so that the warm runs need not hold it in memory.
checked=("${surveys[@]}")
if ((THUMB_N > 0)); then
  checked+=(thumbs)
  make_survey thumbs "$THUMB_N" "$((S * 1000000))" 200 "$((THUMB_KB * 1000))"
fi
# Only exifcheck's peak memory is taken on it: what holding the list of
# 100,000 frames and what is read of them costs.
if ((HUGE_N > 0)); then
  make_survey huge "$HUGE_N" "$((SMALL_KB * 1000))" 500
fi

# Frames as a survey drone writes them (bench/write_drone_survey.cpp): 20 MP,
# about 7 MB, an EXIF block of about 21.6 KB that ends with its thumbnail,
# then an XMP packet that runs past 24 KiB. Made once, from one template.
make_dji_survey() {  # make_dji_survey COUNT PER_FLIGHT
  local dir=$data/dji made="$1 $2 drone layout 1" q
  if [[ -f $dir.made && $(cat "$dir.made") == "$made" ]]; then return; fi
  log "generating dji: $1 frames laid out as a survey drone writes them"
  rm -rf "$dir"
  "$convert" -size 5472x3648 -seed 7 plasma:fractal -attenuate 0.5 +noise Gaussian \
    -type TrueColor -quality 91 -sampling-factor 4:2:0 -strip "$data/dji-base.jpg"
  # The largest thumbnail within 20 KB, so that the EXIF block ends near 21.6 KB.
  for q in 95 94 93 92 91 90 88 85 80 75 70; do
    "$convert" "$data/dji-base.jpg" -thumbnail 320x213 -quality "$q" -strip "$data/dji-thumb.jpg"
    (($(stat -c %s "$data/dji-thumb.jpg") <= 20480)) && break
  done
  "$tools/write_drone_survey" "$data/dji-base.jpg" "$data/dji-thumb.jpg" "$dir" "$1" "$2" \
    >"$data/dji.layout"
  log "$(cat "$data/dji.layout"), base $(stat -c %s "$data/dji-base.jpg") bytes"
  sync
  echo "$made" >"$dir.made"
}
if ((DJI_N > 0)); then
  checked+=(dji)
  make_dji_survey "$DJI_N" "$DJI_PER_FLIGHT"
fi

if [[ $SURVEYS_ONLY == 1 ]]; then log "surveys made in $data"; exit 0; fi

log "building exifcheck (default, whole reads, heads of $HEADS bytes) from $SRC and the bench programs"
build() {  # build DIR [cmake options]: prints the head size the build uses
  local dir=$1 tree=${TREE:-$SRC}
  shift
  # A build folder made from another source tree cannot be configured again.
  if [[ -f $dir/CMakeCache.txt ]] &&
     ! grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=$(realpath "$tree")" "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  cmake -S "$tree" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DEXIFCHECK_TESTS=OFF "$@" >/dev/null
  cmake --build "$dir" -j 2 --target exifcheck >/dev/null
  sed -n 's/^EXIFCHECK_HEAD_BYTES:STRING=//p' "$dir/CMakeCache.txt"
}
# -U: a build folder keeps a cached head size and read-ahead; the default
# build must take the ones the source gives.
defaults=(-UEXIFCHECK_HEAD_BYTES -UEXIFCHECK_READ_AHEAD)
default_head=$(build "$work/default" "${defaults[@]}" -DEXIFCHECK_PLAIN_READ=OFF)
build "$work/whole" "${defaults[@]}" -DEXIFCHECK_PLAIN_READ=ON >/dev/null
if [[ -z $default_head ]]; then
  log "$SRC has no EXIFCHECK_HEAD_BYTES option: no head-size builds"
  default_head=16384
  HEADS=
fi
exifcheck=$work/default/exifcheck
whole=$work/whole/exifcheck
declare -A variant  # head size -> binary
for h in $HEADS; do
  if [[ $h == "$default_head" ]]; then
    variant[$h]=$exifcheck
  else
    got=$(build "$work/head-$h" -DEXIFCHECK_HEAD_BYTES="$h" -DEXIFCHECK_PLAIN_READ=OFF)
    [[ $got == "$h" ]] || { log "head-$h builds with $got"; exit 1; }
    variant[$h]=$work/head-$h/exifcheck
  fi
done
declare -A extra  # variant name -> binary
extra_names=()
for v in $VARIANTS; do
  name=${v%%:*}
  opts=()
  IFS=, read -ra opts <<<"${v#*:}"
  build "$work/var-$name" "${defaults[@]}" -DEXIFCHECK_PLAIN_READ=OFF "${opts[@]}" >/dev/null
  extra[$name]=$work/var-$name/exifcheck
  extra_names+=("$name")
done
# Builds from other trees, such as the commit before a change, timed in the
# same rounds as the tree under test.
declare -A tree_of  # variant name -> source tree
for v in $SRC_VARIANTS; do
  name=${v%%:*}
  tree_of[$name]=${v#*:}
  [[ -f ${tree_of[$name]}/CMakeLists.txt ]] || { log "$v: no source tree"; exit 1; }
  TREE=${tree_of[$name]} build "$work/src-$name" "${defaults[@]}" -DEXIFCHECK_PLAIN_READ=OFF >/dev/null
  extra[$name]=$work/src-$name/exifcheck
  extra_names+=("$name")
done
if [[ -z $BASELINE && -n $SRC_VARIANTS ]]; then BASELINE=${SRC_VARIANTS%%:*}; fi
commit_of() {  # a tree unpacked by git archive has no history: its .commit names it
  cat "$1/.commit" 2>/dev/null || git -C "$1" rev-parse --short HEAD 2>/dev/null || true
}
{
  echo "date: $(date -u '+%a %b %-d %H:%M UTC %Y')"
  echo "source: $SRC $(commit_of "$SRC")" \
       "$(git -C "$SRC" status --porcelain 2>/dev/null | grep -q . && echo '(with uncommitted changes)')"
  echo "kernel: $(uname -r), $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GiB"
  echo "default head: $default_head"
  for name in "${extra_names[@]}"; do
    if [[ -n ${tree_of[$name]:-} ]]; then
      echo "variant $name: source ${tree_of[$name]} $(commit_of "${tree_of[$name]}")"
    else
      echo "variant $name: $(grep -o 'EXIFCHECK_[A-Z_]*:[A-Z]*=[^ ]*' "$work/var-$name/CMakeCache.txt" | tr '\n' ' ')"
    fi
  done
  [[ -z $BASELINE ]] || echo "baseline: exifcheck, $BASELINE"
  [[ ! -f $data/dji.layout ]] || echo "dji $(cat "$data/dji.layout")"
} >"$res/machine.txt"

settings() {  # settings NAME FOLDER: a settings file with all four checks on
  cat >"$work/$1.ini" <<EOF
FocalLengthCheck = true
GpsCheck = true
MakerCheck = true
ResolutionCheck = true
imageFolder = $2
outputFolder = $work/out-$1
EOF
  echo "$work/$1.ini"
}

# --- sanity ----------------------------------------------------------------
# Every build must give the same bytes, report and exit status, or its time
# says nothing.
check_run() {  # check_run BINARY SURVEY OUT: stdout to OUT, error.json to OUT.json; sets status
  rm -rf "$work/out-$2"
  set +e
  "$1" "$work/$2.ini" >"$3"; status=$?
  set -e
  if [[ -f $work/out-$2/error.json ]]; then cp "$work/out-$2/error.json" "$3.json"
  else echo "(no error.json)" >"$3.json"; fi
}
declare -A survey_status
for s in "${checked[@]}"; do
  settings "$s" "$data/$s" >/dev/null
  check_run "$exifcheck" "$s" "$work/$s-default.out"
  want=$status
  survey_status[$s]=$status
  # The whole-read build reads every byte (the drone survey's 14 GB too): its
  # answers are the ones every other build must give.
  for b in "$whole" "${variant[@]}" "${extra[@]}"; do
    check_run "$b" "$s" "$work/$s-other.out"
    if [[ $status != "$want" ]] || ! cmp -s "$work/$s-default.out" "$work/$s-other.out" ||
       ! cmp -s "$work/$s-default.out.json" "$work/$s-other.out.json"; then
      log "$b and $exifcheck disagree on $s"; exit 1
    fi
  done
  half=0
  if [[ -d $data/$s/half1 ]]; then
    half_ini=$(settings "$s-half" "$data/$s/half1")
    "$exifcheck" "$half_ini" >"$work/$s-half.out" || true
    half=$(grep -a -m1 '^The number of images: ' "$work/$s-half.out" | tr -dc 0-9)
  fi
  files=$(grep -a -m1 '^The number of images: ' "$work/$s-default.out" | tr -dc 0-9)
  echo "$s $files $half $(du -sb "$data/$s" | cut -f1)" >>"$res/surveys.txt"
  log "$s: $files files; all builds print the same $(wc -l <"$work/$s-default.out") lines and report, exit status $want"
done
# The drone survey has no odd frame: exifcheck must give its all-clear, and
# another reader must find the EXIF and XMP values that were written.
if [[ " ${checked[*]} " == *" dji "* ]]; then
  [[ ${survey_status[dji]} == 0 && $(cat "$work/dji-default.out.json") == "(no error.json)" ]] ||
    { log "exifcheck reports frames of the drone survey (exit status ${survey_status[dji]})"; exit 1; }
  frame=$(find "$data/dji" -name 'DJI_0027.JPG' | head -1)
  exiv2 -q -PEXkv "$frame" >"$res/dji-exiv2.txt" 2>&1 || true
  # Each key with the start of its value.
  for want_line in "Exif.Image.Make DJI" "Exif.Photo.PixelXDimension 5472" \
                   "Exif.Photo.PixelYDimension 3648" "Exif.Photo.FocalLength 88/10" \
                   "Exif.Photo.FocalLengthIn35mmFilm 24" "Exif.Photo.SubSecTimeOriginal [0-9]{3}$" \
                   "Exif.Photo.DateTimeOriginal 2024:05:01 10:0" "Exif.GPSInfo.GPSLatitude 30/1 15/1" \
                   "Exif.GPSInfo.GPSLongitude 120/1 7/1" "Exif.GPSInfo.GPSAltitude 120" \
                   "Exif.Thumbnail.JPEGInterchangeFormatLength [0-9]{5}$" \
                   "Xmp.drone-dji.GimbalPitchDegree -090.00" "Xmp.drone-dji.RtkFlag 50" \
                   "Xmp.drone-dji.AbsoluteAltitude [+]120[.]" "Xmp.drone-dji.FlightXSpeed -" \
                   "Xmp.drone-dji.CalibratedOpticalCenterX 2736.000000" "Xmp.crs.AlreadyApplied False"; do
    grep -Eq "^${want_line%% *} +${want_line#* }" "$res/dji-exiv2.txt" ||
      { log "exiv2 does not read $want_line from $frame (see $res/dji-exiv2.txt)"; exit 1; }
  done
  log "dji: exifcheck gives its all-clear; exiv2 reads $(grep -c '^Exif' "$res/dji-exiv2.txt") EXIF and $(grep -c '^Xmp' "$res/dji-exiv2.txt") XMP values of $frame"
fi
sample=$(find "$data/big/half1" -name 'IMG_000002.JPG' | head -1)
[[ $EXIFTOOL == 1 ]] && log "exiftool reads a frame as: $(exiftool -fast2 -n -s3 -Make -ExifImageWidth -ExifImageHeight \
      -FocalLengthIn35mmFormat -GPSLatitude -GPSLongitude -GPSAltitude "$sample" | tr '\n' ' ')"

exiv2_cmd() {  # the same seven tags, many files per exiv2 call
  echo "find $1 -type f -print0 | xargs -0 -n 5000 exiv2 -q -PEkv -K Exif.Image.Make" \
       "-K Exif.Photo.PixelXDimension -K Exif.Photo.PixelYDimension" \
       "-K Exif.Photo.FocalLengthIn35mmFilm -K Exif.GPSInfo.GPSLatitude" \
       "-K Exif.GPSInfo.GPSLongitude -K Exif.GPSInfo.GPSAltitude"
}
exiftool_cmd="exiftool -fast2 -r -n -csv -Make -ExifImageWidth -ExifImageHeight"
exiftool_cmd+=" -FocalLengthIn35mmFormat -GPSLatitude -GPSLongitude -GPSAltitude"

# --- the latency mount -----------------------------------------------------
# bench/latency_fs.cpp: every open and read request to the survey waits the
# given µs, as on a card, a USB disk or a share, and with a link rate the
# read requests share one link of that many bytes a second. Mounted afresh
# for each run: unmounting drops every page, entry and attribute the kernel
# kept of it.
mnt=$work/latency-mnt
latency_pid=
mount_latency() {  # mount_latency SURVEY DELAY_US[:BYTES_PER_SECOND]
  local link=()
  [[ $2 != *:* ]] || link=(-b "${2#*:}")
  mkdir -p "$mnt"
  "$tools/latency_fs" "${link[@]}" "$data/$1" "$mnt" "${2%%:*}" 2>"$work/latency_fs.last" &
  latency_pid=$!
  local try
  for ((try = 0; try < 200; ++try)); do
    [[ $(findmnt -n -o FSTYPE -M "$mnt" 2>/dev/null) == fuse.latency ]] && return 0
    kill -0 "$latency_pid" 2>/dev/null || break
    sleep 0.05
  done
  cat "$work/latency_fs.last" >>"$res/latency_fs.log"
  log "latency_fs did not mount $data/$1 on $mnt (see $res/latency_fs.log)"
  exit 1
}
unmount_latency() {
  [[ -n $latency_pid ]] || return 0
  local try
  # A process that has just ended may still hold a file for a moment.
  for ((try = 0; try < 20; ++try)); do
    findmnt -n -M "$mnt" >/dev/null || break
    fusermount3 -u "$mnt" 2>/dev/null && break
    sleep 0.1
  done
  if findmnt -n -M "$mnt" >/dev/null; then
    log "$mnt stays busy: unmounted lazily"
    fusermount3 -uz "$mnt" 2>/dev/null || true
  fi
  # Unmounted, the daemon ends of itself.
  for ((try = 0; try < 50; ++try)); do
    kill -0 "$latency_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$latency_pid" 2>/dev/null || true
  wait "$latency_pid" 2>/dev/null || true
  latency_pid=
  cat "$work/latency_fs.last" >>"$res/latency_fs.log"
}
served() {  # the opens, read requests and bytes the last mount served, tab-separated
  sed -n 's/^latency_fs: served \([0-9]*\) opens, \([0-9]*\) reads, \([0-9]*\) bytes$/\1\t\2\t\3/p' \
    "$work/latency_fs.last" | tail -1 | grep . || printf -- '-\t-\t-\n'
}

# --- cleanup ---------------------------------------------------------------
resident=
ra_file=
ra_found=
cleanup() {
  unmount_latency
  if [[ -n $resident ]]; then
    exec 9>&- || true
    wait "$resident" 2>/dev/null || true
  fi
  rm -f "$work/resident.ctl"
  if [[ -n $ra_file && -n $ra_found ]]; then echo "$ra_found" | "${sudo[@]}" tee "$ra_file" >/dev/null; fi
}
trap cleanup EXIT

# --- cold cache ------------------------------------------------------------
# The block device that holds the surveys: its sectors-read counter in
# /proc/diskstats and its read-ahead size. A partition has its disk's queue.
majmin=$(findmnt -no MAJ:MIN --target "$data" | head -1 | tr -d '[:space:]')
dev=
if [[ -n $majmin && ${majmin%%:*} != 0 && -e /sys/dev/block/$majmin ]]; then
  sys=$(readlink -f "/sys/dev/block/$majmin")
  dev=$(basename "$sys")
  ra_file=$sys/queue/read_ahead_kb
  [[ -e $ra_file ]] || ra_file=$(dirname "$sys")/queue/read_ahead_kb
  ra_found=$(cat "$ra_file")
fi
sectors_read() { if [[ -n $dev ]]; then awk -v d="$dev" '$3 == d {print $6}' /proc/diskstats; else echo 0; fi; }
echo "device: ${dev:-none} ($majmin), read-ahead ${ra_found:-?} KiB" >>"$res/machine.txt"

# The yardsticks of a reader whose frames need only their first HEAD bytes:
# each frame opened once, read-ahead off, one read of its head, 32 at a time.
head_floors=()
for h in $HEAD_FLOORS; do head_floors+=("floor, $((h / 1024)) KiB head, read-ahead off"); done

command_argv() {  # command_argv NAME SURVEY [DIR INI]: sets argv to the named command on SURVEY
  local dir=${3:-$data/$2} ini=${4:-$work/$2.ini}
  case $1 in
    "floor, read once, "*" in flight") local k=${1#floor, read once, }
                                      argv=("$tools/floor" -t "${k% in flight}" "$dir") ;;
    "floor, head only") argv=("$tools/floor" -p "$dir" 16384 0) ;;
    "floor, "*" KiB head, read-ahead off") local k=${1#floor, }; k=${k%% KiB*}
                                           argv=("$tools/floor" -r -t 32 "$dir" "$((k * 1024))" 0) ;;
    "floor, head only, $AHEAD ahead") argv=("$tools/floor" -p -a "$AHEAD" "$dir" 16384 0) ;;
    "floor, 16 KiB, 1 pass") argv=("$tools/floor" "$dir" 16384 4096 1) ;;
    "floor, "*) local k=${1#floor, }; argv=("$tools/floor" "$dir" "$((${k% KiB} * 1024))") ;;
    exifcheck) argv=("$exifcheck" "$ini") ;;
    "exifcheck, "*" head") local k=${1#exifcheck, }; k=${k% KiB head}
                           argv=("${variant[$((k * 1024))]}" "$ini") ;;
    "exifcheck, whole reads") argv=("$whole" "$ini") ;;
    "exifcheck, "*) argv=("${extra[${1#exifcheck, }]}" "$ini") ;;
    "exiv2 (one pass)") argv=(sh -c "$(exiv2_cmd "$dir")") ;;
  esac
}

cold_run() {  # cold_run SURVEY READ_AHEAD REPETITION NAME
  local s=$1 ra=$2 rep=$3 name=$4 before after start end inblock dropped
  command_argv "$name" "$s"
  "$tools/evict" "$data/$s" >>"$res/evict.log" || { log "$(tail -1 "$res/evict.log")"; exit 1; }
  dropped=$(tail -1 "$res/evict.log" | sed -n 's/.* \([0-9]*\) bytes dropped.*/\1/p')
  before=$(sectors_read)
  start=$EPOCHREALTIME
  /usr/bin/time -f '%I' -o "$res/cold.inblock" "${argv[@]}" >/dev/null 2>&1 || true
  end=$EPOCHREALTIME
  after=$(sectors_read)
  inblock=$(tail -1 "$res/cold.inblock")
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$s" "$ra" "$rep" "$name" \
    "$(python3 -c "print(f'{$end - $start:.4f}')")" "$((inblock * 512))" \
    "$(((after - before) * 512))" "$(cut -d' ' -f1 /proc/loadavg)" "${dropped:-0}" >>"$res/cold.tsv"
}

if ((COLD > 0)); then
  # The head-only floor prints the progress line as exifcheck does; with the
  # kernel told AHEAD files ahead it is the yardstick of a cold run. The
  # 64 KiB and one-pass floors split what the read-ahead window and the
  # passes after the first cost.
  cold_names=("floor, 16 KiB" "floor, head only" "floor, head only, $AHEAD ahead" exifcheck
              "exiv2 (one pass)" "floor, read once, 32 in flight" "${head_floors[@]}")
  [[ $SPLIT == 1 ]] && cold_names+=("floor, 64 KiB" "floor, 16 KiB, 1 pass")
  for name in "${extra_names[@]}"; do cold_names+=("exifcheck, $name"); done
  for h in $HEADS; do
    [[ $h == "$default_head" ]] || cold_names+=("exifcheck, $((h / 1024)) KiB head")
  done
  ras=()
  for ra in $READ_AHEAD; do
    [[ $ra == current ]] && ra=${ra_found:-current}
    [[ " ${ras[*]} " == *" $ra "* ]] || ras+=("$ra")
  done
  for ra in "${ras[@]}"; do
    if [[ $ra != "${ra_found:-current}" ]]; then
      [[ -n $ra_file ]] || { log "no block device to set read-ahead on; skipped $ra KiB"; continue; }
      echo "$ra" | "${sudo[@]}" tee "$ra_file" >/dev/null || { log "cannot set read-ahead"; continue; }
    fi
    for s in $COLD_SURVEYS; do
      [[ " ${checked[*]} " == *" $s "* ]] || continue
      log "cold $s, read-ahead $ra KiB, $COLD repetitions of ${#cold_names[@]} commands"
      load "cold $s $ra"
      for ((rep = 0; rep < COLD; ++rep)); do
        # A new order each repetition, so that no command always follows the same one.
        for ((i = 0; i < ${#cold_names[@]}; ++i)); do
          cold_run "$s" "$ra" "$rep" "${cold_names[(i + rep) % ${#cold_names[@]}]}"
        done
      done
      if [[ $COLD_WHOLE == 1 && $s == big ]]; then cold_run "$s" "$ra" 0 "exifcheck, whole reads"; fi
    done
    if [[ -n $ra_file ]]; then echo "$ra_found" | "${sudo[@]}" tee "$ra_file" >/dev/null; fi
  done
fi

warm=()
for s in $WARM_SURVEYS; do [[ " ${checked[*]} " == *" $s "* ]] && warm+=("$s"); done
((${#warm[@]})) || WARM=0
# The latency mount serves its survey from the page cache here, so that the
# wait it adds is the only one.
latency=()
if [[ -n $LATENCY ]]; then
  if [[ ! -x $tools/latency_fs ]]; then
    log "no latency_fs (libfuse 3 not found): no latency part"
  elif [[ ! -c /dev/fuse ]]; then
    log "no /dev/fuse: no latency part"
  else
    for s in $LATENCY_SURVEYS; do [[ " ${checked[*]} " == *" $s "* ]] && latency+=("$s"); done
  fi
fi
in_memory=()
[[ $WARM == 1 ]] && in_memory+=("${warm[@]}")
for s in "${latency[@]}"; do [[ " ${in_memory[*]} " == *" $s "* ]] || in_memory+=("$s"); done
if ((${#in_memory[@]})); then
# --- keep the surveys in memory --------------------------------------------
# The machine reclaims page cache left idle for about a minute. Of the drone
# survey only each frame's ends are kept, which is all any reader timed reads.
ctl=$work/resident.ctl
rm -f "$ctl" "$work/resident.log"
mkfifo "$ctl"
keep=()
for s in "${in_memory[@]}"; do
  if [[ $s == dji ]]; then keep+=(-n "$DJI_KEEP" "$data/$s" -n 0); else keep+=("$data/$s"); fi
done
"$tools/keep_resident" "${keep[@]}" <"$ctl" 2>"$work/resident.log" &
resident=$!
exec 9>"$ctl"
until grep -q locked "$work/resident.log" 2>/dev/null; do
  kill -0 "$resident" || { log "keep_resident ended early"; cat "$work/resident.log" >&2; exit 1; }
  sleep 1
done
log "$(cat "$work/resident.log")"
fi

if [[ $WARM == 1 ]]; then

# --- warm cache ------------------------------------------------------------
for s in "${warm[@]}"; do
  dir=$data/$s
  ini=$work/$s.ini
  half_ini=$work/$s-half.ini
  log "warm $s"
  load "warm $s"
  commands=(-n "floor, 16 KiB" "$tools/floor $dir 16384"
            -n "floor, head only" "$tools/floor -p $dir 16384 0"
            -n "floor, head only, $AHEAD ahead" "$tools/floor -p -a $AHEAD $dir 16384 0"
            -n "floor, read once, 8 in flight" "$tools/floor -t 8 $dir")
  for name in "${head_floors[@]}"; do
    command_argv "$name" "$s"
    commands+=(-n "$name" "${argv[*]}")
  done
  commands+=(-n exifcheck "$exifcheck $ini")
  [[ -d $dir/half1 ]] && commands+=(-n "exifcheck, half the files" "$exifcheck $half_ini")
  for name in "${extra_names[@]}"; do commands+=(-n "exifcheck, $name" "${extra[$name]} $ini"); done
  [[ $SPLIT == 1 ]] && commands+=(-n "floor, 64 KiB" "$tools/floor $dir 65536")
  # Whole reads of the drone survey would come from the disk.
  [[ $DETAIL == 1 && $s != dji ]] && commands+=(-n "exifcheck, whole reads" "$whole $ini")
  hyperfine -i -N --style basic --warmup 2 --runs "$RUNS" --export-json "$res/$s-warm.json" \
    "${commands[@]}" -n "exiv2 (one pass)" "sh -c '$(exiv2_cmd "$dir")'" >&2
  # hyperfine runs one command's runs back to back, so a slow spell of the
  # shared machine lands on one command; taken in turn, each round gives a
  # ratio of its own.
  log "warm $s, $PAIRED rounds of the floors, exifcheck and exiv2 in turn"
  load "paired $s"
  in_turn=("floor, 16 KiB" "floor, head only" "floor, read once, 8 in flight" "${head_floors[@]}"
           exifcheck "exiv2 (one pass)")
  for name in "${extra_names[@]}"; do in_turn+=("exifcheck, $name"); done
  # The CPU time of each command too: the builtin `times` (no process of its
  # own) gives the user and system time of the children waited for so far,
  # as "0m1.234s 0m0.056s" on its second line.
  for ((i = 0; i < PAIRED; ++i)); do
    for name in "${in_turn[@]}"; do
      command_argv "$name" "$s"
      times >"$work/times.before"
      start=$EPOCHREALTIME
      "${argv[@]}" >/dev/null 2>&1 || true
      end=$EPOCHREALTIME
      times >"$work/times.after"
      # Command substitution, not a process one: its python is waited for
      # here, so its time counts in no command's figure.
      printf '%s\t%s\t%s\t%s\n' "$s" "$i" "$name" "$(python3 -c "
import re
t = [[int(m) * 60 + float(x) for m, x in re.findall(r'(\d+)m([\d.]+)s', open(f).read().splitlines()[1])]
     for f in ('$work/times.before', '$work/times.after')]
print(f'{$end - $start:.4f}\t{t[1][0] - t[0][0]:.3f}\t{t[1][1] - t[0][1]:.3f}')")" \
        >>"$res/paired.tsv"
    done
  done
  if [[ -n $HEADS ]]; then
    heads=(-n "floor, 16 KiB" "$tools/floor $dir 16384")
    for h in $HEADS; do heads+=(-n "exifcheck, $((h / 1024)) KiB head" "${variant[$h]} $ini"); done
    load "heads $s"
    hyperfine -i -N --style basic --warmup 2 --runs "$RUNS" --export-json "$res/$s-heads.json" \
      "${heads[@]}" >&2
  fi
  if [[ $EXIFTOOL == 1 ]]; then
    exiftool_runs=2
    [[ $s == small ]] && exiftool_runs=1
    load "exiftool $s"
    hyperfine -i -N --style basic --runs "$exiftool_runs" --export-json "$res/$s-exiftool.json" \
      -n "exiftool (one pass)" "$exiftool_cmd $dir" >&2
  fi
  [[ $DETAIL == 1 ]] || continue
  if [[ $s != dji ]]; then
  load "stdout $s"
  hyperfine -i --style basic --warmup 1 --runs "$RUNS" --export-json "$res/$s-stdout.json" \
    -n "exifcheck, stdout to /dev/null" "$exifcheck $ini > /dev/null" \
    -n "exifcheck, stdout to a file" "$exifcheck $ini > $work/$s-stdout.txt" >&2
  # The frames without EXIF data are read whole by every check; timed on
  # their own against as many regular frames (hard links into one folder).
  # write_bench_survey names them: frame n % 500 == 47 for n < 1500.
  rm -rf "$work/$s-noexif" "$work/$s-regular"
  mkdir -p "$work/$s-noexif" "$work/$s-regular"
  for n in 48 548 1048; do
    find "$dir" -name "IMG_$(printf %06d "$n").JPG" -exec ln {} "$work/$s-noexif/" \;
  done
  k=$(find "$work/$s-noexif" -type f | wc -l)
  for n in 2 3 4; do
    ((n - 1 <= k)) && find "$dir" -name "IMG_$(printf %06d "$n").JPG" -exec ln {} "$work/$s-regular/" \;
  done
  load "noexif $s"
  hyperfine -i -N --style basic --warmup 2 --runs "$((RUNS * 3))" --export-json "$res/$s-noexif.json" \
    -n "exifcheck, $k frames without EXIF data" "$exifcheck $(settings "$s-noexif" "$work/$s-noexif")" \
    -n "exifcheck, $k regular frames" "$exifcheck $(settings "$s-regular" "$work/$s-regular")" >&2
  fi  # not dji

  # Counts, not times: strace slows every call.
  log "system calls $s"
  for b in exifcheck floor floor-ahead exiv2; do
    case $b in
      exifcheck) argv=("$exifcheck" "$ini") ;;
      floor) argv=("$tools/floor" "$dir" 16384) ;;
      floor-ahead) argv=("$tools/floor" -p -a "$AHEAD" "$dir" 16384 0) ;;
      exiv2) argv=(sh -c "$(exiv2_cmd "$dir")") ;;
    esac
    strace -f -c -o "$res/$s-$b.strace-c" "${argv[@]}" >/dev/null 2>&1 || true
    strace -f -s 0 -e trace=read,pread64,preadv2 -o "$res/$s-$b.strace-reads" "${argv[@]}" >/dev/null 2>&1 || true
  done
  for b in default whole; do
    [[ $b == whole && $s == dji ]] && continue
    /usr/bin/time -f '%M %R' -o "$res/$s-$b.rss" "$work/$b/exifcheck" "$ini" >/dev/null || true
  done
  /usr/bin/time -f '%M %R' -o "$res/$s-floor.rss" "$tools/floor" "$dir" >/dev/null
done
fi  # WARM

# --- latency ---------------------------------------------------------------
# Every command runs on a fresh mount, so each starts cold at the mount while
# the survey itself stays in memory below it (keep_resident): the waits are
# the mount's alone. The head-only floors with read-ahead off are the least a
# reader can take whose frames need only their heads; the read-once floor
# reads each frame's head and its last 4 KiB, 32 at a time (and with
# LATENCY_SERIAL=1 one frame at a time). The mount counts what it served.
if ((${#latency[@]})); then
  latency_ini=$(settings latency "$mnt")
  latency_names=(exifcheck "exiv2 (one pass)" "${head_floors[@]}" "floor, read once, 32 in flight")
  [[ $LATENCY_SERIAL == 1 ]] && latency_names+=("floor, read once, 1 in flight")
  for name in "${extra_names[@]}"; do latency_names+=("exifcheck, $name"); done
  # A fresh mount may already be there from a run that was killed.
  findmnt -n -M "$mnt" >/dev/null 2>&1 && { fusermount3 -u "$mnt" || fusermount3 -uz "$mnt"; }
  for s in "${latency[@]}"; do
    # Without waits first: the mount must show exifcheck what the folder does.
    mount_latency "$s" 0
    "$exifcheck" "$latency_ini" >"$work/$s-latency.out" 2>/dev/null || true
    unmount_latency
    if ! cmp -s <(sed -n '/^The number of images: /,$p' "$work/$s-default.out") \
                <(sed -n '/^The number of images: /,$p' "$work/$s-latency.out"); then
      log "exifcheck prints otherwise through the latency mount on $s"
      exit 1
    fi
    for delay in $LATENCY; do
      log "latency $s, ${delay%%:*} µs a request$([[ $delay != *:* ]] || echo ", a link of ${delay#*:} bytes/s")," \
          "$LATENCY_RUNS repetitions of ${#latency_names[@]} commands"
      load "latency $s $delay"
      for ((rep = 0; rep < LATENCY_RUNS; ++rep)); do
        for ((i = 0; i < ${#latency_names[@]}; ++i)); do
          name=${latency_names[(i + rep) % ${#latency_names[@]}]}
          command_argv "$name" "$s" "$mnt" "$latency_ini"
          mount_latency "$s" "$delay"
          started_load=$(cut -d' ' -f1 /proc/loadavg)
          start=$EPOCHREALTIME
          "${argv[@]}" >/dev/null 2>&1 || true
          end=$EPOCHREALTIME
          unmount_latency
          printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$s" "$delay" "$rep" "$name" \
            "$(python3 -c "print(f'{$end - $start:.4f}')")" "$started_load" "$(served)" \
            >>"$res/latency.tsv"
        done
      done
    done
  done
fi

# --- opens per frame, peak memory --------------------------------------------
if [[ $ONCE == 1 ]]; then
  # One flight of the big survey holds a frame of every kind, the one
  # without EXIF data too.
  folder=$(dirname "$sample")
  frames=$(find "$folder" -type f | wc -l)
  log "opens per frame: $frames frames in $folder"
  for b in exifcheck "exiv2 (one pass)" "floor, read once, 32 in flight"; do
    case $b in
      exifcheck) argv=("$exifcheck" "$(settings once "$folder")") ;;
      exiv2*) argv=(sh -c "$(exiv2_cmd "$folder")") ;;
      *) argv=("$tools/floor" -t 32 "$folder") ;;
    esac
    strace -f -e trace=open,openat -o "$work/opens.strace" "${argv[@]}" >/dev/null 2>&1 || true
    # Each attempt counts, whatever it returned; a frame never opened
    # counts 0.
    grep -io '"[^"]*\.jpg"' "$work/opens.strace" | sort | uniq -c |
      awk -v b="$b" -v n="$frames" '{ s += $1; if (!m || $1 < lo) lo = $1; if ($1 > hi) hi = $1; m++ }
        END { if (m < n) lo = 0; printf "%s\t%d\t%d\t%d\t%d\n", b, n, s, lo, hi }' >>"$res/opens.tsv"
  done
  peak=()
  ((SMALL_N > 0)) && peak+=(small)
  ((HUGE_N > 0)) && peak+=(huge)
  # The small survey has frames of every odd kind, so the tool writes all it
  # writes: error.json, the report page and whatever else its version adds.
  # What it wrote is recorded with the peak.
  for s in "${peak[@]}"; do
    log "peak memory, $s"
    ini=$(settings "$s-peak" "$data/$s")
    for name in exifcheck "${extra_names[@]/#/exifcheck, }"; do
      command_argv "$name" "$s" "$data/$s" "$ini"
      rm -rf "$work/out-$s-peak"
      /usr/bin/time -f '%M' -o "$work/peak.txt" "${argv[@]}" >/dev/null 2>&1 || true
      written=$(find "$work/out-$s-peak" -type f -printf '%f:%s ' 2>/dev/null | sed 's/ $//')
      [[ $written == *error.json* ]] || log "$name wrote no error.json on $s: ${written:-nothing}"
      printf '%s\t%s\t%s\t%s\t%s\n' "$s" "$(cut -d' ' -f1 "$data/$s.made")" "$name" \
        "$(tail -1 "$work/peak.txt")" "${written:--}" >>"$res/peak.tsv"
    done
  done
fi

# --- summary ---------------------------------------------------------------
python3 "$root/bench/summary.py" "$res" | tee "$res/summary.md"
log "results in $res"
