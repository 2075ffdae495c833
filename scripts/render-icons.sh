#!/usr/bin/env bash
# Renders every PNG of the program's artwork from its SVG source and writes the
# Qt resource file that lists them. The PNGs are committed, so building needs
# none of this; run it after changing an SVG under data/icons or data/splash.
#
# Needs rsvg-convert (Debian package librsvg2-bin) and, for the splash
# picture's line of small text, the DejaVu Sans font (fonts-dejavu-core).
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v rsvg-convert >/dev/null; then
  echo "render-icons.sh: rsvg-convert is missing; install it with" >&2
  echo "  apt-get install --no-install-recommends librsvg2-bin" >&2
  exit 1
fi

icons=data/icons
qrc=ui/resources/mailvetter.qrc

# Installed into the hicolor theme: the program and its project file.
installed_sizes=(16 22 24 32 48 64 128 256)
# Loaded by the window only, from its resources.
toolbar_icons=(document-new document-open document-save edit-find
  media-playback-start process-stop preferences-system)
toolbar_sizes=(16 22 24 32 48)
list_icons=(result-valid result-failed result-checking
  verdict-deliverable verdict-risky verdict-undeliverable verdict-unknown)
list_sizes=(16 32)

# Writes NAME at SIZE pixels to OUT. A source NAME-SIZE.svg, where there is
# one, is a drawing made for that size and wins over the general NAME.svg.
render() {
  local name=$1 size=$2 out=$3 source=$icons/$1.svg
  if [ -f "$icons/$name-$size.svg" ]; then source=$icons/$name-$size.svg; fi
  mkdir -p "$(dirname "$out")"
  rsvg-convert --width "$size" --height "$size" --output "$out" "$source"
}

resource_lines=()
# Adds FILE to the resource list under :/icons/ALIAS.
add_resource() { resource_lines+=("    <file alias=\"$2\">../../$1</file>"); }

for size in "${installed_sizes[@]}"; do
  dir=$icons/hicolor/${size}x$size
  render mailvetter "$size" "$dir/apps/mailvetter.png"
  render application-x-mailvetter-project "$size" \
    "$dir/mimetypes/application-x-mailvetter-project.png"
  add_resource "$dir/apps/mailvetter.png" "$size/mailvetter.png"
done
for name in "${toolbar_icons[@]}"; do
  for size in "${toolbar_sizes[@]}"; do
    out=$icons/window/${size}x$size/$name.png
    render "$name" "$size" "$out"
    add_resource "$out" "$size/$name.png"
  done
done
for name in "${list_icons[@]}"; do
  for size in "${list_sizes[@]}"; do
    out=$icons/window/${size}x$size/$name.png
    render "$name" "$size" "$out"
    add_resource "$out" "$size/$name.png"
  done
done
rsvg-convert --width 440 --height 250 --output data/splash/splash.png \
  data/splash/splash.svg

mkdir -p "$(dirname "$qrc")"
{
  echo '<!DOCTYPE RCC>'
  echo '<!-- Written by scripts/render-icons.sh: the artwork under stable resource'
  echo '     paths, :/icons/SIZE/NAME.png and :/splash/splash.png. -->'
  echo '<RCC version="1.0">'
  echo '  <qresource prefix="/icons">'
  printf '%s\n' "${resource_lines[@]}"
  echo '  </qresource>'
  echo '  <qresource prefix="/splash">'
  echo '    <file alias="splash.png">../../data/splash/splash.png</file>'
  echo '  </qresource>'
  echo '</RCC>'
} >"$qrc"
echo "Rendered the artwork and wrote $qrc"
