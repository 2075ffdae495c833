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
rm -f "$out"/0[1-7]-*.png

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

# Runs inside the X session that xvfb-run starts.
cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
app=$BUILD_DIR/app/mailvetter
shot=$BUILD_DIR/tests/ui/mv-screenshot
wait_window() {  # the id of the visible window whose caption starts with $1
  local id
  id=$(timeout 30 xdotool search --sync --onlyvisible --name "^$1" | head -n 1)
  [ -n "$id" ] || { echo "screenshots: no window '$1' appeared" >&2; exit 1; }
  echo "$id"
}
"$app" & pid=$!
wid=$(wait_window 'Mailvetter - \[New Project\]')
sleep 1  # first paint
"$shot" "$OUT/01-new-project.png" "$wid"
kill "$pid"; wait "$pid" || true

# shellcheck disable=SC2086
"$app" $WINDOW_OPTIONS "$WORK/demo.mlt" & pid=$!
wid=$(wait_window 'Mailvetter - \[demo.mlt\]')
sleep 1
xdotool windowfocus --sync "$wid"
xdotool key --clearmodifiers alt+f
sleep 0.5
xdotool key --clearmodifiers c  # File > Check
sleep 1.5  # the valid and refused rows are done, the silent host is still waited for
"$shot" "$OUT/02-running.png" "$wid"
sleep $((2 * TIMEOUT + 3))
"$shot" "$OUT/03-finished.png" "$wid"

# The third row (checked, valid) selected: a click on its Result, away from
# its check mark, 118 pixels down past the menu, the tool bar and the header.
xdotool mousemove --window "$wid" 200 118 click 1
sleep 0.5
menu() {  # in the main window, presses the keys of a menu path one after the other
  xdotool windowfocus --sync "$wid"
  xdotool key --clearmodifiers "$1"; shift
  for key in "$@"; do sleep 0.3; xdotool key --clearmodifiers "$key"; done
}
dialog_shot() {  # DIALOG-CAPTION FILE: waits for it, takes it, closes it with Escape
  local id
  id=$(wait_window "$1")
  sleep 0.5
  "$shot" "$OUT/$2" "$id"
  xdotool windowfocus --sync "$id" key --clearmodifiers Escape
  sleep 0.5
}
menu alt+f r v
dialog_shot 'Log of' 04-log.png
menu alt+f r p
dialog_shot 'Properties' 05-properties.png
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
kill "$pid"; wait "$pid" || true
SESSION
BUILD_DIR=$(cd "$build" && pwd) OUT=$out WORK=$work TIMEOUT=$timeout \
  WINDOW_OPTIONS=$(demo_window_options) XDG_CONFIG_HOME="$work/config" \
  timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/session.sh"

for name in 01-new-project 02-running 03-finished 04-log 05-properties 06-find 07-recent-files; do
  [ -s "$out/$name.png" ] || { echo "screenshots: $name.png is missing" >&2; exit 1; }
done
echo "screenshots in $out"
