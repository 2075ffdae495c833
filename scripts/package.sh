#!/usr/bin/env bash
# Builds the Debian package into the folder given (default: build/packages):
#   scripts/package.sh [OUTDIR]
# A build folder of its own (build/package, Release, no tests) installed under
# /usr; CPack strips the programs and takes the dependencies from their
# shared libraries (dpkg-shlibdeps). Prints the package's path at the end.
#   BUILD  an already built tree to package instead (for the tests)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/packages}
mkdir -p "$out"
out=$(cd "$out" && pwd)

build=${BUILD:-}
if [ -z "$build" ]; then
  scripts/install-deps.sh --package
  build=build/package
  launcher=()
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake -S . -B "$build" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DMV_BUILD_TESTS=OFF -DMV_BUILD_BENCH=OFF -DMV_FUZZ=OFF -DMV_SANITIZE=OFF >/dev/null
  cmake --build "$build" -j "${JOBS:-$(nproc)}"
fi
build=$(cd "$build" && pwd)
cd "$build"
# CPack's own work folder stays inside the build tree; only the .deb goes out.
rm -rf _cpack
cpack -G DEB -B "$build/_cpack" >"$build/_cpack.log" 2>&1 || {
  cat "$build/_cpack.log" >&2
  exit 1
}
deb=$(ls "$build/_cpack"/mailvetter_*.deb)
cp "$deb" "$out/"
echo "$out/$(basename "$deb")"
