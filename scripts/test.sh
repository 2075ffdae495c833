#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice (a normal
# build, and a clang build with AddressSanitizer and UndefinedBehaviorSanitizer
# that also builds the libFuzzer targets), then runs each fuzzer briefly.
#   FUZZ_SECONDS   seconds per fuzz target (default 20; 0 skips fuzzing)
#   JOBS           parallel build and test jobs (default: number of cores)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-$(nproc)}
fuzz_seconds=${FUZZ_SECONDS:-20}

scripts/install-deps.sh

step() { printf '\n==== %s ====\n' "$*"; }
start=$(date +%s)

step "normal build (g++)"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$jobs"
step "tests (normal build)"
ctest --test-dir build/release --output-on-failure -j "$jobs"

step "screenshots of the window under Xvfb"
BUILD=build/release scripts/screenshots.sh build/screenshots

step "sanitizer and fuzzer build (clang, ASan + UBSan)"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++-14 -DMV_SANITIZE=ON -DMV_FUZZ=ON -DMV_BUILD_BENCH=OFF >/dev/null
cmake --build build/asan -j "$jobs"
step "tests (ASan + UBSan)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

if [ "$fuzz_seconds" -gt 0 ]; then
  step "fuzzing, ${fuzz_seconds}s per target"
  for fuzzer in build/asan/tests/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    case "$fuzzer" in *_replay) continue ;; esac
    name=$(basename "$fuzzer")
    corpus="$root/tests/fuzz/corpus/${name#fuzz_}"
    work=$(mktemp -d)
    echo "-- $name"
    "$fuzzer" -max_total_time="$fuzz_seconds" -rss_limit_mb=512 -timeout=2 \
      -artifact_prefix="$root/build/asan/" -print_final_stats=1 "$work" "$corpus" 2>&1 | tail -n 3
    rm -rf "$work"
  done
fi

step "all tests passed in $(( $(date +%s) - start ))s"
