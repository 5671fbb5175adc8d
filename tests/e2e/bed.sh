# The Wine test bed: a private prefix, display and wineserver for one test run.
# Source it, then call bed_up; bed_down (or the EXIT trap it installs) ends
# everything it started. Nothing here touches ~/.wine or the user's display
# unless asked to.
#
#   BED_DIR      folder for the run (default: a new temp folder, removed at the end)
#   BED_KEEP=1   keep BED_DIR after the run (screenshots, prefix, logs)
#   BED_SCREEN   size of the private screen (default 1024x768)
#   BED_DISPLAY=user  use the caller's $DISPLAY instead of a private Xvfb
#   BED_DISPLAY=none  no display at all, for console programs (a prefix made
#                so is the same but for its time stamps and GUIDs)
#   BED_REUSE=1  keep a prefix already in BED_DIR instead of making it anew
#   BED_WOW64=1  the bed runs 32-bit programs too (see bed_flavour), with
#                this machine's Wine where it has its 32-bit side, else in
#                the Wine root (root.sh; BED_WINE32_PREFER=root takes it
#                even so): see bed_wine32
#   BED_LANG     the locale of the bed's Wine processes (default ja_JP.UTF-8,
#                code page 932; en_US.UTF-8 gives a Western system, 1252)
#   BED_CACHE    where the pristine prefixes are kept
#                (default ${XDG_CACHE_HOME:-~/.cache}/vesperlin-bed)
#
# The prefix is 64-bit. Each bed copies a pristine prefix that is made once
# per machine and kept in BED_CACHE under a name that changes with the Wine
# build, the fonts and the code below that fills a fresh prefix; a missing or
# stale one is made again (see bed_cached_prefix).

# Wine through a wrapper that gives its processes the bed's locale: the
# shells around it keep their own, so no shell warns about a locale that is
# not there (yet). The locale is the processes' own, not the prefix's: one
# pristine prefix serves every locale.
BED_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BED_WINE64=${BED_WINE64:-$BED_HERE/wine-locale}
export BED_LANG=${BED_LANG:-ja_JP.UTF-8}
BED_SCREEN=${BED_SCREEN:-1024x768}
BED_CACHE=${BED_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vesperlin-bed}

bed_log() { printf 'bed: %s\n' "$*" >&2; }

source "$BED_HERE/root.sh"

# bed_i386_emulated: true where i386 programs run under qemu (registered in
# binfmt_misc by scripts/setup where the kernel runs none itself): each start
# of a 32-bit program then takes the best part of a minute.
bed_i386_emulated() { grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; }

# bed_wine32: where the bed runs 32-bit programs. Sets BED_WINE32 to "host"
# (this machine's Wine has its 32-bit side) or "root" (the Wine root, with
# BED_ROOT its folder); fails with the reason in BED_WINE32_WHY.
bed_wine32() {
    BED_WINE32= BED_WINE32_WHY= BED_ROOT=
    if [ "${BED_WINE32_PREFER:-}" != root ] && [ -x /usr/lib/wine/wine ]; then
        if /usr/lib/wine/wine --version >/dev/null 2>&1; then
            BED_WINE32=host
            return 0
        fi
        BED_WINE32_WHY="this kernel runs no i386 programs, and qemu-i386 is not registered for them"
        return 1
    fi
    local dir why host="wine32:i386 is not installed"
    [ "${BED_WINE32_PREFER:-}" = root ] && host="BED_WINE32_PREFER=root"
    dir=$(bed_root_dir)
    why=$(bed_root_why)
    if [ ! -f "$dir/.ready" ]; then
        BED_WINE32_WHY="$host, and there is no Wine root (${why:-scripts/setup makes one})"
        return 1
    fi
    if [ -n "$why" ]; then
        BED_WINE32_WHY="$host, and $why"
        return 1
    fi
    if ! bed_root_exec "$dir" true >/dev/null 2>&1; then
        BED_WINE32_WHY="$host, and the Wine root cannot be entered here (no mount namespace, or no mounts in it)"
        return 1
    fi
    if ! bed_root_exec "$dir" /usr/lib/wine/wine --version >/dev/null 2>&1; then
        BED_WINE32_WHY="this kernel runs no i386 programs, and qemu-i386 is not registered for them"
        return 1
    fi
    BED_WINE32=root
    BED_ROOT=$dir
    touch "$dir"  # in use: kept by the clean-up in bed_root_make
}

# Every program the bed starts sees the same system: the bed's locale
# (wine-locale), no debug chatter, and no Mono or Gecko installer popping up.
bed_env() {
    export WINEPREFIX="$BED_DIR/prefix"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export WINESERVER=/usr/lib/wine/wineserver64
    if [ "${BED_WOW64:-0}" = 1 ]; then
        bed_wine32 || { bed_log "no 32-bit Wine: $BED_WINE32_WHY"; return 1; }
        if [ "$BED_WINE32" = root ]; then
            export BED_ROOT
            BED_WINE64=$BED_HERE/wine-root
            WINESERVER=$BED_HERE/wineserver-root
        fi
    fi
}

bed_start_display() {
    if [ "${BED_DISPLAY:-}" = none ]; then
        unset DISPLAY
        return
    fi
    if [ "${BED_DISPLAY:-}" = user ] && [ -n "${DISPLAY:-}" ]; then
        bed_log "using display $DISPLAY"
        return
    fi
    bed_xvfb "$BED_SCREEN" || { bed_log "Xvfb did not start: $(cat "$BED_DIR/xvfb.log")"; return 1; }
    export DISPLAY=$BED_XVFB_DISPLAY
    bed_log "private display $DISPLAY (${BED_SCREEN})"
}

# bed_xvfb SIZE: starts a private Xvfb of that size and sets BED_XVFB_DISPLAY
# to its name; bed_down ends it. -displayfd lets Xvfb pick a free display
# number itself: no races with other runs on the same machine. Wine takes the
# display of the process that starts its desktop, so switch with
# bed_restart_server. Not in a $(...): the pid must reach bed_down.
bed_xvfb() {
    local fifo="$BED_DIR/xvfb.fd" n="" unix
    # Some Xvfb builds refuse "-nolisten unix"; then with the socket.
    for unix in "-nolisten unix" ""; do
        rm -f "$fifo"
        mkfifo "$fifo"
        # shellcheck disable=SC2086
        Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp $unix 3>"$fifo" >>"$BED_DIR/xvfb.log" 2>&1 &
        BED_XVFB_PIDS="${BED_XVFB_PIDS:-} $!"
        read -r n <"$fifo" || true
        rm -f "$fifo"
        [ -n "$n" ] && break
    done
    BED_XVFB_DISPLAY=${n:+:$n}
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

# bed_flavour: wow64 when the bed runs 32-bit programs (BED_WOW64=1), or when
# 32-bit programs run natively and the 32-bit side costs nothing; win64 where
# qemu emulates i386, for there wineboot's 32-bit step alone takes minutes.
bed_flavour() {
    if [ "${BED_WOW64:-0}" != 1 ] && [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
        echo win64
    else
        echo wow64
    fi
}

# bed_fresh_prefix: makes a pristine prefix in $WINEPREFIX, with everything
# every bed wants in it, and leaves its registry on disk.
bed_fresh_prefix() {
    local emulator=()
    # qemu refuses an unknown CPU at once, so the 32-bit step fails fast
    # and the 64-bit side is all there is.
    [ "$(bed_flavour)" = win64 ] && emulator=(env QEMU_CPU=none)
    "${emulator[@]}" "$BED_WINE64" wineboot -i </dev/null >"$WINEPREFIX.log" 2>&1 || {
        bed_log "wineboot failed"; cat "$WINEPREFIX.log" >&2; return 1; }
    "$WINESERVER" -w
    mkdir -p "$WINEPREFIX/drive_c/bed"
    # Title-bar buttons are Marlett glyphs; Wine does not find Debian's copy
    # (package fonts-wine) by itself, and without it they show as letters.
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    bed_isolate
    bed_base_registry
    rm -f "$WINEPREFIX/drive_c/bed/import.reg"
    "$WINESERVER" -w
}

# The name of the cached prefix: whatever a fresh prefix is made of. A Wine
# or font upgrade, or an edit of the functions that fill it, gives a new name.
bed_prefix_key() {
    {
        "$BED_WINE64" --version
        dpkg-query --admindir="${BED_ROOT:-}/var/lib/dpkg" -W -f='${Package} ${Version}\n' \
            wine64 wine32:i386 fonts-wine fonts-ipafont-gothic 2>/dev/null
        cat "${BED_ROOT:-}"/usr/share/wine/wine.inf /usr/share/wine/fonts/marlett.ttf 2>/dev/null | cksum
        echo "${BED_ROOT:+root}"
        declare -f bed_env bed_flavour bed_fresh_prefix bed_isolate bed_base_registry bed_reg_import
        bed_flavour
    } | sha256sum | cut -c1-16
}

bed_prefix_name() { echo "prefix-$(bed_flavour)-$(bed_prefix_key)"; }

# bed_cached_prefix: sets BED_CACHED to the cached pristine prefix, making it
# first when it is missing. It is made in a temporary folder beside it and
# renamed into place, so no bed ever copies half a prefix; a lock spares a
# second run the same wait, and without the lock two runs racing both make
# one and the later rename simply loses.
bed_cached_prefix() {
    local name dir
    name=$(bed_prefix_name) || return 1
    dir=$BED_CACHE/$name
    BED_CACHED=$dir
    if [ -f "$dir/system.reg" ]; then
        touch "$dir"  # in use: kept by the clean-up below
        return 0
    fi
    mkdir -p "$BED_CACHE" || return 1
    (
        command -v flock >/dev/null && flock -w 900 9
        [ -f "$dir/system.reg" ] && exit 0
        rm -rf "$dir"  # half deleted by hand: a finished one always has its registry
        # Leftovers of interrupted runs, and prefixes no bed used for a month.
        find "$BED_CACHE" -mindepth 1 -maxdepth 1 \( -name '.making.*' -mmin +120 -o \
            -name 'prefix-*' -mtime +30 \) -exec rm -rf {} + 2>/dev/null
        t0=$SECONDS
        tmp=$(mktemp -d "$BED_CACHE/.making.XXXXXX") || exit 1
        bed_log "making the pristine prefix $name (once per machine)"
        export WINEPREFIX=$tmp
        export BED_LANG=ja_JP.UTF-8  # the same prefix whichever bed makes it
        if ! bed_fresh_prefix; then
            "$WINESERVER" -k 2>/dev/null
            rm -rf "$tmp" "$tmp.log"
            exit 1
        fi
        rm -f "$tmp.log"
        mv -T "$tmp" "$dir" 2>/dev/null || rm -rf "$tmp"
        bed_log "pristine prefix made in $((SECONDS - t0)) s"
    ) 9>"$dir.lock"
    [ -f "$dir/system.reg" ] || { bed_log "no pristine prefix in $dir"; return 1; }
}

# bed_prepare: makes the cached pristine prefix of this bed's flavour if it
# is missing, with a private display of its own, and ends all it started.
# The test command runs it in the background while it builds.
bed_prepare() {
    (
        BED_DIR=$(mktemp -d /tmp/bed-prepare.XXXXXX) || exit 1
        BED_OWN_DIR=1
        trap bed_down EXIT
        bed_env && bed_start_display && bed_cached_prefix
    )
}

bed_make_prefix() {
    local name
    name=$(bed_prefix_name) || return 1
    # Only a prefix made the same way: one the host's Wine made is no use to
    # the Wine root's, nor a 64-bit one to a 32-bit program.
    if [ "${BED_REUSE:-0}" = 1 ] && [ -f "$WINEPREFIX/system.reg" ] &&
        [ "$(cat "$WINEPREFIX/.bed-made-as" 2>/dev/null)" = "$name" ]; then
        bed_log "reusing the prefix in $WINEPREFIX"
        # This bed's settings on top of whatever made it.
        bed_isolate
        bed_base_registry
        return
    fi
    bed_cached_prefix || return 1
    local from=$BED_CACHED
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    cp -a --reflink=auto "$from/." "$WINEPREFIX/" || { bed_log "could not copy $from"; return 1; }
    echo "$name" >"$WINEPREFIX/.bed-made-as"
    bed_log "prefix copied from $from"
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

# bed_pngs FOLDER: the screenshots the scenario programs left in C:\bed\shots,
# as FOLDER/<name>.png (as BMP where ImageMagick is missing).
bed_pngs() {
    local b n
    mkdir -p "$1"
    for b in "$WINEPREFIX"/drive_c/bed/shots/*.bmp; do
        [ -f "$b" ] || continue
        n=$(basename "$b" .bmp)
        convert "$b" "$1/$n.png" 2>/dev/null || cp "$b" "$1/"
    done
}

# bed_scenario_env OLD_GAME UPDATER...: the folders the scenario programs
# take from the environment (tests/e2e/driver/Updater.h): the updaters given,
# each with its .payload, the old game, a work folder and a shots folder.
# E2E_FULL_DRIVE is the caller's.
bed_scenario_env() {
    local old_game=$1
    shift
    export E2E_UPDATERS E2E_OLD_GAME E2E_WORK='C:\bed\work' E2E_SHOTS='C:\bed\shots'
    mkdir -p "$WINEPREFIX/drive_c/bed/work" "$WINEPREFIX/drive_c/bed/shots"
    E2E_UPDATERS=$(bed_put updaters "$@")
    E2E_OLD_GAME="$(bed_put game "$old_game")\\$(basename "$old_game")"
}

# bed_run NAME SECONDS EXE [ARG...]: runs a scenario program of the bed (a
# Windows path) from C:\bed, the only folder of the machine the prefix can
# see; shows its output and adds its closing "N passed, N failed[, N
# skipped]" to the file BED_COUNTS, one line a run, for bed_counted (beds in
# subshells add up too). A run that ends non-zero with no failure counted,
# or without its closing line, counts one failure; a failed run leaves a
# screenshot in BED_FAILED_SHOTS when that is set.
bed_run() {
    local name=$1 seconds=$2 log status line p=0 f=0 s=0
    shift 2
    log=$(mktemp "$BED_DIR/run.XXXXXX")
    (cd "$WINEPREFIX/drive_c/bed" && timeout $((seconds * ${BED_SLOWER:-1})) "$BED_WINE64" "$@") 2>&1 |
        tr -d '\r' | tee "$log"
    status=${PIPESTATUS[0]}
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
    rm -f "$log"
    [ -n "$line" ] && read -r p _ f _ s _ <<<"${line//,/}"
    if { [ -z "$line" ] || [ "$status" -ne 0 ]; } && [ "$f" -eq 0 ]; then
        printf '%s: exit status %d\n' "$name" "$status"
        f=1
    fi
    if [ "$f" -gt 0 ] && [ -n "${BED_FAILED_SHOTS:-}" ]; then
        bed_screenshot "$BED_FAILED_SHOTS/failed-${name//[^A-Za-z0-9]/-}.png"
    fi
    printf '%d %d %d %s\n' "$p" "$f" "${s:-0}" "$name" >>"$BED_COUNTS"
}

# bed_counted WHAT: names the runs that failed and prints "WHAT: N passed, N
# failed[, N skipped]" over every run in BED_COUNTS; fails when one did.
bed_counted() {
    local p f s name passed=0 failed=0 skipped=0 more=
    while read -r p f s name; do
        passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
        [ "$f" -gt 0 ] && printf 'FAILED: %s\n' "$name"
    done <"$BED_COUNTS"
    [ "$skipped" -gt 0 ] && more=", $skipped skipped"
    printf '%s: %d passed, %d failed%s\n' "$1" "$passed" "$failed" "$more"
    [ "$failed" -eq 0 ]
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
    bed_env || return 1
    # 32-bit programs under qemu: each start takes the best part of a
    # minute, so every wait and time limit is made longer to match.
    BED_SLOWER=1
    if [ "${BED_WOW64:-0}" = 1 ] && bed_i386_emulated; then
        BED_SLOWER=20
        export E2E_WAIT_MS=${E2E_WAIT_MS:-300000}
    fi
    bed_start_display || return 1
    bed_make_prefix || return 1
    bed_restart_server
}

bed_down() {
    trap - EXIT
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        "$WINESERVER" -k 2>/dev/null || true
        "$WINESERVER" -w 2>/dev/null || true
    fi
    local m
    for m in ${BED_XVFB_PIDS:-}; do kill "$m" 2>/dev/null || true; wait "$m" 2>/dev/null || true; done
    BED_XVFB_PIDS=
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
