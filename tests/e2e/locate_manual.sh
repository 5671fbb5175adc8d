#!/bin/bash
# Runs LocateManualTest (the locate dialog's manual setting) under wine64 in
# a private bed, against the Setup.exe of a Windows build folder. With
# --shots DIR it also saves the locate dialog and the folder picker there as
# locate-dialog.png and folder-picker.png.
#
#   tests/e2e/locate_manual.sh BUILD_DIR [--shots DIR] [case...]
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd) || exit 2
shift
shots=
if [ "${1:-}" = --shots ]; then shots=$(mkdir -p "$2" && cd "$2" && pwd); shift 2; fi

. "$here/bed.sh"
bed_up || exit 2
export E2E_UPDATERS E2E_WORK E2E_SHOTS
E2E_UPDATERS=$(bed_put updaters "$build/updaters/Setup.exe")
bin=$(bed_put bin "$build/e2e/LocateManualTest.exe")
E2E_WORK='C:\bed\work'
mkdir -p "$WINEPREFIX/drive_c/bed/work" "$WINEPREFIX/drive_c/bed/shots"
E2E_SHOTS=
[ -n "$shots" ] && E2E_SHOTS='C:\bed\shots'

# From inside C:, the only folder of the machine the prefix can see.
(cd "$WINEPREFIX/drive_c/bed" && bed_wine "$bin\\LocateManualTest.exe" "$@")
status=$?

if [ -n "$shots" ]; then
    for name in locate-dialog folder-picker; do
        bmp="$WINEPREFIX/drive_c/bed/shots/$name.bmp"
        if [ -f "$bmp" ]; then convert "$bmp" "$shots/$name.png"; else status=1; fi
    done
fi
exit "$status"
