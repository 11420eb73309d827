#!/usr/bin/env bash
# Direction check: each product folder is one library that uses only the
# folders below it, so its files may include only headers from those folders
# (and its own). An include that runs upward ties a lower library to a higher
# one and, sooner or later, makes a loop. The order is the one list in
# scripts/include-direction.txt; a folder with C/C++ files that is not on it
# fails too, so that the list stays complete.
#
# Usage: scripts/check-include-direction.sh [SOURCE_DIR]
# Exit status 0 when every include keeps the direction; otherwise 1, printing
# file:line and the rule for each one that does not.
set -uo pipefail

src=$(cd "${1:-$(dirname "$0")/..}" && pwd) || exit 1
list="$(cd "$(dirname "$0")" && pwd)/include-direction.txt"
sources() { find "$1" -type f -regextype posix-extended -regex '.*\.(h|hh|hpp|inc|c|cc|cpp|cxx)'; }

re='include[[:space:]]*["<]([^">]*)[">]'
declare -A may  # folder -> the other folders its files may include
folders=()      # in the list's order, for a stable report
chain=""
while IFS= read -r line; do
  line=${line%%#*}
  read -r name rest <<<"${line/:/ : }"  # "host: include" -> host, ": include"
  [ -n "$name" ] || continue
  folders+=("$name")
  if [[ $rest == :* ]]; then
    read -r "may[$name]" <<<"${rest#:}"
  else
    may[$name]=${chain# }
    chain="$chain $name"
  fi
done <"$list"

bad=0
for f in "${folders[@]}"; do
  [ "${may[$f]}" = "*" ] || [ ! -d "$src/$f" ] && continue
  while IFS=: read -r file num text; do
    [[ $text =~ $re ]] || continue
    inc=${BASH_REMATCH[1]}
    to=$inc
    [[ $inc == .* ]] && to=$(realpath -m --relative-to="$src" "$(dirname "$file")/$inc")
    to=${to%%/*}
    # kq230/... and the like live in include/; anything else is not ours
    if [ -z "${may[$to]+set}" ]; then
      [ -d "$src/include/$to" ] && to=include || continue
    fi
    [ "$to" = "$f" ] || [[ " ${may[$f]} " == *" $to "* ]] && continue
    echo "${file#"$src"/}:$num: includes \"$inc\", but $f/ may include only" $(printf '%s/ ' $f ${may[$f]})
    bad=1
  done < <(sources "$src/$f" | sort | xargs -r grep -nHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][^">]*/')
done

for d in "$src"/*/; do
  d=$(basename "$d")
  [[ $d == build* ]] || [ -n "${may[$d]+set}" ] && continue
  if [ -n "$(sources "$src/$d")" ]; then
    echo "$d/: holds C/C++ files but has no line in scripts/include-direction.txt"
    bad=1
  fi
done

[ $bad -eq 0 ] && echo "include direction: passed" || echo "include direction: FAILED"
exit $bad
