# The Wine test bed: a private prefix, display and wineserver for one test run.
# Source it, then call bed_up; bed_down (or the EXIT trap it installs) ends
# everything it started. Nothing here touches ~/.wine or the user's display
# unless asked to.
#
#   BED_DIR      folder for the run (default: a new temp folder, removed at the end)
#   BED_KEEP=1   keep BED_DIR after the run (screenshots, prefix, logs)
#   BED_SCREEN   size of the private screen (default 1024x768)
#   BED_DISPLAY=user  use the caller's $DISPLAY instead of a private Xvfb
#   BED_REUSE=1  keep a prefix already in BED_DIR instead of making it anew
#   BED_TEMPLATE a finished prefix (see bed_save_template) to copy instead
#                of making a new one
#
# The prefix is 64-bit with WoW64, so it runs 32-bit programs as well.

BED_WINE64=${BED_WINE64:-/usr/lib/wine/wine64}
BED_SCREEN=${BED_SCREEN:-1024x768}

bed_log() { printf 'bed: %s\n' "$*" >&2; }

# Every program the bed starts sees the same Japanese system: code page 932,
# no debug chatter, and no Mono or Gecko installer popping up.
bed_env() {
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    export WINEPREFIX="$BED_DIR/prefix"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export WINESERVER=/usr/lib/wine/wineserver64
}

bed_start_display() {
    if [ "${BED_DISPLAY:-}" = user ] && [ -n "${DISPLAY:-}" ]; then
        bed_log "using display $DISPLAY"
        return
    fi
    # -displayfd lets Xvfb pick a free display number itself: no races with
    # other runs on the same machine.
    local fifo="$BED_DIR/xvfb.fd"
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${BED_SCREEN}x24" -nolisten tcp -nolisten unix \
        3>"$fifo" >"$BED_DIR/xvfb.log" 2>&1 &
    BED_XVFB_PID=$!
    local n
    read -r n <"$fifo" || true
    rm -f "$fifo"
    if [ -z "$n" ]; then
        # Some Xvfb builds refuse "-nolisten unix"; retry with the socket.
        wait "$BED_XVFB_PID" 2>/dev/null || true
        mkfifo "$fifo"
        Xvfb -displayfd 3 -screen 0 "${BED_SCREEN}x24" -nolisten tcp \
            3>"$fifo" >"$BED_DIR/xvfb.log" 2>&1 &
        BED_XVFB_PID=$!
        read -r n <"$fifo" || true
        rm -f "$fifo"
    fi
    [ -n "$n" ] || { bed_log "Xvfb did not start: $(cat "$BED_DIR/xvfb.log")"; return 1; }
    export DISPLAY=":$n"
    bed_log "private display $DISPLAY (${BED_SCREEN})"
}

# bed_extra_display SIZE: starts one more private Xvfb of that size and sets
# BED_EXTRA_DISPLAY to its name; bed_down ends it. Wine takes the display of
# the process that starts its desktop, so switch with bed_restart_server.
# Not in a $(...): the pid must reach bed_down.
bed_extra_display() {
    local fifo="$BED_DIR/xvfb-extra.fd" n
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$fifo" >>"$BED_DIR/xvfb.log" 2>&1 &
    BED_EXTRA_PIDS="${BED_EXTRA_PIDS:-} $!"
    read -r n <"$fifo" || true
    rm -f "$fifo"
    BED_EXTRA_DISPLAY=${n:+:$n}
    [ -n "$n" ]
}

# Runs a Windows program in the bed's prefix, waiting for it to end.
bed_wine() { "$BED_WINE64" "$@"; }

# Imports registry text (REGEDIT4 syntax, UTF-8 here) in one regedit run.
# regedit reads UTF-16 files as Unicode, so the Japanese names survive.
bed_reg_import() {
    local src="$BED_DIR/import.reg.txt" dst="$WINEPREFIX/drive_c/bed/import.reg"
    { printf 'Windows Registry Editor Version 5.00\r\n\r\n'; sed 's/$/\r/'; } >"$src"
    { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$src"; } >"$dst"
    bed_wine regedit /s 'C:\bed\import.reg' </dev/null >/dev/null 2>&1
}

bed_make_prefix() {
    mkdir -p "$WINEPREFIX"
    if [ "${BED_REUSE:-0}" = 1 ] && [ -f "$WINEPREFIX/system.reg" ]; then
        bed_log "reusing the prefix in $WINEPREFIX"
        return
    fi
    # A copy takes a second where wineboot takes twenty.
    if [ -n "${BED_TEMPLATE:-}" ] && [ -f "$BED_TEMPLATE/system.reg" ]; then
        cp -a "$BED_TEMPLATE/." "$WINEPREFIX/" && { bed_log "prefix copied from $BED_TEMPLATE"; return; }
    fi
    local t0=$SECONDS
    "$BED_WINE64" wineboot -i </dev/null >"$BED_DIR/wineboot.log" 2>&1 || {
        bed_log "wineboot failed"; cat "$BED_DIR/wineboot.log" >&2; return 1; }
    "$WINESERVER" -w
    mkdir -p "$WINEPREFIX/drive_c/bed"
    # Title-bar buttons are Marlett glyphs; Wine does not find Debian's copy
    # (package fonts-wine) by itself, and without it they show as letters.
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    bed_log "prefix made in $((SECONDS - t0)) s"
}

# Cuts the prefix off from the machine: no Z: onto the whole file system,
# no Desktop or Documents leading into the home folder.
bed_isolate() {
    local d
    for d in "$WINEPREFIX"/dosdevices/*; do
        case "$(basename "$d")" in c:) ;; *) rm -f "$d" ;; esac
    done
    for d in "$WINEPREFIX"/drive_c/users/*/* "$WINEPREFIX"/drive_c/users/*/AppData/*/*; do
        if [ -L "$d" ]; then rm -f "$d" && mkdir -p "$d"; fi
    done
}

# Registry settings every run needs: no window manager stalls on hide, the
# program's font mapped to an installed Japanese font, C: a fixed disk.
bed_base_registry() {
    bed_reg_import <<'EOF'
[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="Y"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS UI Gothic"="IPAPGothic"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"FontSmoothing"="0"

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"c:"="hd"
EOF
}

# bed_drive LETTER FOLDER TYPE: maps drive LETTER: to a Linux folder, with
# TYPE one of hd, cdrom, network, floppy. Takes effect at bed_restart_server.
bed_drive() {
    local letter type folder
    letter=$(printf '%s' "$1" | tr 'A-Z' 'a-z')
    folder=$(cd "$2" && pwd) || return 1
    type=$3
    ln -sfn "$folder" "$WINEPREFIX/dosdevices/$letter:"
    bed_reg_import <<EOF
[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]
"$letter:"="$type"
EOF
}

# bed_undrive LETTER: removes a mapping made by bed_drive.
bed_undrive() {
    local letter
    letter=$(printf '%s' "$1" | tr 'A-Z' 'a-z')
    rm -f "$WINEPREFIX/dosdevices/$letter:"
    bed_reg_import <<EOF
[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]
"$letter:"=-
EOF
}

# A wineserver kept alive for the whole run makes every start ~10x faster;
# drive types are read when it starts, so changing them needs a restart.
bed_restart_server() {
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    # Nothing the server or its services print may hold the caller's pipes.
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    # Starts the desktop process now, not inside the first timed test.
    bed_wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
}

# bed_save_template FOLDER: stops the server (so the registry is on disk),
# copies the prefix to FOLDER and exports BED_TEMPLATE for later beds. The
# caller restarts the server (bed_restart_server) before using the bed again.
bed_save_template() {
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    rm -rf "$1"
    mkdir -p "$1"
    cp -a "$WINEPREFIX/." "$1/" || return 1
    export BED_TEMPLATE="$1"
}

# Copies files into C:\bed\<sub> and prints the Windows folder.
bed_put() {
    local sub=$1; shift
    mkdir -p "$WINEPREFIX/drive_c/bed/$sub"
    cp -f "$@" "$WINEPREFIX/drive_c/bed/$sub/"
    printf 'C:\\bed\\%s' "${sub//\//\\}"
}

# Saves the whole screen as PNG (for a look when a test fails).
bed_screenshot() {
    local out=$1
    if command -v import >/dev/null 2>&1; then
        import -display "$DISPLAY" -window root "$out" 2>/dev/null || true
    fi
}

bed_up() {
    if [ -z "${BED_DIR:-}" ]; then
        BED_DIR=$(mktemp -d /tmp/bed-run.XXXXXX)
        BED_OWN_DIR=1
    else
        mkdir -p "$BED_DIR"
        BED_DIR=$(cd "$BED_DIR" && pwd)
        BED_OWN_DIR=0
    fi
    trap bed_down EXIT
    bed_env
    bed_start_display || return 1
    bed_make_prefix || return 1
    bed_isolate
    bed_base_registry
    bed_restart_server
}

bed_down() {
    trap - EXIT
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        "$WINESERVER" -k 2>/dev/null || true
        "$WINESERVER" -w 2>/dev/null || true
    fi
    if [ -n "${BED_XVFB_PID:-}" ]; then
        kill "$BED_XVFB_PID" 2>/dev/null || true
        wait "$BED_XVFB_PID" 2>/dev/null || true
        BED_XVFB_PID=
    fi
    local m
    for m in ${BED_EXTRA_PIDS:-}; do kill "$m" 2>/dev/null || true; wait "$m" 2>/dev/null || true; done
    BED_EXTRA_PIDS=
    for m in ${BED_MOUNTS:-}; do umount "$m" 2>/dev/null || true; done
    BED_MOUNTS=
    if [ "${BED_OWN_DIR:-0}" = 1 ] && [ "${BED_KEEP:-0}" != 1 ]; then
        rm -rf "$BED_DIR"
    fi
}

# bed_tmpfs FOLDER SIZE: mounts a small tmpfs there (for disk-full tests).
# Fails quietly when mounting is not allowed.
bed_tmpfs() {
    mkdir -p "$1"
    mount -t tmpfs -o "size=$2" tmpfs "$1" 2>/dev/null || return 1
    BED_MOUNTS="${BED_MOUNTS:-} $1"
}
