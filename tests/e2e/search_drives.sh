# The disks the automatic search walks, for its scenarios (tests/e2e/run) and
# its benchmark (search_bench.sh). Source after bed.sh, call after bed_up.

# search_drives TREES: A: (removable), D: (optical), F: (network) and C: (the
# prefix, made a network drive so that its Windows folder stays out of the
# walk) all hold the marker; E: and G: are the only fixed disks, TREES/e and
# TREES/g, for the caller to fill.
search_drives() {
    local trees=$1
    mkdir -p "$trees"/{a,d,e,f,g}
    bed_drive A "$trees/a" floppy
    bed_drive D "$trees/d" cdrom
    bed_drive E "$trees/e" hd
    bed_drive F "$trees/f" network
    bed_drive G "$trees/g" hd
    bed_reg_import <<'R'
[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"c:"="network"
R
    bed_restart_server
    local d
    for d in a d f; do touch "$trees/$d/MG_DATA.MBL"; done
    touch "$WINEPREFIX/drive_c/MG_DATA.MBL"
}

# search_big_tree FOLDER: 20,420 folders under FOLDER/big&co; the "&" shows
# in the progress line.
search_big_tree() {
    mkdir -p "$1/big&co"/d{00..19}/s{00..19}/l{00..49}
}
