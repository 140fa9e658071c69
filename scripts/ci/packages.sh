#!/usr/bin/env bash
# The release as a user gets it. Builds both packages with scripts/release.sh;
# checks the .deb with lintian, installs it, renders its manual page, runs
# exifcheck from the PATH on the example survey and removes the package
# again, even when a step fails. Then checks the version resource of
# exifcheck.exe, unpacks the zip into a fresh folder and runs check-survey.bat
# under Wine on a clean survey (exit status 0) and on the example (status 1,
# error.json where the example settings say, and the report page named).
set -euo pipefail
cd "$(dirname "$0")/../.."

paths=$(scripts/release.sh)
mapfile -t built <<<"$paths"
deb= zip=
for file in "${built[@]}"; do
  case $file in
    *_amd64.deb) deb=$file ;;
    *-win64.zip) zip=$file ;;
  esac
done
version=$(sed -n 's/^project(exifcheck VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[[ $deb == build/packages/exifcheck_${version}_amd64.deb ]] || { echo "packages: no .deb of $version in: ${built[*]}" >&2; exit 1; }
[[ $zip == build/packages/exifcheck-${version}-win64.zip ]] || { echo "packages: no zip of $version in: ${built[*]}" >&2; exit 1; }

fail() { echo "packages: $*" >&2; exit 1; }
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)

# lintian: every tag fails the run, informational ones too; the package keeps no override.
if ! findings=$(lintian --fail-on error,warning,info --info "$deb" 2>&1); then
  grep -v '^running with root privileges' <<<"$findings" >&2
  fail "lintian finds fault with $deb"
fi

# The manual page as man renders it: no warning from man or groff.
check_manual() {  # the manual page, or its name once installed
  local warnings
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 "$@" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "man $* warns: $warnings"
}
warnings=$(groff -ww -man -z build/package-deb/exifcheck.1 2>&1)
[[ -z $warnings ]] || fail "groff warns about the manual page: $warnings"

# Installed, the tool runs from the PATH; the trap removes it whatever happens.
remove_package() { "${sudo[@]}" dpkg --purge exifcheck >/dev/null || true; }
trap remove_package EXIT
"${sudo[@]}" dpkg -i "$deb" >/dev/null
[[ $(command -v exifcheck) == /usr/bin/exifcheck ]] || fail "exifcheck is not on the PATH from the package"
check_manual exifcheck
for doc in README.md README.zh-CN.md exifcheck.ini gate-survey.sh copyright changelog.gz; do
  [[ -f /usr/share/doc/exifcheck/$doc ]] || fail "the package has no /usr/share/doc/exifcheck/$doc"
done
sh -n /usr/share/doc/exifcheck/gate-survey.sh || fail "gate-survey.sh is no valid shell script"
rm -f build/example-output/error.json
set +e
exifcheck examples/exifcheck.ini >build/packages/example.out 2>build/packages/example.err
status=$?
set -e
[[ $status -eq 1 ]] || fail "exifcheck examples/exifcheck.ini from the PATH: exit status $status, not 1"
cmp examples/expected-error.json build/example-output/error.json ||
  fail "the installed exifcheck wrote another error.json than examples/expected-error.json"
remove_package
trap - EXIT
[[ ! -e /usr/bin/exifcheck ]] || fail "dpkg --purge left /usr/bin/exifcheck behind"
echo "packages: $deb: lintian clean, installed, ran the example (exit status 1, error.json as expected), removed"

# The exe tells Explorer its name and version: the resource, read back from the exe.
exe=build/package-win64/exifcheck.exe
resource=$(x86_64-w64-mingw32-windres -J coff -i "$exe" -O rc)
for value in '"ProductName", "exifcheck"' "\"FileVersion\", \"$version\"" "\"ProductVersion\", \"$version\"" \
    '"FileDescription", "' '"LegalCopyright", "Copyright' 'BLOCK "080404B0"'; do
  grep -qF "$value" <<<"$resource" || fail "$exe has no $value in its version resource"
done

# The zip, unpacked anywhere: here a fresh folder.
unpacked=$(mktemp -d)
wine_prefix=$(mktemp -d)
wineserver=
cleanup() {
  [[ -z $wineserver ]] || WINEPREFIX=$wine_prefix "$wineserver" -k 2>/dev/null || true
  rm -rf "$unpacked" "$wine_prefix"
}
trap cleanup EXIT
unzip -q "$zip" -d "$unpacked"
top=$unpacked/exifcheck-$version-win64
for file in exifcheck.exe check-survey.bat exifcheck.ini README.txt README.zh-CN.txt; do
  [[ -f $top/$file ]] || fail "the zip has no exifcheck-$version-win64/$file"
done
export LC_ALL=C
for file in check-survey.bat exifcheck.ini README.txt README.zh-CN.txt; do
  ! grep -aq $'[^\r]$\|^$' "$top/$file" || fail "$file in the zip has a line that does not end in CR LF"
  ! grep -aqF "$PWD" "$top/$file" || fail "$file in the zip names a path of the build machine"
done
[[ $(head -c 3 "$top/README.zh-CN.txt") == $'\xef\xbb\xbf' ]] || fail "README.zh-CN.txt in the zip has no UTF-8 byte-order mark"

wine=$(command -v wine64 || command -v wine || true)
[[ -n "$wine" ]] || wine=/usr/lib/wine/wine64
[[ -x "$wine" ]] || fail "wine64 not found (scripts/setup.sh --all installs it)"
wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
[[ -x "$wineserver" ]] || wineserver=$(command -v wineserver || echo wineserver)
export WINEPREFIX=$wine_prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY CMDCMDLINE
"$wine" wineboot -i >/dev/null 2>&1 || true

run_bat() {  # folder to run in, then the .bat and its arguments; prints the status
  local status
  set +e
  (cd "$1" && timeout 300 "$wine" cmd /c "${@:2}" </dev/null >"$unpacked/bat.out" 2>&1)
  status=$?
  set -e
  echo "$status"
}

# A clean survey: the example's first flight without its two odd frames.
mkdir -p "$top/clean-survey"
cp "$top"/example-survey/flight_1/*.JPG "$top/clean-survey/"
rm "$top/clean-survey/IMG_0007.JPG" "$top/clean-survey/IMG_0012.JPG"
sed -e 's/^\(imageFolder *=\).*/\1 clean-survey/' -e 's/^\(outputFolder *=\).*/\1 clean-output/' \
  "$top/exifcheck.ini" >"$top/clean.ini"
# Started from the folder above: the .bat takes the folders from the settings file's own.
status=$(run_bat "$unpacked" "exifcheck-$version-win64\\check-survey.bat" "exifcheck-$version-win64\\clean.ini")
[[ $status -eq 0 ]] || { cat "$unpacked/bat.out" >&2; fail "check-survey.bat on a clean survey: exit status $status, not 0"; }
grep -q 'exit status 0, all clear' "$unpacked/bat.out" || fail "check-survey.bat did not say what status 0 means"
if grep -q 'report page' "$unpacked/bat.out"; then fail "check-survey.bat named the report page on status 0"; fi
[[ -d $top/clean-output && ! -e $top/clean-output/error.json ]] ||
  fail "a clean survey left no empty clean-output beside its settings file"

# The example settings on the example survey, as an operator runs them from the unpacked folder.
status=$(run_bat "$top" check-survey.bat exifcheck.ini)
[[ $status -eq 1 ]] || { cat "$unpacked/bat.out" >&2; fail "check-survey.bat on the example survey: exit status $status, not 1"; }
grep -q 'exit status 1, images were reported' "$unpacked/bat.out" || fail "check-survey.bat did not say what status 1 means"
grep -qF '\check-output\exifcheck-report.html"' "$unpacked/bat.out" ||
  fail "check-survey.bat did not name the report page in check-output"
cmp examples/expected-error.json "$top/check-output/error.json" ||
  fail "check-survey.bat wrote no error.json as expected into check-output beside exifcheck.ini"
if grep -q 'Press any key' "$unpacked/bat.out"; then fail "check-survey.bat waited for a key when run by cmd /c"; fi

# A double-click: Explorer's command line, which Wine's cmd.exe does not set by
# itself. The .bat checks the settings beside it and waits for a key (here
# none comes: standard input is empty).
rm -rf "$top/check-output"
windows_top="Z:${top//\//\\}"
status=$(CMDCMDLINE="C:\\windows\\system32\\cmd.exe /c \"\"$windows_top\\check-survey.bat\" \"" \
  run_bat "$unpacked" "$windows_top\\check-survey.bat")
[[ $status -eq 1 && -f $top/check-output/error.json ]] ||
  fail "check-survey.bat started as by a double-click: exit status $status, or no check-output/error.json"
grep -q 'Press any key' "$unpacked/bat.out" || fail "check-survey.bat started as by a double-click did not wait for a key"
echo "packages: $zip: version resource $version; check-survey.bat under Wine: clean survey 0, example 1 with error.json and the report page in check-output, waits for a key only when double-clicked"
