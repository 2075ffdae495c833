#!/usr/bin/env bash
# Installs what is missing, builds the command-line program and runs it.
#
# Without arguments it runs a demo that needs no network: it starts the fake
# mail world of examples/demo.world on loopback and checks the small list
# examples/recipients.csv against it. With arguments it runs mailvetter-cli
# with them (see scripts/run.sh --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --runtime-only
# A build folder of its own: scripts/test.sh configures build/release with the
# tests, this one without.
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMV_BUILD_TESTS=OFF -DMV_BUILD_BENCH=OFF >/dev/null
cmake --build build/run --target mailvetter-cli mv-fakeworld -j "$(nproc)"
cli=build/run/cli/mailvetter-cli
if [ $# -gt 0 ]; then exec "$cli" "$@"; fi

work=$(mktemp -d)
trap 'kill "$world" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
build/run/tools/fakeworld/mv-fakeworld --world examples/demo.world >"$work/world" 2>/dev/null &
world=$!
for _ in $(seq 100); do grep -q '^ready' "$work/world" && break; sleep 0.05; done
ready=$(grep '^ready' "$work/world")
dns=${ready#*dns=}; dns=${dns%% *}
smtp=${ready##*smtp=}
echo "Demo: checking examples/recipients.csv against a fake mail world on ${dns%:*}" >&2
XDG_CONFIG_HOME="$work/config" "$cli" check examples/recipients.csv \
  --from "Demo <demo@mailvetter.test>" --dns "${dns%:*}" --dns-port "${dns#*:}" \
  --smtp-port "$smtp" --timeout 2
