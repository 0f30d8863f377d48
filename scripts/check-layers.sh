#!/usr/bin/env bash
# Layer check: the subsystem folders stand in the order of the top-level CMakeLists (lowest
# first), and each may include and link only the layers below it. A subsystem laid out by role
# (qv_add_sublayers in its CMakeLists) is checked the same way inside: its sub-folders stand in
# the order listed there, each file belongs to one of them, and each may include only its own
# sub-folder and those before it. Three tests, each listing every offence it finds:
#   includes  a quoted include "<layer>/..." in a tracked file of a lower layer, or
#             "<layer>/<sub>/..." in a file of a lower sub-folder of that layer;
#   cmake     a qv_<layer> named in the CMakeLists of a lower layer (its DEPS or link libraries);
#   symbols   a symbol a built library needs that no library at or below it defines but a higher
#             one does (sub-libraries counted in their order): a call into a higher layer or
#             sub-folder, declared by hand or not. It reads the static libraries of the build
#             folder given (build/test by default) and is skipped, saying so, when none is built.
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

# The sub-folders of a layer laid out by role, lowest first (empty for a one-library layer).
sublayers() {
  [ -f "$1/CMakeLists.txt" ] || return 0
  tr '\n' ' ' <"$1/CMakeLists.txt" |
    sed -n 's/.*qv_add_sublayers([a-z]* *SUBLAYERS \([a-z0-9_ ]*\)\( DEPS\|)\).*/\1/p' | xargs
}

failed=0
report() {
  echo "layers: $1"
  failed=1
}

# Includes and CMake names that reach above their own layer (or sub-folder).
for layer in "${layers[@]}"; do
  [ -d "$layer" ] || continue
  own=${rank[$layer]}
  read -r -a subs <<<"$(sublayers "$layer")"
  declare -A subrank=()
  for i in "${!subs[@]}"; do subrank[${subs[$i]}]=$i; done
  while IFS= read -r file; do
    ownsub=-1
    if [ "${#subs[@]}" -gt 0 ]; then
      inner=${file#"$layer"/}
      folder=${inner%%/*}
      if [ "$folder" = "$inner" ] || [ -z "${subrank[$folder]+x}" ]; then
        report "$file is in no sub-folder of $layer (${subs[*]})"
        continue
      fi
      ownsub=${subrank[$folder]}
    fi
    while IFS=: read -r line target; do
      top=${target%%/*}
      if [ -n "${rank[$top]+x}" ] && [ "${rank[$top]}" -gt "$own" ]; then
        report "$file:$line includes $target (layer $top is above $layer)"
      elif [ "$top" = "$layer" ] && [ "$ownsub" -ge 0 ]; then
        rest=${target#"$layer"/}
        sub=${rest%%/*}
        if [ -z "${subrank[$sub]+x}" ] || [ "$sub" = "$rest" ]; then
          report "$file:$line includes $target, which is in no sub-folder of $layer"
        elif [ "${subrank[$sub]}" -gt "$ownsub" ]; then
          report "$file:$line includes $target ($layer/$sub is above $layer/${subs[$ownsub]})"
        fi
      fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
               sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/' || true)
  done < <(git ls-files -- "$layer/*.h" "$layer/*.cpp")
  unset subrank
  if [ -f "$layer/CMakeLists.txt" ]; then
    for name in $(grep -v '^[[:space:]]*#' "$layer/CMakeLists.txt" | grep -o 'qv_[a-z]*' | sort -u); do
      top=${name#qv_}
      if [ -n "${rank[$top]+x}" ] && [ "${rank[$top]}" -gt "$own" ]; then
        report "$layer/CMakeLists.txt links $name (layer $top is above $layer)"
      fi
    done
  fi
done

# Symbols: what each built library needs against what the libraries at and below it define. The
# libraries in order: one a layer, or one a sub-folder of a layer laid out by role.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
built=()
for layer in "${layers[@]}"; do
  read -r -a subs <<<"$(sublayers "$layer" 2>/dev/null || true)"
  names=("$layer")
  if [ "${#subs[@]}" -gt 0 ]; then
    names=()
    for sub in "${subs[@]}"; do names+=("${layer}_$sub"); done
  fi
  for name in "${names[@]}"; do
    lib="$build/$layer/libqv_$name.a"
    [ -f "$lib" ] || continue
    built+=("$name")
    nm -g -P --defined-only "$lib" 2>/dev/null | awk 'NF >= 2 && $2 ~ /^[TDBRVWu]$/ { print $1 }' |
      sort -u >"$scratch/$name.defined"
    nm -g -P --undefined-only "$lib" 2>/dev/null | awk 'NF >= 2 && $2 == "U" { print $1 }' |
      sort -u >"$scratch/$name.undefined"
  done
done
if [ "${#built[@]}" -eq 0 ]; then
  echo "layers: symbols skipped, no library built in $build"
else
  for i in "${!built[@]}"; do
    name=${built[$i]}
    below=("${built[@]:0:$((i + 1))}")
    above=("${built[@]:$((i + 1))}")
    [ "${#above[@]}" -gt 0 ] || continue
    for b in "${below[@]}"; do cat "$scratch/$b.defined"; done | sort -u >"$scratch/below"
    comm -23 "$scratch/$name.undefined" "$scratch/below" >"$scratch/needed"
    for a in "${above[@]}"; do
      while IFS= read -r symbol; do
        report "libqv_$name needs $(c++filt "$symbol"), defined by libqv_$a above it"
      done < <(comm -12 "$scratch/needed" "$scratch/$a.defined")
    done
  done
fi

if [ "$failed" -ne 0 ]; then exit 1; fi
byrole=""
for layer in "${layers[@]}"; do
  subs=$(sublayers "$layer")
  [ -z "$subs" ] || byrole+="; $layer by role: $subs"
done
echo "layers: every library includes and links only the layers below it (${layers[*]}$byrole)"
