#!/bin/bash
# Runs the locate dialog's manual-setting scenarios under wine64 in a private
# bed. With --shots DIR it also saves the locate dialog and the folder picker
# as DIR/locate-dialog.png and DIR/folder-picker.png.
#
#   tests/e2e/locate_manual.sh UPDATER.EXE LOCATE_MANUAL_TEST.EXE [--shots DIR] [scenario...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
updater=$1 driver=$2
shift 2
shots=
if [ "${1:-}" = --shots ]; then shots=$(mkdir -p "$2" && cd "$2" && pwd); shift 2; fi

. "$here/bed.sh"
bed_up || exit 2
bin=$(bed_put bin "$updater" "$driver")
exe="$bin\\$(basename "$updater")"
test="$bin\\$(basename "$driver")"
work='C:\bed\work'
unix_work="$WINEPREFIX/drive_c/bed/work"
mkdir -p "$unix_work"

bed_wine "$test" "$exe" "$work" "$@"
status=$?

# pose NAME FILE: leaves the window up, crops the screen to it.
pose() {
    rm -f "$unix_work/pose.txt" "$unix_work/pose.done"
    bed_wine "$test" "$exe" "$work" "pose-$1" &
    local pid=$! i
    for i in $(seq 1 200); do
        [ -s "$unix_work/pose.txt" ] && break
        sleep 0.1
    done
    if [ -s "$unix_work/pose.txt" ]; then
        import -display "$DISPLAY" -window root -crop "$(tr -d '\r\n' <"$unix_work/pose.txt")" +repage "$2" ||
            status=1
    else
        bed_log "no pose for $1"
        status=1
    fi
    touch "$unix_work/pose.done"
    wait "$pid" || status=1
}
if [ -n "$shots" ]; then
    pose locate "$shots/locate-dialog.png"
    pose picker "$shots/folder-picker.png"
fi
exit "$status"
