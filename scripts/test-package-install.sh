#!/usr/bin/env bash
# Installs the Debian package on a fresh Debian 12 as a user would, and runs
# it there:
#   scripts/test-package-install.sh [PACKAGE.deb]
# (default: the one scripts/package.sh builds into build/packages). Makes a
# throw-away root with `debootstrap --variant=minbase bookworm`, installs the
# package with `apt-get install ./mailvetter_*.deb` and man-db, then checks
# `mailvetter-cli --version`, `man mailvetter-cli` and an offscreen start of
# the window. Skips with a message where debootstrap cannot run (not root, no
# debootstrap, no way to the archive). Takes about 3 to 5 minutes, most of it
# downloading.
#   MIRROR      the Debian archive (default http://deb.debian.org/debian)
#   KEEP_ROOT   set: keep the root (build/package-root) for a look afterwards
set -euo pipefail
cd "$(dirname "$0")/.."
skip() { echo "SKIP: $*" >&2; exit 0; }
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "debootstrap and chroot need root"
command -v debootstrap >/dev/null || skip "debootstrap is not installed (scripts/install-deps.sh)"
deb=${1:-}
if [ -z "$deb" ]; then deb=$(scripts/package.sh build/packages | tail -n 1); fi
[ -f "$deb" ] || fail "no package $deb"

root=$(pwd)/build/package-root
cleanup() {
  umount "$root/proc" 2>/dev/null || true
  [ -n "${KEEP_ROOT:-}" ] || rm -rf "$root"
}
trap cleanup EXIT
rm -rf "$root"
mkdir -p "$root"
start=$(date +%s)
echo "debootstrap --variant=minbase bookworm $root ..." >&2
if ! debootstrap --variant=minbase bookworm "$root" "${MIRROR:-http://deb.debian.org/debian}" \
  >"$root.log" 2>&1; then
  tail -n 5 "$root.log" >&2
  skip "debootstrap could not make the root (see $root.log)"
fi
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
in_root apt-get update -qq
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
  "./tmp/$(basename "$deb")" man-db >/dev/null || fail "apt-get install of the package failed"

version=$(in_root mailvetter-cli --version)
[ "$version" = "mailvetter-cli 1.0.0.41" ] || fail "mailvetter-cli --version says '$version'"
in_root man -P cat mailvetter-cli 2>/dev/null | grep -q "mailvetter-cli check" ||
  fail "man mailvetter-cli does not show the page"
# The window starts offscreen and keeps running until it is ended.
in_root env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp timeout 5 mailvetter >"$root/tmp/gui.log" 2>&1 &&
  fail "the window ended by itself: $(cat "$root/tmp/gui.log")"
status=$?
[ $status -eq 124 ] || fail "the window failed to start (status $status): $(cat "$root/tmp/gui.log")"
echo "installed and ran in a fresh bookworm root in $(($(date +%s) - start)) s"
