#!/usr/bin/env bash
# End-to-end scenarios of the automatic search under wine64.
#   search.sh UPDATER.EXE SEARCH-E2E.EXE [SCREENSHOT.PNG]
# Drives A: (removable), D: (optical), F: (network) and C: (the prefix, made
# a network drive so that its Windows folder stays out of the walk) all hold
# the marker; E: and G: are the only fixed disks, and each scenario lays out
# their trees anew.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
updater=$(realpath "$1")
driver=$(realpath "$2")
screenshot=${3:-}

source "$here/bed.sh"
bed_up || exit 1
cd "$WINEPREFIX/drive_c" || exit 1  # a working folder Wine can map

trees=$BED_DIR/trees
mkdir -p "$trees"/{a,d,e,f,g}
bed_drive A "$trees/a" floppy
bed_drive D "$trees/d" cdrom
bed_drive E "$trees/e" hd
bed_drive F "$trees/f" network
bed_drive G "$trees/g" hd
bed_reg_import <<'EOF'
[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"c:"="network"
EOF
bed_restart_server
for d in a d f; do touch "$trees/$d/MG_DATA.MBL"; done
touch "$WINEPREFIX/drive_c/MG_DATA.MBL"

bin=$(bed_put search "$updater" "$driver")
exe="$bin\\$(basename "$updater")"
drv="$bin\\$(basename "$driver")"

passed=0
failed=0
fresh() { rm -rf "$trees/e" "$trees/g"; mkdir -p "$trees/e" "$trees/g"; }
# A tree of 20,420 folders; "&" in its name shows in the progress line.
big_tree() { mkdir -p "$trees/e/big&co"/d{00..19}/s{00..19}/l{00..49}; }
# The driver takes the scenario first and the updater second.
run() {
    local name=$1 kind=$2
    shift 2
    printf '%s\n' "--- $name"
    # The driver prints the program's texts as the program holds them.
    if timeout 180 "$BED_WINE64" "$drv" "$kind" "$exe" "$@" 2>&1 | tr -d '\r' | iconv -f CP932 -t UTF-8; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAILED: %s\n' "$name"
    fi
}

fresh
touch "$trees/e/MG_DATA.MBL"
mkdir -p "$trees/e/sub"
run "marker in the root of a fixed drive" find 'E:\'

fresh
mkdir -p "$trees/e/x/y/z" "$trees/e/a"
touch "$trees/e/x/y/z/mg_data.mbl"
run "marker deep, lower case" find 'E:\x\y\z\'

fresh
mkdir -p "$trees/e/p/q"
touch "$trees/e/p/Mg_DaTa.MbL"
run "marker in mixed case" find 'E:\p\'

fresh
mkdir -p "$trees/e/MG_DATA.MBL/inner" "$trees/g/h"
touch "$trees/e/MG_DATA.MBL/inner/other.txt" "$trees/g/h/MG_DATA.MBL"
run "folder named MG_DATA.MBL entered, never matched" find 'G:\h\'

fresh
mkdir -p "$trees/e/one/two" "$trees/g/three"
run "only fixed drives are searched (markers on A: C: D: F:)" notfound

fresh
mkdir -p "$trees/e/k"
touch "$trees/e/k/MG_DATA.MBL" "$trees/g/MG_DATA.MBL"
run "two markers: the earlier drive wins" find 'E:\k\'

fresh
mkdir -p "$trees/e/b"/c{0..9}
for i in {0..9}; do touch "$trees/e/b/c$i/MG_DATA.MBL"; done
touch "$trees/e/b/MG_DATA.MBL"
run "two markers: a marker still to be listed in a folder above wins" find 'E:\b\' 'E:\b'

fresh
mkdir -p "$trees/e/loop/deeper" "$trees/e/zz"
ln -s .. "$trees/e/loop/back"
ln -s . "$trees/e/loop/self"
ln -s ../.. "$trees/e/loop/deeper/up"
ln -s "$trees/e/loop" "$trees/e/zz/again"
touch "$trees/g/MG_DATA.MBL"
run "a cycle of folder links ends" find 'G:\'

fresh
big_tree
run "stop: box, last folder kept, Idle; a new search starts again at A" stop 'E:\big&co\d'

fresh
big_tree
run "a click queued behind the stop starts no second search" stop-queued 'E:\big&co\d'

fresh
big_tree
run "close box during a search: no box, the dialog ends" close 'E:\big&co\d'

fresh
big_tree
touch "$trees/e/MG_DATA.MBL"  # listed after "big&co"
run "close box during a search: a marker compared while unwinding is stored" close 'E:\big&co\d' 'E:\'

fresh
big_tree
run "a quit message during a search: no box, the program ends" quit 'E:\big&co\d'

if [ -n "$screenshot" ]; then
    fresh
    big_tree
    rm -f "$WINEPREFIX/drive_c/snap" "$WINEPREFIX/drive_c/snap.done"
    (
        for _ in $(seq 1 3000); do
            if [ -e "$WINEPREFIX/drive_c/snap" ]; then
                bed_screenshot "$BED_DIR/screen.png"
                touch "$WINEPREFIX/drive_c/snap.done"
                exit 0
            fi
            sleep 0.01
        done
    ) &
    watcher=$!
    run "screenshot of a search in progress" snap 'E:\big&co\d0' 'C:\snap'
    wait "$watcher"
    if [ -f "$BED_DIR/screen.png" ]; then
        # Just the dialog, from the middle of the screen.
        convert "$BED_DIR/screen.png" -gravity center -crop 460x240+0+0 +repage "$screenshot" &&
            echo "screenshot: $screenshot"
    fi
fi

printf 'search scenarios: %d passed, %d failed\n' "$passed" "$failed"
[ "$failed" -eq 0 ]
