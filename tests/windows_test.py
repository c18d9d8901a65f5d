#!/usr/bin/env python3
"""Checks the 32-bit Windows program under Wine, and the resources and imports of its .exe.

Usage: windows_test.py EXE C_COMPILER ICON WINEPREFIX
"""
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import unittest

EXE = CC = ICON = None
WINE_TIMEOUT = 120  # the first run makes the Wine prefix, which takes a while

BANNER = (b"\t+----------------------------+\r\n"
          b"\t|NORVANE                     |\r\n"
          b"\t|     CODED BY qortez7       |\r\n"
          b"\t+----------------------------+\r\n"
          b"\r\nEnter the output file name(with .c extension): ")
INSTRUCTIONS = (b"\r\nNow start entering DOS commands: \r\n"
                b"or edit a .bat or .cmd code and copy all the codes then paste it in the window"
                b"\r\nWhen finished, type 'end' for the end of commands\r\n"
                b"\r\nStart:\r\n\r\n")
SUCCESS = (b"\r\n\r\nFile successfully created\r\nNow compile it with any C compiler"
           b"\r\nThanks for using this app")


def wine(program, folder, stdin_bytes=b""):
    """Runs a Windows program without a terminal, so no key wait can block; a hang fails."""
    process = subprocess.Popen(["wine", program], cwd=folder, stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               start_new_session=True)
    try:
        out, _ = process.communicate(stdin_bytes, timeout=WINE_TIMEOUT)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.communicate()
        raise AssertionError(f"{program} still running after {WINE_TIMEOUT} s")
    return process.returncode, out


def convert(folder, script):
    return wine(EXE, folder, script)


class Dialogue(unittest.TestCase):
    def test_conversion_writes_cr_lf_lines(self):
        with tempfile.TemporaryDirectory() as folder:
            status, console = convert(folder, b"out.c\ncd C:\\temp\necho \"hi\"\r\nend\nver\n")
            self.assertEqual(console, BANNER + INSTRUCTIONS + SUCCESS)
            self.assertEqual(status, 0)
            with open(os.path.join(folder, "out.c"), "rb") as f:
                self.assertEqual(f.read(), (
                    b"/*\r\nNorvane\r\nBy qortez7\r\n*/\r\n#include <stdio.h>\r\n"
                    b"#include <conio.h>\r\n#include <stdlib.h>\r\nint main()\r\n{\r\n"
                    b"\tsystem(\"cd C:\\\\temp\");\r\n\tsystem(\"echo \\\"hi\\\"\");\r\n"
                    b"\tprintf(\"\\n\");\r\n\tgetch();\r\n}"))

    def test_file_that_cannot_be_opened(self):
        with tempfile.TemporaryDirectory() as folder:
            status, console = convert(folder, b"no\\such\\folder\\out.c\nver\nend\n")
            self.assertEqual(console, BANNER + b"Some error occurred while opening file")
            self.assertEqual(status, 1)


class GeneratedProgram(unittest.TestCase):
    # Each command, and the line it prints when the generated program runs it.
    COMMANDS = [
        (b'echo "quoted" text', '"quoted" text'),
        (b"echo C:\\temp\\new\\x", "C:\\temp\\new\\x"),
        (b"echo %NORVANE_WORD% at 100%", "expanded at 100%"),
        (b"echo what??! ??/ ??=", "what??! ??/ ??="),
        (b"   echo leading", "leading"),
        (b"echo one> made.txt", None),
        (b"type made.txt", "one"),
    ]

    def test_commands_run_in_order_in_c89_and_c99(self):
        script = b"prog.c\n" + b"".join(cmd + b"\n" for cmd, _ in self.COMMANDS) + b"end\n"
        expected = [line for _, line in self.COMMANDS if line is not None] + ["", ""]
        os.environ["NORVANE_WORD"] = "expanded"
        with tempfile.TemporaryDirectory() as folder:
            self.assertEqual(convert(folder, script)[0], 0)
            for standard in ("c89", "c99"):
                with self.subTest(standard=standard):
                    exe = f"prog-{standard}.exe"
                    subprocess.run([CC, f"-std={standard}", "-o", exe, "prog.c"], cwd=folder,
                                   check=True)
                    _, out = wine(exe, folder)
                    lines = [line.strip() for line in out.decode("latin-1").split("\r\n")]
                    self.assertEqual(lines, expected)


def icon_images(ico):
    """(width, height, bit count, image bytes) for each image of an .ico file."""
    _, kind, count = struct.unpack_from("<HHH", ico)
    assert kind == 1, "not an icon"
    images = []
    for i in range(count):
        w, h, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        images.append((w, h, bits, ico[offset:offset + size]))
    return images


class Executable(unittest.TestCase):
    def test_pe32_console_program_for_i386(self):
        with open(EXE, "rb") as f:
            pe = f.read()
        header = struct.unpack_from("<I", pe, 0x3C)[0]
        self.assertEqual(pe[header:header + 4], b"PE\0\0")
        self.assertEqual(struct.unpack_from("<H", pe, header + 4)[0], 0x14C)  # Intel 386
        self.assertEqual(struct.unpack_from("<H", pe, header + 24)[0], 0x10B)  # PE32
        self.assertEqual(struct.unpack_from("<H", pe, header + 24 + 68)[0], 3)  # console

    def test_needs_only_windows_own_dlls(self):
        dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", EXE], capture_output=True,
                              text=True, check=True).stdout
        dlls = {line.split()[-1].lower() for line in dump.splitlines() if "DLL Name:" in line}
        self.assertEqual(dlls, {"kernel32.dll", "msvcrt.dll"})

    def test_only_resource_is_the_icon_group(self):
        listing = subprocess.run(["wrestool", "-l", EXE], capture_output=True, text=True,
                                 check=True).stdout.splitlines()
        groups = [line for line in listing if "type=group_icon" in line]
        self.assertEqual(len(groups), 1, listing)
        self.assertIn("--name='MYICONNAME'", groups[0])
        self.assertEqual(sum("type=icon " in line for line in listing), 4, listing)
        self.assertEqual(len(listing), 5, listing)  # no version, menu, dialog, strings, manifest

    def test_icon_group_holds_four_sizes_with_alpha(self):
        extracted = subprocess.run(["wrestool", "-x", "--type=14", "--name=MYICONNAME", EXE],
                                   capture_output=True, check=True).stdout
        with open(ICON, "rb") as f:
            drawn = icon_images(f.read())
        built = icon_images(extracted)
        self.assertEqual([(w, h, bits) for w, h, bits, _ in built],
                         [(48, 48, 32), (32, 32, 32), (24, 24, 32), (16, 16, 32)])
        for (w, _, _, image), (_, _, _, original) in zip(built, drawn):
            self.assertEqual(image, original, f"{w} px image differs from the drawn one")
            alphas = {image[40 + 4 * i + 3] for i in range(w * w)}
            self.assertTrue({0, 255} < alphas, f"{w} px image has no soft alpha edge")


if __name__ == "__main__":
    EXE, CC, ICON, prefix = map(os.path.abspath, sys.argv[1:5])
    CC = shutil.which(sys.argv[2]) or CC
    del sys.argv[1:5]
    os.environ.update(WINEDEBUG="-all", WINEPREFIX=prefix)
    unittest.main(verbosity=2)
