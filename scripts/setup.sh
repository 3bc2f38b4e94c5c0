#!/usr/bin/env bash
# Installs every Debian package that the build, the programs and the tests
# need, on a fresh Debian 12 machine. Does nothing when all are present.
#
# `--native` (or QWZ_SETUP=native in the environment, which reaches this
# script through run.sh and test.sh too) installs only what the Linux
# programs, their tests and their package need: no Windows cross compiler,
# no Wine, no NSIS and no X server for the window test. The `windows`
# preset cannot be built then.
# usage: bash scripts/setup.sh [--native]
set -euo pipefail
mode=${QWZ_SETUP:-all}
for arg in "$@"; do
  case $arg in
  --native) mode=native ;;
  *) echo "usage: bash scripts/setup.sh [--native]   (or QWZ_SETUP=native)" >&2; exit 2 ;;
  esac
done
case $mode in
all | native) ;;
*) echo "setup: QWZ_SETUP must be 'native' or 'all', not '$mode'" >&2; exit 2 ;;
esac

native=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libboost-dev libgtest-dev googletest
  libcli11-dev nlohmann-json3-dev
  desktop-file-utils shared-mime-info
  dpkg-dev man-db lintian
  time
)
windows=(
  g++-mingw-w64-x86-64-posix wine wine64 fonts-wine
  xvfb xdotool x11-apps imagemagick nsis xauth
)
packages=("${native[@]}")
[ "$mode" = native ] || packages+=("${windows[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
