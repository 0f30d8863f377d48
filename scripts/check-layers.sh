#!/usr/bin/env bash
# Layer check: the subsystem folders stand in the order of the top-level CMakeLists (lowest
# first), and each may include and link only the layers below it. Three tests, each listing every
# offence it finds:
#   includes  a quoted include "<layer>/..." in a tracked file of a lower layer;
#   cmake     a qv_<layer> named in the CMakeLists of a lower layer (its DEPS or link libraries);
#   symbols   a symbol a built library needs that no library at or below its layer defines but a
#             higher one does: a call into a higher layer, declared by hand or not. It reads the
#             static libraries of the build folder given (build/test by default) and is skipped,
#             saying so, when none is built there.
# Seams (function pointers, interfaces filled at start-up) pass all three by construction.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}

read -r -a layers <<<"$(sed -n 's/^foreach(dir \(.*\))$/\1/p' CMakeLists.txt | head -n 1)"
if [ "${#layers[@]}" -lt 2 ]; then
  echo "layers: no layer order found in CMakeLists.txt"
  exit 1
fi
declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

failed=0
report() {
  echo "layers: $1"
  failed=1
}

# Includes and CMake names that reach above their own layer.
for layer in "${layers[@]}"; do
  [ -d "$layer" ] || continue
  own=${rank[$layer]}
  while IFS= read -r file; do
    while IFS=: read -r line target; do
      top=${target%%/*}
      if [ -n "${rank[$top]+x}" ] && [ "${rank[$top]}" -gt "$own" ]; then
        report "$file:$line includes $target (layer $top is above $layer)"
      fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
               sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/' || true)
  done < <(git ls-files -- "$layer/*.h" "$layer/*.cpp")
  if [ -f "$layer/CMakeLists.txt" ]; then
    for name in $(grep -v '^[[:space:]]*#' "$layer/CMakeLists.txt" | grep -o 'qv_[a-z]*' | sort -u); do
      top=${name#qv_}
      if [ -n "${rank[$top]+x}" ] && [ "${rank[$top]}" -gt "$own" ]; then
        report "$layer/CMakeLists.txt links $name (layer $top is above $layer)"
      fi
    done
  fi
done

# Symbols: what each built library needs against what the layers define.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
built=()
for layer in "${layers[@]}"; do
  lib="$build/$layer/libqv_$layer.a"
  [ -f "$lib" ] || continue
  built+=("$layer")
  nm -g -P --defined-only "$lib" 2>/dev/null | awk 'NF >= 2 && $2 ~ /^[TDBRVWu]$/ { print $1 }' |
    sort -u >"$scratch/$layer.defined"
  nm -g -P --undefined-only "$lib" 2>/dev/null | awk 'NF >= 2 && $2 == "U" { print $1 }' |
    sort -u >"$scratch/$layer.undefined"
done
if [ "${#built[@]}" -eq 0 ]; then
  echo "layers: symbols skipped, no library built in $build"
else
  for i in "${!built[@]}"; do
    layer=${built[$i]}
    below=("${built[@]:0:$((i + 1))}")
    above=("${built[@]:$((i + 1))}")
    [ "${#above[@]}" -gt 0 ] || continue
    for b in "${below[@]}"; do cat "$scratch/$b.defined"; done | sort -u >"$scratch/below"
    comm -23 "$scratch/$layer.undefined" "$scratch/below" >"$scratch/needed"
    for a in "${above[@]}"; do
      while IFS= read -r symbol; do
        report "libqv_$layer needs $(c++filt "$symbol"), defined by libqv_$a above it"
      done < <(comm -12 "$scratch/needed" "$scratch/$a.defined")
    done
  done
fi

if [ "$failed" -ne 0 ]; then exit 1; fi
echo "layers: every library includes and links only the layers below it (${layers[*]})"
