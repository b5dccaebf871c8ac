#!/usr/bin/env bash
# Prints the include graph of the item's source folders as "from -> to"
# arrows and fails when a folder includes a header from a layer above it.
#
#   tools/include-graph.sh [SRC_DIR]
#
# A quoted include is resolved to the folder that holds the header: the
# including file's own folder first, then every folder of SRC_DIR (the build
# puts each of them on the include path). A header that no folder holds, a
# name that two folders hold and a folder missing from the layer list below
# are errors too, so that the check cannot pass by not seeing an arrow.
set -u
src=${1:-$(cd "$(dirname "$0")/../src" && pwd)}

# The layers, top to bottom: a folder may include only from its own layer
# and the layers after it.
layers=(plugin options face status settings shared resources platform)
# Files the build generates into its own folder: included, never placed.
generated=" stringblocks.rc "

rank() {
  local i
  for i in "${!layers[@]}"; do
    [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
  done
  echo -1
}

declare -A home
errors=0
for dir in "$src"/*/; do
  folder=$(basename "$dir")
  if [ "$(rank "$folder")" -lt 0 ]; then
    echo "error: folder $folder is not in the layer list of $0" >&2
    errors=$((errors + 1))
  fi
  for file in "$dir"*; do
    [ -f "$file" ] || continue
    name=$(basename "$file")
    if [ -n "${home[$name]:-}" ]; then
      echo "error: $name is in both ${home[$name]} and $folder" >&2
      errors=$((errors + 1))
    fi
    home[$name]=$folder
  done
done

declare -A arrows
for dir in "$src"/*/; do
  from=$(basename "$dir")
  for file in "$dir"*; do
    [ -f "$file" ] || continue
    while IFS=: read -r line header; do
      if [ -f "$dir$header" ] || [[ $generated == *" $header "* ]]; then
        to=$from
      elif [ -n "${home[$header]:-}" ]; then
        to=${home[$header]}
      else
        echo "error: ${file#"$src"/}:$line includes \"$header\", which no folder holds" >&2
        errors=$((errors + 1))
        continue
      fi
      [ "$to" = "$from" ] && continue
      if [ "$(rank "$to")" -lt "$(rank "$from")" ]; then
        echo "error: ${file#"$src"/}:$line includes \"$header\" from $to, a layer above $from" >&2
        errors=$((errors + 1))
        arrows["$from -> $to (upward)"]=1
      else
        arrows["$from -> $to"]=1
      fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" | sed 's/^\([0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/')
  done
done

echo "layers, top to bottom: ${layers[*]}"
for from in "${layers[@]}"; do
  for to in "${layers[@]}"; do
    [ -n "${arrows["$from -> $to"]:-}" ] && echo "  $from -> $to"
    [ -n "${arrows["$from -> $to (upward)"]:-}" ] && echo "  $from -> $to (upward)"
  done
done
[ "$errors" -eq 0 ] || { echo "$errors error(s)" >&2; exit 1; }
