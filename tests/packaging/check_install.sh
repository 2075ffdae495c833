#!/usr/bin/env bash
# `cmake --install` of a built tree into a scratch prefix, checked as the
# desktop would use it:
#   check_install.sh BUILD_DIR SOURCE_DIR
# every file in its place, the desktop entry and the AppStream data valid, a
# project recognised by its name and by its first bytes, both manual pages
# rendering cleanly and describing every option that --help names, and the
# program finding its help page from where it is installed.
set -euo pipefail
build=$1
src=$2
for tool in desktop-file-validate appstreamcli update-mime-database gio man; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/install-deps.sh)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
while read -r file; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done <"$src/tests/packaging/installed_files.txt"

desktop-file-validate "$prefix/share/applications/example.corvane.Mailvetter.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net "$prefix/share/metainfo/example.corvane.Mailvetter.metainfo.xml" ||
  fail "appstreamcli validate"

# The help page, where the installed program looks for it (see app_info.h).
[ -f "$prefix/bin/../share/doc/mailvetter/index.html" ] || fail "help page beside bin/"

# A project made by the program is known by its name, and by its first bytes
# when its name says nothing.
update-mime-database "$prefix/share/mime" 2>/dev/null
XDG_CONFIG_HOME=$work/config "$prefix/bin/mailvetter-cli" import \
  "$src/examples/recipients.csv" --to "$work/list.mlt" 2>/dev/null
cp "$work/list.mlt" "$work/list.bin"
for f in list.mlt list.bin; do
  type=$(XDG_DATA_DIRS=$prefix/share:/usr/share XDG_DATA_HOME=$work/none \
    gio info -a standard::content-type "$work/$f" | sed -n 's/.*standard::content-type: //p')
  [ "$type" = application/x-mailvetter-project ] || fail "$f is taken for '$type'"
done

# Both pages render without a warning, and every option of --help is in its
# page ("\-\-name" in the source).
for page in mailvetter mailvetter-cli; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page(1): $warnings"
done
options_of() { "$@" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u; }
in_page() {
  local page=$1 option
  shift
  for option in "$@"; do
    # grep reads to the end: an early exit (-q) would cut zcat off with
    # SIGPIPE, which pipefail takes for a failure once the page is long.
    zcat "$prefix/share/man/man1/$page.1.gz" | grep -F -- "${option//-/\\-}" >/dev/null ||
      fail "$page(1) does not describe $option"
  done
}
# shellcheck disable=SC2046
in_page mailvetter $(options_of "$prefix/bin/mailvetter")
commands=$("$prefix/bin/mailvetter-cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]*\) .*/\1/p')
[ -n "$commands" ] || fail "mailvetter-cli --help lists no commands"
for command in $commands; do
  zcat "$prefix/share/man/man1/mailvetter-cli.1.gz" | grep -x "\.SS $command" >/dev/null ||
    fail "mailvetter-cli(1) has no section for $command"
  # shellcheck disable=SC2046
  in_page mailvetter-cli $(options_of "$prefix/bin/mailvetter-cli" "$command")
done
echo "installed layout, desktop entry, AppStream data, MIME type and manual pages are fine"
