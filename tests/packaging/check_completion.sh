#!/usr/bin/env bash
# The bash completion of mailvetter-cli, as bash runs it on a Tab:
#   check_completion.sh COMPLETION_SCRIPT
# commands, options, words, comma lists, and file names by extension.
set -uo pipefail
script=$(realpath "$1") || exit 1
helpers=/usr/share/bash-completion/bash_completion
[ -f "$helpers" ] || { echo "SKIP: bash-completion is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch a.mlt b.csv c.txt d.dbf e.jsonl
mkdir sub

# shellcheck disable=SC1090
. "$helpers"
# shellcheck disable=SC1090
. "$script"
# Outside a real Tab, bash refuses compopt; what it would set is not tested.
compopt() { :; }
# What a Tab after the words offers, sorted, on one line.
offers() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _mailvetter_cli mailvetter-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

failed=0
expect() {
  local want=$1
  shift
  local got
  got=$(offers "$@")
  if [ "$got" != "$want" ]; then
    echo "FAIL: '$*' offers '$got', not '$want'" >&2
    failed=1
  fi
}
expect "check" mailvetter-cli ch
expect "export" mailvetter-cli exp
expect "--format --from" mailvetter-cli check --f
expect "--recheck-deferred" mailvetter-cli check --rech
expect "csv jsonl" mailvetter-cli check --format ""
expect "4 4A 5" mailvetter-cli smtp --socks-level ""
expect "deliverable,risky" mailvetter-cli export a.mlt --verdict deliverable,r
expect "a.mlt sub" mailvetter-cli import b.csv --to ""
expect "a.mlt b.csv c.txt d.dbf sub" mailvetter-cli check ""
expect "c.txt" mailvetter-cli export a.mlt --to c
expect "" mailvetter-cli check --from ""
[ $failed -eq 0 ] && echo "completion offers what each word can be"
exit $failed
