#!/usr/bin/env bash
# Fails when a file under <root>/src includes a header of a higher layer.
#
# usage: check_layers.sh [root]     (root defaults to the repository)
#
# Layers, bottom up. A file in src/<layer>/ may include "<other>/..." only when <other> stands at
# the same place or lower in this list. Includes of tests/, tools/ or bench/ from src/ are refused.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
layers=(platform crypto core storage expressions tables sql components plugin)

rank_of() {
  local i
  for i in "${!layers[@]}"; do
    [[ ${layers[$i]} == "$1" ]] && { echo "$i"; return; }
  done
  echo -1
}

status=0
while IFS= read -r -d '' file; do
  rel=${file#"$root/src/"}
  own=${rel%%/*}
  own_rank=$(rank_of "$own")
  if (( own_rank < 0 )); then
    echo "$rel: folder '$own' is not a layer" >&2
    status=1
    continue
  fi
  while IFS=: read -r line target; do
    top=${target%%/*}
    [[ $target == */* ]] || continue
    case $top in
      tests | tools | bench | fuzz)
        echo "src/$rel:$line: includes \"$target\" from outside src/" >&2
        status=1
        continue
        ;;
    esac
    target_rank=$(rank_of "$top")
    (( target_rank < 0 )) && continue
    if (( target_rank > own_rank )); then
      echo "src/$rel:$line: layer '$own' includes \"$target\" of the higher layer '$top'" >&2
      status=1
    fi
  done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
           sed -E 's/^([0-9]+):[^"]*"([^"]*)".*/\1:\2/' || true)
done < <(find "$root/src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
exit $status
