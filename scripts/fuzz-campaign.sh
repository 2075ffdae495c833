#!/usr/bin/env bash
# A longer fuzzing campaign than the short runs of scripts/test.sh:
#   scripts/fuzz-campaign.sh SECONDS [JOBS]
# runs every libFuzzer target of the sanitizer build for SECONDS each, JOBS
# targets at a time (default: the number of processors), each from its seed
# corpus in tests/fuzz/corpus/<name>/. Afterwards the new inputs that reach
# code the corpus did not are merged into that folder (-merge=1), so that the
# next campaign, and every CTest replay, starts from them. Inputs that crash
# are kept in build/fuzz-campaign/ and named in the summary; the exit status is
# 1 when there is any.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:?usage: scripts/fuzz-campaign.sh SECONDS [JOBS]}
jobs=${2:-$(nproc)}
case "$seconds$jobs" in *[!0-9]*) echo "SECONDS and JOBS are whole numbers" >&2; exit 2 ;; esac
[ "$seconds" -gt 0 ] && [ "$jobs" -gt 0 ] || { echo "SECONDS and JOBS must be above 0" >&2; exit 2; }

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
# The same configuration as the sanitizer build of scripts/test.sh.
cmake -S . -B build/asan -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++-14 -DMV_BUILD_TESTS=ON -DMV_BUILD_BENCH=OFF -DMV_SANITIZE=ON \
  -DMV_FUZZ=ON -DMV_WERROR=ON >/dev/null
cmake --build build/asan -j "$jobs" --target fuzzers

out="$root/build/fuzz-campaign"
rm -rf "$out"
mkdir -p "$out"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# One target: fuzz into a fresh folder (the seed corpus read beside it), then
# merge what is new into the seed corpus. Its log and crashes go to $out/NAME.
campaign() {
  local fuzzer=$1 name corpus work log
  name=$(basename "$fuzzer")
  corpus="$root/tests/fuzz/corpus/${name#fuzz_}"
  work="$out/$name/new"
  log="$out/$name/log"
  mkdir -p "$work" "$corpus"
  "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=512 -timeout=2 -print_final_stats=1 \
    -artifact_prefix="$out/$name/" "$work" "$corpus" >"$log" 2>&1 || true
  "$fuzzer" -merge=1 -rss_limit_mb=512 -timeout=2 -artifact_prefix="$out/$name/" \
    "$corpus" "$work" >>"$log" 2>&1 || true
  echo "-- $name done"
}

fuzzers=()
for fuzzer in build/asan/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  case "$fuzzer" in *_replay) continue ;; esac
  fuzzers+=("$root/$fuzzer")
done
[ ${#fuzzers[@]} -gt 0 ] || { echo "no fuzz targets in build/asan/tests/fuzz" >&2; exit 1; }
echo "${#fuzzers[@]} targets, ${seconds}s each, $jobs at a time"

declare -A before
for fuzzer in "${fuzzers[@]}"; do
  name=$(basename "$fuzzer")
  before[$name]=$(find "tests/fuzz/corpus/${name#fuzz_}" -type f 2>/dev/null | wc -l)
done
running=0
for fuzzer in "${fuzzers[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  campaign "$fuzzer" &
  running=$((running + 1))
done
wait

crashes=0
printf '\n%-28s %12s %8s %s\n' target executions added crashes
for fuzzer in "${fuzzers[@]}"; do
  name=$(basename "$fuzzer")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name/log" | head -n 1)
  after=$(find "tests/fuzz/corpus/${name#fuzz_}" -type f | wc -l)
  found=$(find "$out/$name" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' \
    -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
  printf '%-28s %12s %8s %s\n' "$name" "${runs:-?}" "$((after - ${before[$name]}))" \
    "$(echo "$found" | grep -c . || true)"
  for input in $found; do
    echo "   $input"
    crashes=$((crashes + 1))
  done
done
echo "logs in $out"
[ "$crashes" -eq 0 ]
