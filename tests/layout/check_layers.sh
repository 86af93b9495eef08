#!/usr/bin/env bash
# Fails when a product folder includes, directly or through other folders, a
# folder that includes it back: the folders must form layers, each using only
# the ones below it. Prints the includes that close each loop found. It also
# fails when an include goes up the layers' order as README lists them, or a
# product folder has no place in that order.
# Usage: check_layers.sh <source root>
set -euo pipefail
root="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
cd "$root"

# Every product source file: the C++ files of every top folder but the tests,
# the benchmark and the build's own folders. A file's folder is its first path part.
product_folders=()
for folder in */; do
  folder="${folder%/}"
  case "$folder" in tests | bench | build | cmake | scripts | docs) continue ;; esac
  product_folders+=("$folder")
done
mapfile -t sources < <(find "${product_folders[@]}" \( -name '*.h' -o -name '*.cpp' \) | sort)

# The edges between folders, each with one include that makes it: "from to file: line".
declare -A edge_example
for file in "${sources[@]}"; do
  from="${file%%/*}"
  dir="$(dirname "$file")"
  while IFS= read -r line; do
    target="${line#*\"}"
    target="${target%%\"*}"
    resolved="$(realpath -m --relative-to="$root" "$dir/$target")"
    to="${resolved%%/*}"
    [[ "$to" == "$from" || ! -d "$to" ]] && continue
    key="$from $to"
    [[ -n "${edge_example[$key]:-}" ]] || edge_example[$key]="$file: $line"
  done < <(grep -h '^#include "' "$file" || true)
done

# The layers from the top, as README's source tree lists them.
layers=(app loadcheck playback preferred report shellhandlers transforms drivercodecs scan codecs merit backups registry catalogue modules child base resources)
declare -A layer_rank
for i in "${!layers[@]}"; do layer_rank[${layers[$i]}]=$i; done
misplaced=0
for folder in "${product_folders[@]}"; do
  if [[ -z "${layer_rank[$folder]:-}" ]]; then
    echo "Folder $folder/ has no place in the layers' order (tests/layout/check_layers.sh, README)."
    misplaced=$((misplaced + 1))
  fi
done
for key in "${!edge_example[@]}"; do
  from="${key% *}" to="${key#* }"
  [[ -n "${layer_rank[$from]:-}" && -n "${layer_rank[$to]:-}" ]] || continue
  if ((layer_rank[$from] > layer_rank[$to])); then
    echo "Up the layers: $from -> $to  (${edge_example[$key]})"
    misplaced=$((misplaced + 1))
  fi
done

declare -A targets
for key in "${!edge_example[@]}"; do
  targets[${key% *}]+="${key#* } "
done

# Depth-first search; a folder met again while it is still on the path closes a loop.
declare -A state  # 1: on the current path, 2: done
path=()
loops=0
visit() {
  local folder="$1" next i
  state[$folder]=1
  path+=("$folder")
  for next in ${targets[$folder]:-}; do
    if [[ "${state[$next]:-0}" == 1 ]]; then
      loops=$((loops + 1))
      local loop=() started=0
      for i in "${path[@]}"; do
        [[ "$i" == "$next" ]] && started=1
        ((started)) && loop+=("$i")
      done
      echo "Loop: ${loop[*]} $next"
      local previous="${loop[0]}"
      for i in "${loop[@]:1}" "$next"; do
        echo "  $previous -> $i  (${edge_example[$previous $i]})"
        previous="$i"
      done
      echo "  closed by: ${edge_example[$folder $next]}"
    elif [[ "${state[$next]:-0}" == 0 ]]; then
      visit "$next"
    fi
  done
  unset 'path[${#path[@]}-1]'
  state[$folder]=2
}
for folder in $(printf '%s\n' "${!targets[@]}" | sort); do
  [[ "${state[$folder]:-0}" == 0 ]] && visit "$folder"
done

if ((loops)); then
  echo "The product folders do not form layers: $loops include loop(s) found."
  exit 1
fi
if ((misplaced)); then
  echo "The product folders are not in their layers' order: $misplaced problem(s) found."
  exit 1
fi
echo "The product folders form layers:"
for key in $(printf '%s\n' "${!edge_example[@]}" | tr ' ' '>' | sort); do echo "  ${key/>/ -> }"; done
