# The Wine root: a Debian system of its own, made once from the main archive
# alone, for machines whose own Wine has no 32-bit side. wine32:i386 must
# match the amd64 libraries to the version, and when those came from an
# update whose i386 index the mirror serves stale, it cannot be installed at
# all; in a root made from one archive the two always match. The root is
# amd64 with i386 beside it, as the host would be, so the bed in it is the
# host's bed: a 64-bit prefix whose wineserver and services are native, and
# only the 32-bit programs i386 (emulated where the kernel runs none; a root
# of i386 alone would emulate its wineserver too, and hangs so in wineboot).
# Sourced by bed.sh; scripts/setup makes it.
#
# It lives in BED_CACHE/root-KEY, KEY hashing the suite, the mirror, the
# packages and bed_root_fill, so that a change of any makes a new one. Wine
# in it runs through wine-root, in a mount namespace of the call's own.

BED_ROOT_PACKAGES=(wine wine64 wine32:i386 fonts-ipafont-gothic fonts-wine locales)

# The host's suite and the address it takes Debian's main archive from.
bed_root_suite() { (. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}"); }
bed_root_mirror() {
    local suite=$1 uri
    uri=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT) $(TARGET_OF)' 2>/dev/null |
        awk -v s="$suite" '$2 == s && $3 == "main" && $4 == "deb" { print $1; exit }')
    echo "$uri"
}

# bed_root_dir: the root this checkout wants, made or not.
bed_root_dir() {
    local suite key
    suite=$(bed_root_suite)
    key=$({
        echo "$suite"
        bed_root_mirror "$suite"
        echo "${BED_ROOT_PACKAGES[*]}"
        declare -f bed_root_fill
    } | sha256sum | cut -c1-16)
    echo "$BED_CACHE/root-$suite-$key"
}

# bed_root_why: why this machine cannot make or use a root; nothing when it can.
bed_root_why() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "making and entering the Wine root needs root"
    elif ! command -v debootstrap >/dev/null 2>&1; then
        echo "debootstrap is not installed"
    elif ! command -v unshare >/dev/null 2>&1; then
        echo "unshare is not installed"
    fi
}

# bed_root_fill DIR: everything the bed needs inside a fresh minimal root.
bed_root_fill() {
    local dir=$1 loc
    cp /etc/resolv.conf "$dir/etc/resolv.conf" 2>/dev/null
    # Nothing inside may start a service.
    printf '#!/bin/sh\nexit 101\n' >"$dir/usr/sbin/policy-rc.d" && chmod +x "$dir/usr/sbin/policy-rc.d"
    for loc in ja_JP en_US zh_CN; do echo "$loc.UTF-8 UTF-8"; done >"$dir/etc/locale.gen"
    bed_root_exec "$dir" sh -c '
        dpkg --add-architecture i386 &&
        apt-get update -q &&
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" &&
        apt-get clean &&
        locale-gen' sh "${BED_ROOT_PACKAGES[@]}"
}

# bed_root_exec DIR COMMAND...: runs COMMAND inside the root DIR, with /proc
# and /dev, in a mount namespace that ends with it.
bed_root_exec() {
    local dir=$1
    shift
    unshare --mount --propagation private sh -c '
        dir=$1; shift
        mount -t proc proc "$dir/proc" && mount --rbind /dev "$dir/dev" || exit 1
        exec chroot "$dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"
    ' sh "$dir" "$@"
}

# bed_root_make: makes the root unless it is there, in a folder beside it that
# is renamed into place, under a lock (as bed_cached_prefix does). Prints
# where the log is on failure.
bed_root_make() {
    local dir why
    dir=$(bed_root_dir)
    [ -f "$dir/.ready" ] && { touch "$dir"; return 0; }
    why=$(bed_root_why)
    [ -z "$why" ] || { bed_log "no Wine root: $why"; return 1; }
    mkdir -p "$BED_CACHE" || return 1
    (
        command -v flock >/dev/null && flock -w 1800 9
        [ -f "$dir/.ready" ] && exit 0
        # Leftovers of interrupted runs, and roots no bed used for a week.
        find "$BED_CACHE" -mindepth 1 -maxdepth 1 \( -name '.root.*' -mmin +120 -o \
            -name 'root-*' -type d -mtime +7 \) -exec rm -rf {} + 2>/dev/null
        rm -rf "$dir"
        local suite mirror tmp log t0=$SECONDS
        suite=$(bed_root_suite)
        mirror=$(bed_root_mirror "$suite")
        [ -n "$mirror" ] || { bed_log "no Wine root: the apt sources name no $suite main archive"; exit 1; }
        tmp=$(mktemp -d "$BED_CACHE/.root.XXXXXX") || exit 1
        log=$BED_CACHE/root.log
        bed_log "making the Wine root $(basename "$dir") from $mirror $suite (once per machine; log: $log)"
        if debootstrap --arch=amd64 --variant=minbase "$suite" "$tmp" "$mirror" >"$log" 2>&1 &&
            bed_root_fill "$tmp" >>"$log" 2>&1; then
            touch "$tmp/.ready"
            mv -T "$tmp" "$dir" 2>/dev/null || rm -rf "$tmp"
            bed_log "Wine root made in $((SECONDS - t0)) s"
        else
            tail -5 "$log" >&2
            rm -rf "$tmp"
            exit 1
        fi
    ) 9>"$dir.lock"
    [ -f "$dir/.ready" ]
}
