#!/bin/sh
# Regenerates the small PE files the bundle tests rewrite and read:
#   stub32.exe, stub64.exe  a PE32 and a PE32+ program with a manifest, a
#                           version, an icon (ids 1 and 2, group 1), a string
#                           table, a named resource and a stale EXE/EXECRC
#   game-icon.exe           a PE32 whose first icon group is named MAINICON
#                           (three images, ids 1..3) before a second group 7
#   reloc32.exe, reloc64.exe  the stubs' resources in a program linked as
#                           Setup.exe is: relocations kept, dynamic base, so
#                           .reloc follows .rsrc. Run, it exits 0 when its EXE
#                           resource is there and is not the stale one, 2 when
#                           it is the stale one, 3 when it cannot load it.
# Needs the mingw-w64 toolchains and python3; the files are checked in, so the
# tests need neither. The output is the same on every run (no time stamps).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Icons of 1-bit images: width, height, seed of their pixels.
python3 - <<'PY'
import struct
def image(w, h, seed):
    header = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    row = ((w + 31) // 32) * 4
    xor = bytes((seed * 37 + i * 11) & 0xFF for i in range(row * h))
    return header + palette + xor + bytes(row * h)
def ico(name, sizes):
    images = [image(w, w, s) for w, s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (w, s), data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', w, w, 2, 0, 1, 1, len(data), offset)
        offset += len(data)
    open(name, 'wb').write(out + b''.join(images))
ico('stub.ico', [(16, 1), (32, 2)])
ico('game.ico', [(16, 3), (32, 4), (48, 5)])
ico('other.ico', [(16, 6)])
PY

cat > main.c <<'C'
int start(void) { return 0; }
C
# A table of pointers: the linker must write relocations for it.
cat > reloc.c <<'C'
#include <windows.h>
static const char* const names[] = {"EXE", "EXECRC"};
void start(void) {
    UINT code = 0;
    for (int i = 0; i < 2; ++i) {
        HRSRC found = FindResourceA(NULL, names[i], MAKEINTRESOURCEA(10));
        const char* data = found ? (const char*)LockResource(LoadResource(NULL, found)) : NULL;
        if (!data || SizeofResource(NULL, found) < 4) code = 3;
        else if (i == 0 && code == 0 && data[0] == 's') code = 2;
    }
    ExitProcess(code);
}
C
printf '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"/>\n' > app.manifest
printf 'stale container' > stale.bin
cat > stub.rc <<'RC'
LANGUAGE 0x11, 0x1
1 24 "app.manifest"
1 ICON "stub.ico"
1 VERSIONINFO
FILEVERSION 1, 2, 3, 4
BEGIN
    BLOCK "VarFileInfo"
    BEGIN
        VALUE "Translation", 0x0411, 1200
    END
END
STRINGTABLE
BEGIN
    1 "first"
    2 "second"
END
HELLO RCDATA { "hello", 0x1234 }
EXE RCDATA "stale.bin"
EXECRC RCDATA { 1, 2 }
RC
cat > game.rc <<'RC'
LANGUAGE 0x9, 0x1
MAINICON ICON "game.ico"
7 ICON "other.ico"
RC

build() {
    cc=$1; entry=$2; out=$3; src=$4
    "$cc-windres" -O coff "$src" -o res.o
    "$cc-gcc" -Os -s -nostdlib -Wl,-e,$entry -Wl,--disable-reloc-section \
        -Wl,--no-insert-timestamp -Wl,--subsystem,windows main.c res.o -o "$here/$out"
}
build i686-w64-mingw32 _start stub32.exe stub.rc
build x86_64-w64-mingw32 start stub64.exe stub.rc
build i686-w64-mingw32 _start game-icon.exe game.rc
relocatable() {
    cc=$1; entry=$2; out=$3
    "$cc-windres" -O coff stub.rc -o res.o
    "$cc-gcc" -Os -s -nostdlib -Wl,-e,$entry -Wl,--dynamicbase,--nxcompat \
        -Wl,--no-insert-timestamp -Wl,--subsystem,windows reloc.c res.o -lkernel32 -o "$here/$out"
}
relocatable i686-w64-mingw32 _start reloc32.exe
relocatable x86_64-w64-mingw32 start reloc64.exe
ls -l "$here"/*.exe
