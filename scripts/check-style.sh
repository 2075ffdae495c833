#!/usr/bin/env bash
# The house style, as CI checks it:
#   scripts/check-style.sh format          clang-format over every C++ file
#   scripts/check-style.sh tidy BUILD_DIR  clang-tidy over every source file in
#                                          BUILD_DIR's compile database
# Both fail on any finding. clang-tidy runs one process per core (JOBS
# overrides the count); it takes a few minutes on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}

case "${1:-}" in
  format)
    find . \( -path ./build -o -path ./.git \) -prune -o \( -name '*.cpp' -o -name '*.h' \) \
      -print0 | xargs -0 -r clang-format-14 --dry-run --Werror
    ;;
  tidy)
    build=${2:?usage: scripts/check-style.sh tidy BUILD_DIR}
    database="$build/compile_commands.json"
    [ -f "$database" ] || { echo "no compile database in $build" >&2; exit 2; }
    # Sources of this repository only (a file built twice is checked once), and
    # headers of this repository only, also where the core's layers reach them
    # through their include roots in the build folder; not what the build
    # generates (Qt's moc output, which the window tests include).
    root=$(pwd)
    filter="^($root/(core|cli|tools|tests|bench|ui|app)|$(cd "$build" && pwd)/core/include)/"
    grep -o '"file": *"[^"]*"' "$database" | sed 's/.*"\([^"]*\)"$/\1/' |
      grep "^$root/" | grep -v "^$root/build/" | sort -u |
      xargs -r -P "$jobs" -n 4 clang-tidy-14 -p "$build" --quiet --warnings-as-errors='*' \
        --header-filter="$filter" \
        2> >(grep -v ' warnings\? generated\.$' >&2)
    ;;
  *)
    echo "usage: scripts/check-style.sh format | tidy BUILD_DIR" >&2
    exit 2
    ;;
esac
