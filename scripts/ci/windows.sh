#!/usr/bin/env bash
# Windows build: cross-compiles exifcheck.exe and the test suite with
# MinGW-w64, checks that the exe needs no DLL beside it, runs the unit and
# end-to-end tests under Wine (the default and the whole-read builds), and checks that
# exifcheck.exe writes the same error.json on the example survey as the Linux
# build, and the same console texts but for the CR LF line ends.
set -euo pipefail
cd "$(dirname "$0")/../.."

jobs=$(($(nproc) < 2 ? $(nproc) : 2))
build=build/windows

wine=$(command -v wine64 || command -v wine || true)
[[ -n "$wine" ]] || wine=/usr/lib/wine/wine64
[[ -x "$wine" ]] || { echo "windows: wine64 not found (scripts/setup.sh --all installs it)" >&2; exit 1; }
wineserver=$(dirname "$(readlink -f "$wine")")/wineserver
[[ -x "$wineserver" ]] || wineserver=$(command -v wineserver || echo wineserver)

# Headless and quiet, in a prefix of this build's own, made fresh each run.
export WINEPREFIX="$PWD/$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
rm -rf "$WINEPREFIX"
stop_wine() { "$wineserver" -k 2>/dev/null || true; }
trap stop_wine EXIT

configure_and_build() {  # folder, then extra CMake options
  local folder=$1
  shift
  cmake -S . -B "$folder" --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DEXIFCHECK_WERROR=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$wine" \
    "$@" >/dev/null
  cmake --build "$folder" -j "$jobs"
}

# Only DLLs every Windows has: the system's own and the C runtime.
check_dlls() {
  local exe=$1 dll bad=0
  while read -r dll; do
    case "${dll,,}" in
      kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll | advapi32.dll | user32.dll) ;;
      *) echo "windows: $exe needs $dll beside it" >&2; bad=1 ;;
    esac
  done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
  return $bad
}

configure_and_build "$build"
configure_and_build "$build/plain-read" -DEXIFCHECK_PLAIN_READ=ON
for exe in "$build/exifcheck.exe" "$build/exifcheck_tests.exe"; do check_dlls "$exe"; done

"$wine" wineboot -i >/dev/null 2>&1 || true
# Brief: every failure in full, and each build's count of tests.
GTEST_BRIEF=1 ctest --test-dir "$build" -V
GTEST_BRIEF=1 ctest --test-dir "$build/plain-read" -V

# The example survey on both builds, each with its own copy of the settings
# and its own output folder.
linux_tool=$(bash scripts/ci/linux-tool.sh)
example=$build/example
rm -rf "$example"
mkdir -p "$example"
run_example() {  # name, then the command that runs the tool
  local name=$1
  shift
  sed -E "s|^(outputFolder[[:space:]]*=).*|\1 $example/$name-output|" examples/exifcheck.ini \
    >"$example/$name.ini"
  set +e
  "$@" "$example/$name.ini" >"$example/$name.out" 2>"$example/$name.err"
  echo $? >"$example/$name.status"
  set -e
}
run_example linux "$linux_tool"
# A user's locale that the C++ runtime refuses: the tool must carry on.
run_example windows env LC_ALL=de_DE.UTF-8 "$wine" "$build/exifcheck.exe"

fail=0
if ! cmp -s "$example/linux.status" "$example/windows.status"; then
  echo "windows: exit status $(cat "$example/windows.status"), Linux $(cat "$example/linux.status")" >&2
  fail=1
fi
if [[ ! -f "$example/linux-output/error.json" ]]; then
  echo "windows: the Linux build wrote no $example/linux-output/error.json" >&2
  fail=1
elif ! cmp "$example/linux-output/error.json" "$example/windows-output/error.json"; then
  echo "windows: error.json differs from the Linux build's" >&2
  fail=1
fi
# The texts are GBK bytes: compare them as bytes.
export LC_ALL=C
if grep -aq $'[^\r]$' "$example/windows.out" || grep -aq '^$' "$example/windows.out"; then
  echo "windows: a console line does not end in CR LF: $example/windows.out" >&2
  fail=1
fi
# Only the echo of the settings path and of the output folder may differ.
windows_texts() { sed -e 's/\r$//' -e "s|$example/windows|$example/linux|g" "$example/windows.out"; }
if ! cmp -s "$example/linux.out" <(windows_texts); then
  echo "windows: console texts differ from the Linux build's (GBK shown as UTF-8):" >&2
  diff <(iconv -f GBK -t UTF-8 "$example/linux.out") <(windows_texts | iconv -f GBK -t UTF-8) >&2 || true
  fail=1
fi
[[ $fail -eq 0 ]] || exit 1
echo "windows: example survey: exit status $(cat "$example/windows.status"), error.json" \
  "($(wc -c <"$example/windows-output/error.json") bytes) and console texts as on Linux"
