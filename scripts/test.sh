#!/usr/bin/env bash
# Installs what is missing, checks the house style, then builds and runs every
# test twice (a normal g++ build, and a clang build with AddressSanitizer and
# UndefinedBehaviorSanitizer that also builds the libFuzzer targets), then runs
# each fuzzer briefly. Compiler warnings are errors in both builds.
#   FUZZ_SECONDS   seconds per fuzz target (default 20; 0 skips fuzzing)
#   JOBS           parallel build and test jobs (default: number of cores)
#   SKIP_PACKAGE_INSTALL  set: leave out installing the package in a fresh root
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${JOBS:-$(nproc)}
export JOBS=$jobs
fuzz_seconds=${FUZZ_SECONDS:-20}

scripts/install-deps.sh

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

start=$(date +%s)
step_name=""
step_start=$start
step_cpu=0
timings=""
times_file=$(mktemp)
trap 'rm -f "$times_file"' EXIT
# Sets `cpu` to the processor seconds (user + system) that the finished
# commands have used so far.
read_cpu() {
  times >"$times_file"  # the builtin, in this shell: in a subshell it would count nothing
  cpu=$(awk 'NR == 2 { split($1, u, /[ms]/); split($2, s, /[ms]/)
                       printf "%d", u[1] * 60 + u[2] + s[1] * 60 + s[2] + 0.5 }' "$times_file")
}
# Prints a heading and closes the timing of the step before (wall and
# processor time: the machine may be shared).
step() {
  local now cpu
  now=$(date +%s)
  read_cpu
  if [ -n "$step_name" ]; then
    timings+=$(printf '  %5ss wall %5ss cpu  %s' "$((now - step_start))" "$((cpu - step_cpu))" "$step_name")$'\n'
  fi
  step_name="$*"
  step_start=$now
  step_cpu=$cpu
  [ -n "$step_name" ] && printf '\n==== %s ====\n' "$step_name"
  return 0
}

step "style: clang-format"
scripts/check-style.sh format

step "normal build (g++)"
cmake -S . -B build/release -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMV_BUILD_TESTS=ON -DMV_BUILD_BENCH=ON -DMV_SANITIZE=OFF -DMV_FUZZ=OFF -DMV_WERROR=ON >/dev/null
cmake --build build/release -j "$jobs"
step "tests (normal build)"
ctest --test-dir build/release --output-on-failure --no-tests=error -j "$jobs"
# Every test carries a label, so that `ctest -L unit` and the others leave none out.
count() { ctest --test-dir build/release -N "$@" | sed -n 's/^Total Tests: //p'; }
if [ "$(count)" != "$(count -L '^(unit|integration|fuzz-replay|style)$')" ]; then
  echo "tests without a label:" >&2
  diff <(ctest --test-dir build/release -N | grep 'Test *#') \
    <(ctest --test-dir build/release -N -L '^(unit|integration|fuzz-replay|style)$' |
      grep 'Test *#') >&2 || true
  exit 1
fi

step "Debian package installed in a fresh Debian 12 root"
# Needs root and the Debian archive (skips with a message otherwise); about
# 3 to 5 minutes, most of it downloading.
if [ -n "${SKIP_PACKAGE_INSTALL:-}" ]; then
  echo "skipped (SKIP_PACKAGE_INSTALL is set)"
else
  scripts/test-package-install.sh "$(BUILD=build/release scripts/package.sh build/packages | tail -n 1)"
fi

step "style: clang-tidy"
scripts/check-style.sh tidy build/release

step "screenshots of the window under Xvfb"
BUILD=build/release scripts/screenshots.sh build/screenshots

step "sanitizer and fuzzer build (clang, ASan + UBSan)"
cmake -S . -B build/asan -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++-14 -DMV_BUILD_TESTS=ON -DMV_BUILD_BENCH=OFF -DMV_SANITIZE=ON \
  -DMV_FUZZ=ON -DMV_WERROR=ON >/dev/null
cmake --build build/asan -j "$jobs"
step "tests (ASan + UBSan)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure --no-tests=error -j "$jobs"

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

step ""
printf '\n==== all tests passed in %ss ====\n%s' "$(($(date +%s) - start))" "$timings"
