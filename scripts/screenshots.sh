#!/usr/bin/env bash
# Pictures of the real program: starts mailvetter under Xvfb (a real X
# server) and writes PNG screenshots to DIR:
#   01-new-project.png   the main window as it starts, with a new project
#   02-running.png       the demo project while it is checked against the fake mail world
#   03-finished.png      the same window after the run
#   04-log.png           the log window of a checked row
#   05-properties.png    the properties dialog of that row
#   06-find.png          the find dialog over the window
#   07-recent-files.png  the File menu with the recently used files (whole screen)
#   08-splash.png        the splash window as the program starts
#   09-options-connection.png, 10-options-dns.png, 11-options-proxy.png
#                        the pages of the options dialog
#   12-about.png         the About box
#   13-import-text.png   the import dialog over examples/recipients.csv
#   14-import-dbase.png  the import dialog over a dBase table
#   15-export.png        the export dialog
#   16-verdict-tooltip.png the window after the run: the verdict icons, and the
#                        tool tip of a result (whole screen)
#   17-options-checks.png the options dialog's page "Checks"
#   18-summary.png       the summary window after the run: the verdicts
#   19-summary-reasons.png, 20-summary-domains.png, 21-summary-table.png
#                        its other pages
#   22-preflight.png     the pre-flight check (Tools > Check This Computer...)
#   23-imported.png      a new project after importing examples/recipients.csv:
#                        the Email column as wide as its longest address
#   24-show-menu.png     Search > Show, the filter of the rows shown (whole screen)
#   25-show-filtered.png the window showing the undeliverable rows only
#   26-journal.png       the question when the demo project, checked but not
#                        saved before the program was killed, is opened again
#   27-options-cluster.png the options dialog's page "Cluster"
#   28-summary-flags.png the summary window's flags and mail providers
# Fails when a picture is missing or all one colour.
#   scripts/screenshots.sh DIR
#   BUILD   build folder (default build/release)
set -euo pipefail
out=${1:?usage: scripts/screenshots.sh DIR}
cd "$(dirname "$0")/.."
mkdir -p "$out"
out=$(cd "$out" && pwd)
scripts/install-deps.sh
build=${BUILD:-build/release}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target mailvetter mailvetter-cli mv-fakeworld mv-screenshot \
  -j "${JOBS:-$(nproc)}"
rm -f "$out"/[0-9][0-9]-*.png

. scripts/demo-lib.sh
work=$(mktemp -d)
DEMO_WORLD_PID=""
trap 'kill "$DEMO_WORLD_PID" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
start_demo_world "$build" "$work"
timeout=3  # the silent mail host of the demo ends as a time-out after two or three times this
make_demo_project "$build" "$work" "$timeout"
# Projects used before, for the recently used files of the File menu.
cp "$work/demo.mlt" "$work/customers.mlt"
cp "$work/demo.mlt" "$work/newsletter.mlt"
printf '[MRU]\n0=%s\n1=%s\nTotal=2\n' "$work/customers.mlt" "$work/newsletter.mlt" \
  >>"$work/config/Corvane/Mailvetter.ini"
# A proxy to show on the options dialog's page "Proxy", switched off for the run.
# A cluster's Redis server, for the page "Cluster" and File > Check on the Cluster.
for setting in Proxy/Server=proxy.example.test Proxy/User=demo Proxy/Password=secret \
  Cluster/Redis=redis://10.0.0.2:6379 Cluster/User=checker Cluster/Password=secret; do
  XDG_CONFIG_HOME="$work/config" "$build/cli/mailvetter-cli" settings "${setting%%=*}" \
    "${setting#*=}" >/dev/null
done
cp examples/recipients.csv "$work/recipients.csv"
# A table with the list's columns as fields (no row is valid yet, so it has
# no records: the dialog shows its fields).
XDG_CONFIG_HOME="$work/config" "$build/cli/mailvetter-cli" export "$work/demo.mlt" --to "$work/people.dbf" >/dev/null 2>&1

# Runs inside the X session that xvfb-run starts.
cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
app=$BUILD_DIR/app/mailvetter
shot=$BUILD_DIR/tests/ui/mv-screenshot
wait_window() {  # the id of the visible window whose caption starts with $1
  # Polls rather than "search --sync": a window that closes while xdotool
  # looks at it (the file dialog before the import dialog) makes one search
  # fail with BadWindow, which only means "look again".
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "screenshots: no window '$1' appeared" >&2; exit 1
}
wait_splash_gone() {  # the main window takes input once the splash has closed
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^Mailvetter$' >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "screenshots: the splash window did not close" >&2; exit 1
}
menu_key() {  # WINDOW MENU-KEY ENTRY-KEY: chooses a menu entry by its access keys
  xdotool windowfocus --sync "$1"
  xdotool key --clearmodifiers "alt+$2"
  sleep 0.5
  xdotool key --clearmodifiers "$3"
}
wait_other_window() {  # like wait_window, but not the window $2
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "^$1" 2>/dev/null | grep -vx "$2" | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "screenshots: no second window '$1' appeared" >&2; exit 1
}
# shoot_window ID FILE [SETTLE]: lets the window settle (0.5 s unless
# given), takes its picture as FILE and closes it with Escape.
shoot_window() {
  sleep "${3:-0.5}"
  "$shot" "$OUT/$2" "$1"
  xdotool windowfocus --sync "$1" key --clearmodifiers Escape
  sleep 0.5
}
# shoot_dialog CAPTION FILE [SETTLE]: the same for the window CAPTION once it
# has appeared.
shoot_dialog() {
  shoot_window "$(wait_window "$1")" "$2" "${3:-0.5}"
}
# choose_file MENU-KEY TITLE PATH: opens a command of the File menu and
# types PATH into its file dialog; prints the dialog's window id.
choose_file() {
  local files
  xdotool windowfocus --sync "$wid"
  xdotool key --clearmodifiers alt+f
  sleep 0.5
  xdotool key --clearmodifiers "$1"
  files=$(wait_window "$2")
  sleep 0.5
  xdotool type --delay 5 "$3"
  xdotool key --clearmodifiers Return
  echo "$files"
}
"$app" & pid=$!
splash=$(wait_window 'Mailvetter$')
sleep 0.5  # painted; it stays for two seconds
"$shot" "$OUT/08-splash.png" "$splash"
wid=$(wait_window 'Mailvetter - \[New Project\]')
wait_splash_gone
sleep 0.5  # first paint
"$shot" "$OUT/01-new-project.png" "$wid"

menu_key "$wid" t o  # Tools > Options...
dialog=$(wait_window 'Options$')
sleep 0.5
for page in connection dns proxy checks cluster; do
  if [ "$page" = proxy ]; then  # "&Use a SOCKS proxy" on; Cancel forgets it
    xdotool key --clearmodifiers alt+u
    sleep 0.3
  fi
  "$shot" "$OUT/$page.png" "$dialog"
  xdotool key --clearmodifiers ctrl+Tab
  sleep 0.5
done
mv "$OUT/connection.png" "$OUT/09-options-connection.png"
mv "$OUT/dns.png" "$OUT/10-options-dns.png"
mv "$OUT/proxy.png" "$OUT/11-options-proxy.png"
mv "$OUT/checks.png" "$OUT/17-options-checks.png"
mv "$OUT/cluster.png" "$OUT/27-options-cluster.png"
xdotool key --clearmodifiers Escape
sleep 0.5

menu_key "$wid" h a  # Help > About Mailvetter....
shoot_dialog 'About Mailvetter$' 12-about.png

choose_file i 'Open Recipient List' "$WORK/recipients.csv" >/dev/null
shoot_dialog 'Import Recipient List' 13-import-text.png 1
choose_file i 'Open Recipient List' "$WORK/people.dbf" >/dev/null
shoot_dialog 'Import Recipient List' 14-import-dbase.png 1
files=$(choose_file e 'Export Recipient List' "$WORK/valid.txt")
shoot_window "$(wait_other_window 'Export Recipient List' "$files")" 15-export.png 1
# The list imported for real: its columns made to fit the addresses.
choose_file i 'Open Recipient List' "$WORK/recipients.csv" >/dev/null
dialog=$(wait_window 'Import Recipient List')
sleep 1
xdotool windowfocus --sync "$dialog" key --clearmodifiers alt+i
sleep 1.5
"$shot" "$OUT/23-imported.png" "$wid"
kill "$pid"; wait "$pid" || true

# shellcheck disable=SC2086
"$app" $WINDOW_OPTIONS "$WORK/demo.mlt" & pid=$!
wid=$(wait_window 'Mailvetter - \[demo.mlt\]')
wait_splash_gone
sleep 0.5
xdotool windowfocus --sync "$wid"
xdotool key --clearmodifiers alt+f
sleep 0.5
xdotool key --clearmodifiers c  # File > Check
sleep 1.5  # the valid and refused rows are done, the silent host is still waited for
"$shot" "$OUT/02-running.png" "$wid"
sleep $((2 * TIMEOUT + 3))
"$shot" "$OUT/03-finished.png" "$wid"
# The result of the eighth row (a block list's refusal) under the mouse: its
# tool tip. Rows are 18 pixels high, the first one's middle 77 pixels down.
xdotool mousemove --window "$wid" 300 $((77 + 7 * 18))
sleep 2
"$shot" "$OUT/16-verdict-tooltip.png"

# The third row (checked, valid) selected: a click on its Result, away from
# its check mark, 118 pixels down past the menu, the tool bar and the header.
xdotool mousemove --window "$wid" 200 118 click 1
sleep 0.5
menu() {  # in the main window, presses the keys of a menu path one after the other
  xdotool windowfocus --sync "$wid"
  xdotool key --clearmodifiers "$1"; shift
  for key in "$@"; do sleep 0.3; xdotool key --clearmodifiers "$key"; done
}
menu alt+f r v
shoot_dialog 'Log of' 04-log.png
menu alt+f r p
shoot_dialog 'Properties' 05-properties.png
menu alt+s f
id=$(wait_window 'Find$')
xdotool windowfocus --sync "$id" type --delay 20 'example'
sleep 0.5
"$shot" "$OUT/06-find.png"  # the whole screen: the dialog over the window
xdotool windowfocus --sync "$id" key --clearmodifiers Escape
sleep 0.3
menu alt+f
sleep 0.8
"$shot" "$OUT/07-recent-files.png"
xdotool key --clearmodifiers Escape
sleep 0.3
menu alt+t s  # Tools > Summary...
id=$(wait_window 'Summary$')
sleep 1
"$shot" "$OUT/18-summary.png" "$id"
for page in r:19-summary-reasons d:20-summary-domains f:28-summary-flags a:21-summary-table; do  # the pages by their access keys
  xdotool windowfocus --sync "$id" key --clearmodifiers "alt+${page%%:*}"
  sleep 0.8
  "$shot" "$OUT/${page#*:}.png" "$id"
done
xdotool windowfocus --sync "$id" key --clearmodifiers Escape
sleep 0.3
menu alt+t c  # Tools > Check This Computer...: the demo world answers at once
shoot_dialog 'Check This Computer$' 22-preflight.png 1.5
menu alt+s h  # Search > Show
sleep 0.8
"$shot" "$OUT/24-show-menu.png"
xdotool key --clearmodifiers u  # Undeliverable
sleep 0.8
"$shot" "$OUT/25-show-filtered.png" "$wid"
kill "$pid"; wait "$pid" || true

# The run above was never saved: its journal is offered.
# shellcheck disable=SC2086
"$app" $WINDOW_OPTIONS "$WORK/demo.mlt" & pid=$!
shoot_dialog 'Confirm$' 26-journal.png 2.5
kill "$pid"; wait "$pid" || true
SESSION
# -noreset: the server stays as it is when the first program ends, so the
# second can connect at once.
BUILD_DIR=$(cd "$build" && pwd) OUT=$out WORK=$work TIMEOUT=$timeout \
  WINDOW_OPTIONS=$(demo_window_options) XDG_CONFIG_HOME="$work/config" \
  XDG_STATE_HOME="$work/state" \
  timeout 120 xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$work/session.sh"

for name in 01-new-project 02-running 03-finished 04-log 05-properties 06-find 07-recent-files \
  08-splash 09-options-connection 10-options-dns 11-options-proxy 12-about 13-import-text \
  14-import-dbase 15-export 16-verdict-tooltip 17-options-checks 18-summary 19-summary-reasons \
  20-summary-domains 21-summary-table 22-preflight 23-imported 24-show-menu 25-show-filtered \
  26-journal 27-options-cluster 28-summary-flags; do
  [ -s "$out/$name.png" ] || { echo "screenshots: $name.png is missing" >&2; exit 1; }
done
echo "screenshots in $out"
