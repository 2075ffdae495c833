#!/usr/bin/env bash
# The Debian package of a built tree (scripts/package.sh with BUILD set):
#   check_package.sh BUILD_DIR SOURCE_DIR
# it holds every installed file under /usr, depends on the shared libraries
# its programs use, passes lintian without an error, and its programs run
# from the unpacked package.
set -euo pipefail
build=$1
src=$2
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$(BUILD=$build "$src/scripts/package.sh" "$work" | tail -n 1)
case $(basename "$deb") in
  mailvetter_*-1_*.deb) ;;
  *) fail "unexpected package name $deb" ;;
esac
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./||' >"$work/contents"
while read -r file; do
  grep -qx "usr/$file" "$work/contents" || fail "the package lacks /usr/$file"
done <"$src/tests/packaging/installed_files.txt"

depends=$(dpkg-deb --field "$deb" Depends)
for lib in libc6 libc-ares2 libidn2-0 libhiredis0.14 libqt6widgets6 qt6-qpa-plugins; do
  [[ $depends == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

# Errors fail; warnings are shown. (A first upload closes no Debian bug.)
if ! report=$(lintian --fail-on error --suppress-tags initial-upload-closes-no-bugs "$deb" 2>&1); then
  echo "$report" >&2
  fail "lintian reports errors"
fi
echo "$report" | grep -v 'running with root privileges' || true

dpkg-deb -x "$deb" "$work/root"
version=$("$work/root/usr/bin/mailvetter-cli" --version)
[ "$version" = "mailvetter-cli 1.0.0.41" ] || fail "mailvetter-cli --version says '$version'"
version=$("$work/root/usr/bin/mailvetter" --version)
[ "$version" = "mailvetter 1.0.0.41" ] || fail "mailvetter --version says '$version'"
echo "$(basename "$deb"): contents, dependencies and lintian are fine"
