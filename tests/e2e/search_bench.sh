#!/usr/bin/env bash
# The search benchmark under wine64: a generated tree of 20,420 folders as the
# fixed drive E:, the marker alone in the root of the fixed drive G:, so that
# the search walks all of E: and ends with a find.
#   search_bench.sh SEARCHBENCH.EXE [ROUNDS]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=$(realpath "$1")
rounds=${2:-3}

source "$here/bed.sh"
source "$here/search_drives.sh"
bed_up || exit 1
cd "$WINEPREFIX/drive_c" || exit 1  # a working folder Wine can map
tree=$BED_DIR/tree
search_drives "$tree"
search_big_tree "$tree/e"
touch "$tree/g/MG_DATA.MBL"
bin=$(bed_put bench "$bench")
bed_wine "$bin\\$(basename "$bench")" "$rounds" 2>&1 | tr -d '\r'
