#!/usr/bin/env bash
# Include-cycle check: a file pair (x.h with x.cpp) is one node, each quoted include an edge
# to the included pair; tsort reports every loop. Any loop between two or more pairs fails.
set -euo pipefail
cd "$(dirname "$0")/.."

edges=$(git ls-files -- '*.h' '*.cpp' | while read -r file; do
  from=${file%.*}
  sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file" |
    while read -r inc; do echo "$from ${inc%.*}"; done
done)

if ! report=$(tsort <<<"$edges" 2>&1 >/dev/null) || [ -n "$report" ]; then
  echo "include cycles between files:"
  echo "$report" | sed 's/^tsort: //; s/^-: input contains a loop:/loop:/'
  exit 1
fi
echo "include cycles: none"
