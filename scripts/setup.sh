#!/usr/bin/env bash
# Installs every Debian package that the build, the programs and the tests
# need, on a fresh Debian 12 machine. Does nothing when all are present.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libboost-dev libgtest-dev googletest
  libcli11-dev nlohmann-json3-dev
  g++-mingw-w64-x86-64-posix wine wine64 fonts-wine
  xvfb xdotool x11-apps imagemagick nsis
  desktop-file-utils shared-mime-info
  dpkg-dev man-db
  xauth
)
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
