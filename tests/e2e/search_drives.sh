# The disks the automatic search walks, for its scenarios (tests/e2e/run) and
# its benchmark (search_bench.sh). Source after bed.sh, call after bed_up.

# search_drives TREES: D:, E: and G: are the only fixed disks, TREES/d,
# TREES/e and TREES/g, for the caller to fill; A: (removable), F: (network),
# H: (optical) and C: (the prefix, made a network drive so that its Windows
# folder stays out of the walk) all hold the marker.
search_drives() {
    local trees=$1 d
    mkdir -p "$trees"/{a,d,e,f,g,h}
    bed_drive A "$trees/a" floppy
    bed_drive D "$trees/d" hd
    bed_drive E "$trees/e" hd
    bed_drive F "$trees/f" network
    bed_drive G "$trees/g" hd
    bed_drive H "$trees/h" cdrom
    bed_reg_import <<'R'
[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"c:"="network"
R
    bed_restart_server
    for d in a f h; do touch "$trees/$d/MG_DATA.MBL"; done
    touch "$WINEPREFIX/drive_c/MG_DATA.MBL"
}

# search_big_tree FOLDER: 20,420 folders under FOLDER/big&co; the "&" shows
# in the progress line.
search_big_tree() {
    mkdir -p "$1/big&co"/d{00..19}/s{00..19}/l{00..49}
}

# search_tree TREES: empties the fixed disks and lays out the lines read
# (SearchTest --tree): "dir PATH", "file PATH", "link PATH TARGET" (a
# symbolic link), "big PATH" (search_big_tree), each PATH under TREES.
search_tree() {
    local trees=$1 kind path target
    rm -rf "$trees/d" "$trees/e" "$trees/g"
    mkdir -p "$trees/d" "$trees/e" "$trees/g"
    while read -r kind path target; do
        path=$trees/$path
        case $kind in
        dir) mkdir -p "$path" ;;
        file) mkdir -p "$(dirname "$path")" && touch "$path" ;;
        link) mkdir -p "$(dirname "$path")" && ln -s "$target" "$path" ;;
        big) search_big_tree "$path" ;;
        *) bed_log "search_tree: no such line: $kind $path $target"; return 1 ;;
        esac
    done
}
