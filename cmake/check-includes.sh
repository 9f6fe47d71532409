#!/bin/bash
# Checks the shape of the core's sources:
#  - a file includes only from its own folder and the folders before it in
#    the core's order (util, files, net, search, feeds, model, store, update, library);
#  - no two units (a header and its source) need each other, however long
#    the way round;
#  - no core source file is longer than 500 lines.
# Prints what is wrong and exits 1; prints a summary and exits 0 otherwise.
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
order=(util files net search feeds model store update library)
declare -A rank
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done

failed=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

while IFS= read -r file; do
    rel=${file#"$root"/src/core/}
    folder=${rel%%/*}
    [[ -n ${rank[$folder]+x} ]] || { echo "unknown core folder: src/core/$rel"; failed=1; continue; }
    unit="$folder/$(basename "${rel%.*}")"
    echo "$unit $unit" >>"$edges"
    lines=$(wc -l <"$file")
    case $file in
    *.cpp) if ((lines > 500)); then echo "src/core/$rel: $lines lines (at most 500)"; failed=1; fi ;;
    esac
    while IFS= read -r target; do
        tfolder=${target#core/}
        tfolder=${tfolder%%/*}
        if [[ -z ${rank[$tfolder]+x} ]]; then
            echo "src/core/$rel includes $target: no such core folder"; failed=1; continue
        fi
        if ((rank[$tfolder] > rank[$folder])); then
            echo "src/core/$rel includes $target from a folder above its own"; failed=1
        fi
        tunit="$tfolder/$(basename "${target%.h}")"
        [[ $tunit == "$unit" ]] || echo "$unit $tunit" >>"$edges"
    done < <(sed -n 's/^#include "\(core\/[^"]*\)".*/\1/p' "$file")
done < <(find "$root/src/core" -name '*.h' -o -name '*.cpp' | sort)

# tsort names the units of every cycle it meets.
if ! cycles=$(tsort "$edges" 2>&1 >/dev/null) || [[ -n $cycles ]]; then
    echo "units that include each other:"
    echo "$cycles" | sed -n 's/^tsort: //p' | grep -v "input contains a loop"
    failed=1
fi

if ((failed)); then
    exit 1
fi
echo "check-includes: $(sort -u "$edges" | awk '$1 != $2' | wc -l) includes between core units, all downward, no cycle"
