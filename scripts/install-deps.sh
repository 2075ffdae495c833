#!/usr/bin/env bash
# Installs the Debian packages that building and testing Mailvetter needs.
# Skips the package manager when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libc-ares-dev libhiredis-dev
  # The cluster's tests and benchmarks start a Redis server of their own.
  redis-server
  # Registered domains (the Public Suffix List, with Debian's current copy)
  # and internationalised domain names.
  libpsl-dev publicsuffix libidn2-dev
  # Qt Charts' CMake files look for Qt's OpenGL modules, which Debian's
  # qt6-charts-dev does not pull in.
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev fonts-dejavu-core
  libgtest-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev clang-format-14 clang-tidy-14
  netbase iproute2 util-linux procps ca-certificates
  dante-server nftables
  xvfb xauth xdotool
  desktop-file-utils appstream shared-mime-info libglib2.0-bin bash-completion man-db
  dpkg-dev fakeroot file lintian debootstrap
)
# --package: what scripts/package.sh needs to build the package.
if [ "${1:-}" = "--package" ]; then
  packages=(build-essential cmake ninja-build pkg-config libc-ares-dev libhiredis-dev libpsl-dev libidn2-dev
            qt6-base-dev qt6-charts-dev libqt6opengl6-dev dpkg-dev file)
fi
if [ "${1:-}" = "--runtime-only" ]; then
  packages=(build-essential cmake ninja-build pkg-config libc-ares-dev libhiredis-dev libpsl-dev libidn2-dev
            qt6-base-dev qt6-charts-dev libqt6opengl6-dev fonts-dejavu-core netbase)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
