#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Safe to run more than once: apt-get skips what is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ccache
  libsdl2-dev libpng-dev zlib1g-dev
  libgtest-dev googletest
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick xclip
  pasmo valgrind
  libimgui-dev libzip-dev
  file dpkg-dev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -y
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
