#!/usr/bin/env bash
# Installs what is missing, builds the command-line program and runs it.
# Without arguments it shows the mail exchangers of example.com; any arguments
# are passed to mailvetter-cli instead (see mailvetter-cli --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --runtime-only
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMV_BUILD_TESTS=OFF -DMV_BUILD_BENCH=OFF >/dev/null
cmake --build build/release --target mailvetter-cli -j "$(nproc)"
if [ $# -eq 0 ]; then set -- mx example.com; fi
exec build/release/cli/mailvetter-cli "$@"
