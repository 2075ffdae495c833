# Shared by scripts/run.sh and scripts/screenshots.sh (sourced, not run): the
# fake mail world of examples/demo.world on loopback and a demo project made
# from examples/recipients.csv, with settings of its own.

# start_demo_world BUILD WORK: starts mv-fakeworld and sets DEMO_WORLD_PID,
# DEMO_DNS_HOST, DEMO_DNS_PORT and DEMO_SMTP_PORT. The caller stops it.
start_demo_world() {
  local build=$1 work=$2 ready
  "$build/tools/fakeworld/mv-fakeworld" --world examples/demo.world >"$work/world" 2>/dev/null &
  DEMO_WORLD_PID=$!
  for _ in $(seq 100); do grep -q '^ready' "$work/world" && break; sleep 0.05; done
  ready=$(grep '^ready' "$work/world")
  local dns=${ready#*dns=}
  dns=${dns%% *}
  DEMO_DNS_HOST=${dns%:*}
  DEMO_DNS_PORT=${dns#*:}
  DEMO_SMTP_PORT=${ready##*smtp=}
}

# make_demo_project BUILD WORK TIMEOUT: WORK/demo.mlt from the example list,
# and settings in WORK/config (use it as XDG_CONFIG_HOME) with a sender
# address and a time-out of TIMEOUT seconds.
make_demo_project() {
  local build=$1 work=$2 timeout=$3 cli="$1/cli/mailvetter-cli"
  XDG_CONFIG_HOME="$work/config" "$cli" settings Connection/From "Demo <demo@mailvetter.test>" >/dev/null
  XDG_CONFIG_HOME="$work/config" "$cli" settings Connection/TimeOut "$timeout" >/dev/null
  "$cli" import examples/recipients.csv --to "$work/demo.mlt" >/dev/null
}

# The window's options that point it at the demo world.
demo_window_options() {
  echo --dns "$DEMO_DNS_HOST" --dns-port "$DEMO_DNS_PORT" --smtp-port "$DEMO_SMTP_PORT"
}
