#!/usr/bin/env bash
# Installs what building and testing exifcheck need on Debian 12, and only
# what is missing. Run as root or with sudo available.
#   scripts/setup.sh            the build and the Linux test suite
#   scripts/setup.sh --windows  also the cross compiler for exifcheck.exe
#   scripts/setup.sh --release  also what scripts/release.sh needs for the zip and the .deb
#   scripts/setup.sh --all      also everything the full CI run uses
set -euo pipefail

packages=(cmake make g++ libgtest-dev rapidjson-dev locales strace)
if [[ "${1:-}" == "--all" ]]; then
  packages+=(clang-14 libclang-rt-14-dev clang-tidy-14 clang-format-14 git g++-mingw-w64-x86-64 wine64)
  # The packages stage: the .deb's checks, the manual page's render, the zip's unpacking.
  packages+=(dpkg-dev lintian man-db groff-base unzip)
  # The report-page stage: headless chromium, strace to see what it opens, the
  # checker in python3. Without recommends chromium has no font for Chinese;
  # fonts-wqy-microhei is the smallest that has one (about 5 MB installed).
  packages+=(chromium fonts-wqy-microhei strace python3)
elif [[ "${1:-}" == "--windows" ]]; then
  packages+=(g++-mingw-w64-x86-64)
elif [[ "${1:-}" == "--release" ]]; then
  # dpkg-dev: dpkg-shlibdeps finds the .deb's dependencies, dpkg-buildflags its hardening.
  packages+=(g++-mingw-w64-x86-64 dpkg-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The tests run the tool under locales that group digits; make sure they exist.
for loc in de_DE en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^${loc}\.utf-\?8$"; then
    "${sudo[@]}" localedef -i "$loc" -f UTF-8 "$loc.UTF-8" || echo "setup: could not make $loc.UTF-8" >&2
  fi
done
