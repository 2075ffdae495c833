#!/usr/bin/env bash
# Installs what is missing, builds the programs and runs a demo.
#
# Without arguments it runs a demo that needs no network: it starts the fake
# mail world of examples/demo.world on loopback and opens the window
# (mailvetter) on a project made from examples/recipients.csv, pointed at that
# world; choose File > Check. Without a display it checks the same list with
# the command-line program instead. With arguments it runs mailvetter-cli with
# them (see scripts/run.sh --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --runtime-only
# A build folder of its own: scripts/test.sh configures build/release with the
# tests, this one without.
build=build/run
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMV_BUILD_TESTS=OFF -DMV_BUILD_BENCH=OFF >/dev/null
targets=(mailvetter-cli mv-fakeworld)
display="${DISPLAY:-}${WAYLAND_DISPLAY:-}"
if [ $# -eq 0 ] && [ -n "$display" ]; then targets+=(mailvetter); fi
cmake --build "$build" --target "${targets[@]}" -j "$(nproc)"
cli=$build/cli/mailvetter-cli
if [ $# -gt 0 ]; then exec "$cli" "$@"; fi

. scripts/demo-lib.sh
work=$(mktemp -d)
DEMO_WORLD_PID=""
trap 'kill "$DEMO_WORLD_PID" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
start_demo_world "$build" "$work"
if [ -n "$display" ]; then
  make_demo_project "$build" "$work" 5
  echo "Demo: the window on examples/recipients.csv, against a fake mail world on $DEMO_DNS_HOST;" \
    "choose File > Check" >&2
  # shellcheck disable=SC2046
  XDG_CONFIG_HOME="$work/config" "$build/app/mailvetter" $(demo_window_options) "$work/demo.mlt"
  exit 0
fi
echo "No display (DISPLAY is not set): the command-line demo instead of the window." >&2
echo "Demo: checking examples/recipients.csv against a fake mail world on $DEMO_DNS_HOST" >&2
XDG_CONFIG_HOME="$work/config" "$cli" check examples/recipients.csv \
  --from "Demo <demo@mailvetter.test>" --dns "$DEMO_DNS_HOST" --dns-port "$DEMO_DNS_PORT" \
  --smtp-port "$DEMO_SMTP_PORT" --timeout 2
