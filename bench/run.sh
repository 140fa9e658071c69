#!/usr/bin/env bash
# Benchmarks exifcheck against the tools a user would pick instead, on a
# generated survey, warm page cache, and prints medians, per-image costs and
# ratios to the floor model (bench/floor.cpp). Debian only; run as root or
# with sudo. Not part of CI: it writes about 9 GB and runs about 10 minutes.
#
#   bench/run.sh                 2,000 frames of ~4 MB, 20,000 frames of ~30 KB
#   N=500 S=8 bench/run.sh       500 frames of ~8 MB (and the small survey)
#   SMALL_N=0 bench/run.sh       skip the small survey
#
# Surveys are kept in bench/data/ and made again only when N or S change.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

N=${N:-2000}             # frames of the big survey
S=${S:-4}                # their size in MB
SMALL_N=${SMALL_N:-20000}  # frames of the small survey
SMALL_KB=${SMALL_KB:-30}   # their size in KB
RUNS=${RUNS:-10}         # runs of each fast command (exiftool: 2 big, 1 small)

data=$root/bench/data
work=$root/build/bench
mkdir -p "$data" "$work"

log() { printf 'bench: %s\n' "$*" >&2; }

# --- tools -----------------------------------------------------------------
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
packages=(imagemagick libimage-exiftool-perl exiv2 hyperfine time strace python3 cmake g++ make
          libgtest-dev rapidjson-dev)
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

log "building the mapped and the plain-read exifcheck and the bench programs"
build() {  # build DIR [cmake options]
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DEXIFCHECK_TESTS=OFF "$@" >/dev/null
  cmake --build "$dir" -j 2 --target exifcheck >/dev/null
}
build "$work/mapped" -DEXIFCHECK_PLAIN_READ=OFF
build "$work/plain" -DEXIFCHECK_PLAIN_READ=ON
cmake -S bench -B "$work/tools" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/tools" -j 2 >/dev/null 2>&1 || cmake --build "$work/tools" -j 2
mapped=$work/mapped/exifcheck
plain=$work/plain/exifcheck
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

make_survey() {  # make_survey NAME COUNT BYTES PER_FLIGHT
  local name=$1 count=$2 bytes=$3 per_flight=$4 dir=$data/$1
  if [[ -f $dir.made && $(cat "$dir.made") == "$count $bytes" ]]; then return; fi
  log "generating $name: $count frames of about $bytes bytes"
  rm -rf "$dir"
  mkdir -p "$dir"
  make_base "$bytes" "$data/$name-base.jpg"
  # Two halves, so that the time of half the survey shows whether time is
  # linear in the number of files.
  local half=$((count / 2))
  "$tools/make_survey" "$data/$name-base.jpg" "$dir/half1" "$half" "$per_flight" 0
  "$tools/make_survey" "$data/$name-base.jpg" "$dir/half2" "$((count - half))" "$per_flight" "$half"
  echo "$count $bytes" >"$dir.made"
}

surveys=(big)
make_survey big "$N" "$((S * 1000000))" 200
if ((SMALL_N > 0)); then
  surveys+=(small)
  make_survey small "$SMALL_N" "$((SMALL_KB * 1000))" 500
fi

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
for s in "${surveys[@]}"; do
  ini=$(settings "$s" "$data/$s")
  set +e
  "$mapped" "$ini" >"$work/$s-mapped.out"; m=$?
  cp "$work/out-$s/error.json" "$work/$s-mapped.json"
  "$plain" "$ini" >"$work/$s-plain.out"; p=$?
  set -e
  if [[ $m != "$p" ]] || ! cmp -s "$work/$s-mapped.out" "$work/$s-plain.out" ||
     ! cmp -s "$work/$s-mapped.json" "$work/out-$s/error.json"; then
    log "the mapped and the plain-read build disagree on $s"; exit 1
  fi
  log "$s: both builds print the same $(wc -l <"$work/$s-mapped.out") lines and report, exit status $m"
done
sample=$(find "$data/big/half1" -name 'IMG_000002.JPG' | head -1)
log "exiftool reads a frame as: $(exiftool -fast2 -n -s3 -Make -ExifImageWidth -ExifImageHeight \
      -FocalLengthIn35mmFormat -GPSLatitude -GPSLongitude -GPSAltitude "$sample" | tr '\n' ' ')"

# --- keep the surveys in memory --------------------------------------------
ctl=$work/resident.ctl
rm -f "$ctl" "$work/resident.log"
mkfifo "$ctl"
"$tools/keep_resident" "${surveys[@]/#/$data/}" <"$ctl" 2>"$work/resident.log" &
resident=$!
exec 9>"$ctl"
trap 'exec 9>&-; wait "$resident" 2>/dev/null || true; rm -f "$ctl"' EXIT
until grep -q locked "$work/resident.log" 2>/dev/null; do
  kill -0 "$resident" || { log "keep_resident ended early"; cat "$work/resident.log" >&2; exit 1; }
  sleep 1
done
log "$(cat "$work/resident.log")"
log "steps of one mapped read of a big frame (warm, averaged):"
find "$data/big" -type f | "$tools/map_steps" | sed 's/^/  /' >&2

# --- timing ----------------------------------------------------------------
exiv2_cmd() {  # the same seven tags, many files per exiv2 call
  echo "find $1 -type f -print0 | xargs -0 -n 5000 exiv2 -q -PEkv -K Exif.Image.Make" \
       "-K Exif.Photo.PixelXDimension -K Exif.Photo.PixelYDimension" \
       "-K Exif.Photo.FocalLengthIn35mmFilm -K Exif.GPSInfo.GPSLatitude" \
       "-K Exif.GPSInfo.GPSLongitude -K Exif.GPSInfo.GPSAltitude"
}
exiftool_cmd="exiftool -fast2 -r -n -csv -Make -ExifImageWidth -ExifImageHeight"
exiftool_cmd+=" -FocalLengthIn35mmFormat -GPSLatitude -GPSLongitude -GPSAltitude"

for s in "${surveys[@]}"; do
  dir=$data/$s
  ini=$work/$s.ini
  half_ini=$(settings "$s-half" "$dir/half1")
  log "timing $s"
  hyperfine -i -N --style basic --warmup 2 --runs "$RUNS" --export-json "$work/$s-fast.json" \
    -n floor "$tools/floor $dir" \
    -n exifcheck "$mapped $ini" \
    -n "exifcheck, half the files" "$mapped $half_ini" \
    -n "exifcheck plain read" "$plain $ini" >&2
  hyperfine -i --style basic --warmup 1 --runs "$RUNS" --export-json "$work/$s-shell.json" \
    -n "exifcheck, stdout to a file" "$mapped $ini > $work/$s-stdout.txt" \
    -n "exiv2 (one pass)" "$(exiv2_cmd "$dir")" >&2
  exiftool_runs=2
  [[ $s == small ]] && exiftool_runs=1
  hyperfine -i -N --style basic --runs "$exiftool_runs" --export-json "$work/$s-exiftool.json" \
    -n "exiftool (one pass)" "$exiftool_cmd $dir" >&2
  # Peak memory and page faults, then system calls (strace slows the run,
  # so it only counts).
  for build in mapped plain; do
    /usr/bin/time -f '%M %R' -o "$work/$s-$build.rss" "$work/$build/exifcheck" "$ini" >/dev/null || true
  done
  /usr/bin/time -f '%M %R' -o "$work/$s-floor.rss" "$tools/floor" "$dir" >/dev/null
  strace -c -o "$work/$s-mapped.strace" "$mapped" "$ini" >/dev/null || true
  strace -c -o "$work/$s-floor.strace" "$tools/floor" "$dir" >/dev/null
done

# --- summary ---------------------------------------------------------------
python3 - "$work" "${surveys[@]}" <<'EOF'
import json, sys
work, surveys = sys.argv[1], sys.argv[2:]
for s in surveys:
    results = []
    for part in ("fast", "shell", "exiftool"):
        results += json.load(open(f"{work}/{s}-{part}.json"))["results"]
    files = sum(1 for _ in open(f"{work}/{s}-mapped.out", encoding="latin-1")
                if _.startswith("\xd3\xb0\xcf\xf1\xd0\xf2\xc1\xd0")) // 4
    floor = next(r["median"] for r in results if r["command"] == "floor")
    print(f"\n{s} survey: {files} files")
    print(f"| command | median s | runs | per image us | x floor |")
    print(f"|---|---:|---:|---:|---:|")
    for r in results:
        n = files // 2 if "half" in r["command"] else files
        print(f"| {r['command']} | {r['median']:.3f} | {len(r['times'])} | "
              f"{r['median'] / n * 1e6:.1f} | {r['median'] / floor:.2f} |")
    passes = 4 * files
    for b, name in (("mapped", "exifcheck"), ("plain", "exifcheck plain read"), ("floor", "floor")):
        peak, faults = map(int, open(f"{work}/{s}-{b}.rss").read().split()[-2:])
        line = f"{name}: peak memory {peak / 1024:.1f} MB, {faults / passes:.2f} page faults"
        try:
            calls = [l.split() for l in open(f"{work}/{s}-{b}.strace") if l.strip().endswith("total")]
            line += f", {int(calls[0][3]) / passes:.2f} system calls"
        except (OSError, IndexError, ValueError):
            pass
        print(line + " per image and pass")
EOF
