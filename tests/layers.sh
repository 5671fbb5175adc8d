#!/usr/bin/env bash
# Folders are layers: each includes only itself and folders below it, never a
# folder above or beside it. Prints every include that breaks the order.
#   tests/layers.sh [ROOT]
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
declare -A rank=([platform]=0 [resources]=0 [ui]=1 [payload]=2 [locate]=2 [app]=3)
bad=0
for from in "${!rank[@]}"; do
    while IFS=: read -r file line to; do
        to=${to#*\"}
        to=${to%%/*}
        [ "$to" = "$from" ] && continue
        if [ -z "${rank[$to]+x}" ]; then
            # tools/ and tests/ sit beside the program and may use it, never the reverse.
            [ "$to" = tools ] || [ "$to" = tests ] || continue
        elif [ "${rank[$to]}" -lt "${rank[$from]}" ]; then
            continue
        fi
        printf '%s:%s: %s includes %s\n' "${file#"$root"/}" "$line" "$from" "$to"
        bad=1
    done < <(grep -rn --include='*.h' --include='*.cpp' -E '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"/]+/' "$root/$from")
done
[ "$bad" -eq 0 ] && echo "layers: every include runs downward"
exit "$bad"
