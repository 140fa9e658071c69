#!/usr/bin/env bash
# The report page as an operator sees it. Runs the Linux exifcheck and
# exifcheck.exe under Wine on the example survey, on a survey made for the
# page (the example plus a frame whose Make is markup, under a name with "&"
# and a non-ASCII letter, with an EXIF thumbnail, and a frame whose latitude
# is 200 degrees), and on a drone survey of two flights with the faults the
# findings before processing name (tests/report/write_fault_survey.cpp),
# renders each exifcheck-report.html in headless chromium and checks the DOM
# it built (tests/report/check_report_page.py), and checks that chromium read
# no other file and made no network request for it. Prints each page's size
# and chromium's time for it.
#   scripts/ci/report-page.sh               as CI runs it
#   SCREENSHOT=1 scripts/ci/report-page.sh  also the README's pictures of the
#       drone survey's page, 1200 px wide: doc/report-page.png (the verdict and
#       the findings) and doc/report-page-flights.png (the flights, the plots
#       and the map)
set -euo pipefail
cd "$(dirname "$0")/../.."

out=build/report-page
fail() { echo "report-page: $*" >&2; exit 1; }
command -v chromium >/dev/null || fail "chromium not found (scripts/setup.sh --all installs it)"
command -v strace >/dev/null || fail "strace not found (scripts/setup.sh --all installs it)"

linux_tool=$(bash scripts/ci/linux-tool.sh)

# The windows stage builds exifcheck.exe; CI runs it first, so there a missing
# exe is a fault. By hand, the Wine half is left out with a note.
exe=build/windows/exifcheck.exe
wine=
if [[ -f $exe ]]; then
  wine=$(command -v wine64 || command -v wine || true)
  [[ -n "$wine" ]] || wine=/usr/lib/wine/wine64
  [[ -x "$wine" ]] || fail "wine64 not found (scripts/setup.sh --all installs it)"
elif [[ ${CI:-} == true ]]; then
  fail "$exe is missing: the windows stage builds it"
else
  echo "report-page: $exe is missing, so only the Linux pages are checked (scripts/ci/windows.sh builds it)"
fi

rm -rf "$out"
mkdir -p "$out"
scratch=$(mktemp -d)
wineserver=
trap 'rm -rf "$scratch"; [[ -z $wineserver ]] || "$wineserver" -k 2>/dev/null || true' EXIT
if [[ -n $wine ]]; then
  # Headless and quiet, in a prefix of this stage's own, made fresh each run.
  wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
  [[ -x "$wineserver" ]] || wineserver=$(command -v wineserver || echo wineserver)
  export WINEPREFIX="$PWD/$out/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY
  "$wine" wineboot -i >/dev/null 2>&1 || true
fi

# Headless, with a fresh profile each time, and no network: any host name
# resolves to nothing, so a page that reached out would get nothing either.
chromium_flags=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking
  --disable-component-update --disable-sync "--host-resolver-rules=MAP * ~NOTFOUND")
file_url() { python3 -c 'import pathlib, sys; print(pathlib.Path(sys.argv[1]).resolve().as_uri())' "$1"; }
root=$(pwd -P)

# The survey made for the page: the example's frames and a copy of
# IMG_0018.JPG (no 35 mm focal length, so the focal-length check reports it),
# big-endian, with a JFIF segment, whose Make becomes a script element as text
# and whose thumbnail becomes one of its own, so that the page must show this
# frame's. The new values go after the end of the TIFF data, at the end of
# the APP1 segment, so no offset in the frame moves.
markup_make='<script>alert(1)</script>'
markup_name='Ära & Co.JPG'
cp -r examples/survey "$out/markup-survey"
mkdir "$out/markup-survey/flight_3"
python3 - examples/survey/flight_2/IMG_0018.JPG "$out/markup-survey/flight_3/$markup_name" \
  "$out/thumbnail.jpg" "$markup_make" <<'EOF'
import struct, sys
source, target, thumbnail_path, make = sys.argv[1:]
jpeg = bytearray(open(source, "rb").read())
at = 2
while jpeg[at + 1] != 0xE1 or jpeg[at + 4:at + 10] != b"Exif\0\0":
    at += 2 + struct.unpack(">H", jpeg[at + 2:at + 4])[0]
end = at + 2 + struct.unpack(">H", jpeg[at + 2:at + 4])[0]
tiff = at + 10
bo = "<" if jpeg[tiff:tiff + 2] == b"II" else ">"
ifd0 = tiff + struct.unpack(bo + "I", jpeg[tiff + 4:tiff + 8])[0]
count = struct.unpack(bo + "H", jpeg[ifd0:ifd0 + 2])[0]
added = bytearray()
def place(data):  # the offset from the TIFF header of data appended, word-aligned
    added.extend(b"\0" * ((end - tiff + len(added)) % 2))
    offset = end - tiff + len(added)
    added.extend(data)
    return offset
text = make.encode() + b"\0"
for entry in range(ifd0 + 2, ifd0 + 2 + 12 * count, 12):
    if struct.unpack(bo + "H", jpeg[entry:entry + 2])[0] == 0x010F:
        jpeg[entry + 2:entry + 12] = struct.pack(bo + "HII", 2, len(text), place(text))
thumbnail = b"\xff\xd8\xff\xfe\x00\x15exifcheck thumbnail\xff\xd9"
data = place(thumbnail)
ifd1 = place(struct.pack(bo + "H", 3) + struct.pack(bo + "HHIHxx", 0x0103, 3, 1, 6)
             + struct.pack(bo + "HHII", 0x0201, 4, 1, data)
             + struct.pack(bo + "HHII", 0x0202, 4, 1, len(thumbnail)) + b"\0\0\0\0")
jpeg[ifd0 + 2 + 12 * count:ifd0 + 6 + 12 * count] = struct.pack(bo + "I", ifd1)
jpeg[end:end] = added
jpeg[at + 2:at + 4] = struct.pack(">H", end - at - 2 + len(added))
open(target, "wb").write(jpeg)
open(thumbnail_path, "wb").write(thumbnail)
EOF
# A copy of IMG_0001.JPG 200 degrees north: the page lists its position as
# one that cannot be right and draws the others at their own scale.
python3 - examples/survey/flight_1/IMG_0001.JPG "$out/markup-survey/flight_3/IMG_0200.JPG" <<'EOF'
import struct, sys
source, target = sys.argv[1:]
jpeg = bytearray(open(source, "rb").read())
at = 2
while jpeg[at + 1] != 0xE1 or jpeg[at + 4:at + 10] != b"Exif\0\0":
    at += 2 + struct.unpack(">H", jpeg[at + 2:at + 4])[0]
tiff = at + 10
bo = "<" if jpeg[tiff:tiff + 2] == b"II" else ">"
def pointed(ifd, wanted):  # where the entry of tag `wanted` in the IFD at `ifd` points
    count = struct.unpack(bo + "H", jpeg[ifd:ifd + 2])[0]
    for entry in range(ifd + 2, ifd + 2 + 12 * count, 12):
        if struct.unpack(bo + "H", jpeg[entry:entry + 2])[0] == wanted:
            return tiff + struct.unpack(bo + "I", jpeg[entry + 8:entry + 12])[0]
    sys.exit(f"no entry {wanted:#06x}")
latitude = pointed(pointed(tiff + struct.unpack(bo + "I", jpeg[tiff + 4:tiff + 8])[0], 0x8825), 0x0002)
jpeg[latitude:latitude + 8] = struct.pack(bo + "II", 200, 1)
open(target, "wb").write(jpeg)
EOF

# The drone survey with faults, written by a program of the test support.
fault_writer_dir=$(dirname "$linux_tool")
cmake --build "$fault_writer_dir" -j 2 --target write_fault_survey >/dev/null
"$fault_writer_dir/write_fault_survey" "$out/fault-survey" "$out/fault-findings.txt"

run_tool() {  # name, image folder, then the command that runs the tool
  local name=$1 images=$2 status
  shift 2
  sed -E -e "s|^(imageFolder[[:space:]]*=).*|\1 $images|" -e "s|^(outputFolder[[:space:]]*=).*|\1 $out/$name|" \
    examples/exifcheck.ini >"$out/$name.ini"
  set +e
  "$@" "$out/$name.ini" >"$out/$name.out" 2>"$out/$name.err"
  status=$?
  set -e
  [[ $status -eq 1 ]] || { cat "$out/$name.err" >&2; fail "$name: exit status $status, not 1"; }
  [[ -f $out/$name/exifcheck-report.html ]] || fail "$name: no $out/$name/exifcheck-report.html"
}

# What chromium fetched for the page shows three ways, none of which may show
# anything: a file read as an open or a stat of a file in this work tree
# (strace; the page itself and the folders above it aside), a fetch that the
# page's CSP stopped as a console message (logged at --log-level=0), and a
# network request as a NetLog entry with an initiator: the page's have one,
# chromium's own background requests have "not an origin". A file elsewhere
# that the page named would need a src or href that is not data: or #, which
# the DOM check rejects.
loads() {  # strace log, NetLog, chromium's log, page
  local page path
  page=$(realpath "$4")
  grep -o '^[0-9]* *[a-z0-9_]*(\(AT_FDCWD, \)\?"[^"]*"' "$1" | sed 's/^[^"]*"//; s/"$//' | sort -u |
    while read -r path; do
      if [[ $path == "$root"/* && $path != "$page" && $page != "$path"/* ]]; then echo "read $path"; fi
    done
  grep '"initiator":"' "$2" | grep -v '"initiator":"not an origin"' | grep -o '"url":"[^"]*"' |
    sed 's/^/requested /' || true
  grep 'CONSOLE' "$3" || true
}

# Chromium's time for a page, start to DOM dumped, in ms. Most of it is the
# start: an empty page's time is printed beside it.
dump_dom() {  # name, URL; the DOM goes to $out/NAME.dom
  local begun=${EPOCHREALTIME/[.,]/}
  chromium "${chromium_flags[@]}" --user-data-dir="$scratch/$1-dom" --dump-dom "$2" >"$out/$1.dom" \
    2>"$out/$1.chromium.log" || { cat "$out/$1.chromium.log" >&2; fail "$1: chromium failed"; }
  took=$(((${EPOCHREALTIME/[.,]/} - begun) / 1000))
}
dump_dom empty "data:text/html,"
empty_took=$took

check_page() {  # name, then check_report_page.py's arguments for the survey
  local name=$1 page=$out/$1/exifcheck-report.html files found
  shift
  files=$(sed -n 's/^The number of images: \([0-9]*\)\r\?$/\1/p' "$out/$name.out" | head -n 1)
  dump_dom "$name" "$(file_url "$page")"
  echo "report-page: $page: $(stat -c %s "$page") bytes;" \
    "chromium's time to its DOM $took ms (an empty page's $empty_took ms)"
  python3 tests/report/check_report_page.py --dom "$out/$name.dom" --page "$page" \
    --error-json "$out/$name/error.json" --status 1 --files "$files" "$@" ||
    fail "$name: the page is not as expected (above)"
  strace -f -qq -e trace=%file -o "$scratch/$name.strace" chromium "${chromium_flags[@]}" \
    --user-data-dir="$scratch/$name-loads" --enable-logging=stderr --log-level=0 \
    --log-net-log="$scratch/$name.netlog" --dump-dom "$(file_url "$page")" >/dev/null 2>"$out/$name.loads.log" ||
    fail "$name: chromium failed under strace"
  found=$(loads "$scratch/$name.strace" "$scratch/$name.netlog" "$out/$name.loads.log" "$page")
  [[ -z $found ]] || { echo "$found" >&2; fail "$name: chromium fetched more than the page (above)"; }
}

# Every reported JPEG of both surveys carries a thumbnail.
no_position=(--no-position IMG_0023.JPG flight_log.txt)
example=("${no_position[@]}" --thumbnails-carried 4)
markup=("${no_position[@]}" --bad-position IMG_0200.JPG --make "$markup_make"
  --thumbnail "$markup_name=$out/thumbnail.jpg" --thumbnails-carried 5)
# The GPS check reports the frame at 0/0, which has no position to draw;
# its thumbnail is no picture a browser can show.
faults=(--no-position DJI_9002.JPG --thumbnails-carried 1 --findings "$out/fault-findings.txt")
run_tool linux-example examples/survey env LC_ALL=C.UTF-8 "$linux_tool"
check_page linux-example --charset utf-8 --ascii "${example[@]}"
run_tool linux-markup "$out/markup-survey" env LC_ALL=C.UTF-8 "$linux_tool"
check_page linux-markup --charset utf-8 "${markup[@]}"
run_tool linux-faults "$out/fault-survey" env LC_ALL=C.UTF-8 "$linux_tool"
check_page linux-faults --charset utf-8 --ascii "${faults[@]}"
if [[ -n $wine ]]; then
  # A Western code page (1252): "Ä" is one byte, and the page must say so.
  run_tool windows-example examples/survey env LC_ALL=en_US.UTF-8 "$wine" "$exe"
  check_page windows-example --ascii "${example[@]}"
  run_tool windows-markup "$out/markup-survey" env LC_ALL=en_US.UTF-8 "$wine" "$exe"
  check_page windows-markup "${markup[@]}"
  run_tool windows-faults "$out/fault-survey" env LC_ALL=en_US.UTF-8 "$wine" "$exe"
  check_page windows-faults --ascii "${faults[@]}"
fi

# The drone survey's page as the README shows it: its top, then the flights,
# plots and map, shown at the top of a copy of the page that hides what
# stands above them (a headless screenshot takes the top of a page only).
screenshot() {  # PNG, page
  chromium "${chromium_flags[@]}" --user-data-dir="$scratch/screenshot" --window-size=1200,1500 \
    --force-device-scale-factor=1 --hide-scrollbars --screenshot="$root/$1" "$(file_url "$2")" \
    >/dev/null 2>&1 || fail "chromium took no screenshot"
  echo "report-page: wrote $1"
}
if [[ ${SCREENSHOT:-} == 1 ]]; then
  page=$out/linux-faults/exifcheck-report.html
  screenshot doc/report-page.png "$page"
  sed 's|</style>|h1,#verdict,#findings,#figures,#before-processing>h2,#before-processing>p:not(#rtk){display:none}</style>|' \
    "$page" >"$out/flights-part.html"
  screenshot doc/report-page-flights.png "$out/flights-part.html"
fi
echo "report-page: the pages of the three surveys, Linux${wine:+ and Wine}: DOM as expected, nothing loaded"
