"""Reads a PE file's headers, sections and tables, every read bounds-checked.

The Python tools' one PE reader: tools/win98-imports/check-imports (and its
tests) and tests/e2e/check_pe_hardening use it; the C++ tools have theirs in
tools/yppack/PeFormat.h.

Fields, all little-endian:
  DOS header       0 "MZ"; 0x3C e_lfanew, the PE header's offset
  PE header        "PE\\0\\0", then the 20-byte file header: +0 Machine,
                   +2 NumberOfSections, +16 SizeOfOptionalHeader,
                   +18 Characteristics; the optional header follows it
  optional header  +0 Magic (0x10B PE32, 0x20B PE32+), +24/+28 ImageBase
                   (8 bytes at +24 in PE32+, 4 at +28 in PE32), +40 OS
                   version, +48 subsystem version (two 16-bit halves each),
                   +68 Subsystem, +70 DllCharacteristics; NumberOfRvaAndSizes
                   and the data directories (RVA, size) at +92/+96 (PE32) or
                   +108/+112 (PE32+)
  section header   40 bytes each after the optional header: +0 Name,
                   +8 VirtualSize, +12 VirtualAddress, +16 SizeOfRawData,
                   +20 PointerToRawData
  base relocations blocks of +0 page RVA, +4 block size (header included),
                   then 16-bit entries
"""

import collections
import struct

PE32 = 0x10B
PE32_PLUS = 0x20B

IMPORT_DIRECTORY = 1
RESOURCE_DIRECTORY = 2
RELOCATION_DIRECTORY = 5
DELAY_IMPORT_DIRECTORY = 13

Section = collections.namedtuple("Section", "name rva virtual_size raw_size raw_offset")


class NotPe(Exception):
    """The bytes are not a PE file, or a read runs past them."""


class Image:
    """The headers of a PE file held in memory as bytes."""

    def __init__(self, data):
        self.data = data
        if self.u16(0) != 0x5A4D:
            raise NotPe("no MZ header")
        pe = self.u32(0x3C)
        if self.raw(pe, 4) != b"PE\0\0":
            raise NotPe("no PE signature")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack("<HHIIIHH", self.raw(pe + 4, 20))
        self.optional = opt = pe + 24
        magic = self.u16(opt)
        if magic == PE32:
            self.pe32plus = False
            self.image_base = self.u32(opt + 28)
            self.directories = opt + 96
        elif magic == PE32_PLUS:
            self.pe32plus = True
            self.image_base = struct.unpack("<Q", self.raw(opt + 24, 8))[0]
            self.directories = opt + 112
        else:
            raise NotPe("unknown optional header magic 0x%x" % magic)
        self.os_version = (self.u16(opt + 40), self.u16(opt + 42))
        self.subsystem_version = (self.u16(opt + 48), self.u16(opt + 50))
        self.subsystem = self.u16(opt + 68)
        self.dll_characteristics = self.u16(opt + 70)
        self.dirs = []
        for i in range(min(self.u32(self.directories - 4), 16)):
            if self.directories + 8 * i + 8 > opt + optional_size:
                break
            self.dirs.append(struct.unpack("<II", self.raw(self.directories + 8 * i, 8)))
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            header = self.raw(table + 40 * i, 40)
            vsize, rva, rsize, roffset = struct.unpack_from("<IIII", header, 8)
            name = header[:8].rstrip(b"\0").decode("latin-1")
            self.sections.append(Section(name, rva, vsize, rsize, roffset))

    @classmethod
    def read(cls, path):
        with open(path, "rb") as f:
            return cls(f.read())

    def raw(self, offset, size):
        if offset < 0 or offset + size > len(self.data):
            raise NotPe("truncated at offset 0x%x" % offset)
        return self.data[offset:offset + size]

    def u16(self, offset):
        return struct.unpack("<H", self.raw(offset, 2))[0]

    def u32(self, offset):
        return struct.unpack("<I", self.raw(offset, 4))[0]

    def directory(self, index):
        """(rva, size) of a data directory; (0, 0) where the file has none."""
        return self.dirs[index] if index < len(self.dirs) else (0, 0)

    def offset(self, rva):
        """The file offset of rva, which must lie in a section's stored bytes."""
        for s in self.sections:
            if s.rva <= rva < s.rva + max(s.virtual_size, s.raw_size):
                if rva - s.rva >= s.raw_size:
                    raise NotPe("RVA 0x%x lies in a section's zero fill" % rva)
                return s.raw_offset + rva - s.rva
        raise NotPe("RVA 0x%x lies in no section" % rva)

    def string(self, rva):
        """The NUL-terminated byte string at rva, as Latin-1."""
        start = self.offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise NotPe("unterminated name at RVA 0x%x" % rva)
        return self.data[start:end].decode("latin-1")

    def relocation_blocks(self):
        """(page RVA, block size) of each base relocation block. Raises NotPe
        unless the blocks fill the directory exactly, each at least its
        8-byte header and a whole number of entries long."""
        rva, size = self.directory(RELOCATION_DIRECTORY)
        if not size:
            return []
        at = self.offset(rva)
        end = at + size
        blocks = []
        while at < end:
            page, block = struct.unpack("<II", self.raw(at, 8))
            if block < 8 or block % 2 or at + block > end:
                raise NotPe("relocation block at 0x%x is %d bytes" % (at, block))
            blocks.append((page, block))
            at += block
        return blocks
