#!/usr/bin/env python3
"""Tests of check-imports: the shipped program passes, faulty programs are caught.

    python3 tools/win98-imports/test_check_imports.py [-v]

The faulty programs are built here with mingw-w64; SETUP_EXE overrides the
shipped program's path (default dist/Setup.exe).
"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import pe  # tools/pe.py
CHECKER = os.path.join(HERE, "check-imports")
SETUP_EXE = os.environ.get("SETUP_EXE", os.path.join(ROOT, "dist", "Setup.exe"))

# One program with every fault the check must name, each on its own import.
FAULTY_SOURCE = r"""
__declspec(dllimport) unsigned long long __stdcall GetTickCount64(void);
__declspec(dllimport) int __stdcall MoveFileExA(const char*, const char*, unsigned);
__declspec(dllimport) unsigned __stdcall GetDpiForWindow(void*);
__declspec(dllimport) int __stdcall ByOrdinalOnly(void);
int main(void) {
    return (int)GetTickCount64() + MoveFileExA("a", "b", 0) + (int)GetDpiForWindow(0) +
           ByOrdinalOnly();
}
"""

STUB_ONLY_SOURCE = r"""
__declspec(dllimport) int __stdcall MoveFileExA(const char*, const char*, unsigned);
int main(void) { return MoveFileExA("a", "b", 0); }
"""


def run(*args):
    p = subprocess.run([sys.executable, CHECKER] + list(args), capture_output=True, text=True)
    return p.returncode, p.stdout + p.stderr


def fill_delay_directory(exe, nm):
    """GNU ld 2.40 links delay-load descriptors but leaves the PE's delay-import
    directory empty (MSVC and lld fill it); point it at the descriptors."""
    symbols = subprocess.run([nm, exe], capture_output=True, text=True, check=True).stdout
    va = next(int(line.split()[0], 16) for line in symbols.splitlines()
              if "__DELAY_IMPORT_DESCRIPTOR_" in line)
    with open(exe, "r+b") as f:
        data = bytearray(f.read())
        image = pe.Image(bytes(data))
        struct.pack_into("<II", data, image.directories + 8 * pe.DELAY_IMPORT_DIRECTORY,
                         va - image.image_base, 32)
        f.seek(0)
        f.write(data)


class Fixtures:
    """Builds the faulty programs once for all tests."""
    dir = None

    @classmethod
    def build(cls):
        if cls.dir:
            return cls.dir
        cls.tmp = tempfile.TemporaryDirectory(prefix="win98-imports-")
        d = cls.dir = cls.tmp.name

        def write(name, text):
            with open(os.path.join(d, name), "w") as f:
                f.write(text)

        def sh(*cmd):
            subprocess.run(cmd, cwd=d, check=True, capture_output=True)

        write("faulty.c", FAULTY_SOURCE)
        write("stub.c", STUB_ONLY_SOURCE)
        write("plain.c", "int main(void) { return 0; }\n")
        write("delay.def", "LIBRARY user32.dll\nEXPORTS\nGetDpiForWindow@4\n")
        write("ordinal.def", "LIBRARY gdi32.dll\nEXPORTS\nByOrdinalOnly@0 @100 NONAME\n")
        sh("i686-w64-mingw32-dlltool", "-k", "-d", "delay.def", "-y", "libdelay.a")
        sh("i686-w64-mingw32-dlltool", "-k", "-d", "ordinal.def", "-l", "libordinal.a")
        sh("i686-w64-mingw32-gcc", "-O1", "-o", "faulty.exe", "faulty.c",
           "-Wl,--major-subsystem-version,5", "-Wl,--major-os-version,6",
           "-L.", "-ldelay", "-lordinal")
        fill_delay_directory(os.path.join(d, "faulty.exe"), "i686-w64-mingw32-nm")
        sh("i686-w64-mingw32-gcc", "-O1", "-o", "stub.exe", "stub.c")
        sh("x86_64-w64-mingw32-gcc", "-O1", "-o", "x64.exe", "plain.c")
        return d


class CheckImports(unittest.TestCase):
    def test_shipped_program_passes(self):
        self.assertTrue(os.path.isfile(SETUP_EXE), SETUP_EXE + " missing: build the win32 preset")
        status, out = run(SETUP_EXE)
        self.assertEqual(status, 0, out)
        self.assertIn("OK", out.splitlines()[-1])

    def test_each_fault_is_named_and_fails_the_check(self):
        exe = os.path.join(Fixtures.build(), "faulty.exe")
        status, out = run(exe)
        self.assertEqual(status, 1, out)
        expected = [
            "problem: subsystem version 5.0 is above 4.0",
            "problem: OS version 6.0 is above 4.0",
            "problem: import KERNEL32.dll!GetTickCount64: not exported by Windows 98",
            "problem: import KERNEL32.dll!MoveFileExA: a stub on Windows 98",
            "problem: delay import user32.dll!GetDpiForWindow: not exported by Windows 98",
            "problem: import gdi32.dll!ordinal 100: imported by ordinal",
        ]
        for line in expected:
            with self.subTest(line=line):
                self.assertIn(line, out)
        self.assertIn("6 problems", out.splitlines()[-1])

    def test_stub_passes_only_when_tolerated(self):
        exe = os.path.join(Fixtures.build(), "stub.exe")
        status, out = run(exe)
        self.assertEqual(status, 1, out)
        tolerated = os.path.join(Fixtures.build(), "tolerated.txt")
        with open(tolerated, "w") as f:
            f.write("kernel32.dll MoveFileExA  # the caller falls back to MoveFileA\n")
        status, out = run("--tolerated", tolerated, exe)
        self.assertEqual(status, 0, out)

    def test_64_bit_program_is_refused(self):
        status, out = run(os.path.join(Fixtures.build(), "x64.exe"))
        self.assertEqual(status, 1, out)
        self.assertIn("problem: machine is x86-64", out)

    def test_unreadable_files_exit_2(self):
        d = Fixtures.build()
        truncated = os.path.join(d, "truncated.exe")
        with open(os.path.join(d, "stub.exe"), "rb") as f:
            head = f.read(0x200)
        with open(truncated, "wb") as f:
            f.write(head)
        for path in (os.path.join(HERE, "tolerated.txt"), truncated, os.path.join(d, "none.exe")):
            with self.subTest(path=path):
                status, out = run(path)
                self.assertEqual(status, 2, out)
                self.assertIn("not a readable PE file", out)


if __name__ == "__main__":
    unittest.main()
