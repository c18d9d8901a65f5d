#!/usr/bin/env python3
"""Checks the Windows program: its .exe file as built, and its behaviour under Wine.

Usage: windows_test.py --exe EXE --check CHECK_EXE --machine i686|x86_64 --objdump OBJDUMP
                       --icon ICON --cc C_COMPILER --console-host CONSOLE_HOST
                       --probe PROBE_EXE --prefix WINEPREFIX [TESTS...]
Executable needs no Wine; Probe, Dialogue, GeneratedProgram, KeyWait, CheckedScripts and
Flattening run under it.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

import expected
import flatten_scripts
import wine

ARGS = None
KEY_TIMEOUT = 10  # a key must end the program within this many seconds

BANNER, INSTRUCTIONS, SUCCESS = (expected.text(name + ".txt", line_end=b"\r\n")
                                 for name in ("banner", "instructions", "success"))
OPEN_FAILURE = b"Some error occurred while opening file"
SCRIPT = b"out.c\r\ncd C:\\temp\r\necho \"hi\"\r\nend\r\nver\r\n"
PROGRAM = expected.program(b"\tsystem(\"cd C:\\\\temp\");\n\tsystem(\"echo \\\"hi\\\"\");\n",
                           line_end=b"\r\n")


def convert(folder, script):
    """Runs norvane without a console, where its key wait returns at once."""
    return wine.run(ARGS.exe, [], ARGS.prefix, folder, script)


def read(folder, name):
    with open(os.path.join(folder, name), "rb") as f:
        return f.read()


class Probe(unittest.TestCase):
    def test_probe_runs_from_any_folder(self):
        # The exe named from the caller's folder, which is not the one Wine runs it in.
        self.addCleanup(os.chdir, os.getcwd())
        for folder in (os.path.dirname(ARGS.probe), os.path.dirname(ARGS.prefix), "/"):
            with self.subTest(folder=folder):
                os.chdir(folder)
                self.assertIsNone(wine.probe(os.path.relpath(ARGS.probe), ARGS.prefix))


class Dialogue(unittest.TestCase):
    def test_endings(self):
        cases = [  # script, console after the banner, exit status, file written
            (SCRIPT, INSTRUCTIONS + SUCCESS, 0, PROGRAM),
            (b"no\\such\\folder\\out.c\r\nver\r\nend\r\n", OPEN_FAILURE, 1, None),
            (SCRIPT.replace(b"end", b"\x1aecho lost\r\nend"), INSTRUCTIONS + SUCCESS, 0, PROGRAM),
        ]
        for script, console, status, program in cases:
            with self.subTest(script=script), tempfile.TemporaryDirectory() as folder:
                self.assertEqual(convert(folder, script), (status, BANNER + console))
                if program:
                    self.assertEqual(read(folder, "out.c"), program)

    def test_script_being_read_is_not_overwritten(self):
        script = b"script.bat\r\necho\r\nend\r\n"
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "script.bat"), "wb") as f:
                f.write(script)
            with open(os.path.join(folder, "script.bat"), "rb") as stdin:
                self.assertEqual(wine.run(ARGS.exe, [], ARGS.prefix, folder, stdin),
                                 (1, BANNER + OPEN_FAILURE))
            self.assertEqual(read(folder, "script.bat"), script)
        # Nor the file the console text goes to.
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "out.c"), "wb") as stdout:
                process = wine.start(ARGS.exe, [], ARGS.prefix, folder, stdin=subprocess.PIPE,
                                     stdout=stdout)
                process.communicate(b"out.c\r\necho\r\nend\r\n", timeout=wine.TIMEOUT)
            self.assertEqual((process.returncode, read(folder, "out.c")),
                             (1, BANNER + OPEN_FAILURE))


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
        expected = [line for _, line in self.COMMANDS if line is not None] + ["", ""]
        os.environ["NORVANE_WORD"] = "expanded"
        for standard in ("c89", "c99"):
            with self.subTest(standard=standard), tempfile.TemporaryDirectory() as folder:
                self.assertEqual(self.run_program(folder, [c for c, _ in self.COMMANDS], standard),
                                 expected)

    def test_what_runs_differently_from_a_batch_file(self):
        """The README's rules for Windows: each command, and the line its run prints."""
        rules = [
            (b'"my tools\\show.exe" "an argument"', None),  # cmd /c drops its outer quotes
            (b'call "my tools\\show.exe" "an argument"', "an argument"),
            (b'@"my tools\\show.exe" "an argument"', "an argument"),
            (b'""my tools\\show.exe" "an argument""', "an argument"),
            (b"echo 100%% done", "100%% done"),
            (b"echo cut\0 off", "cut"),
            # The Windows code page (1252 here) reads the bytes of the first name, and reads the
            # UTF-8 of the second as two letters a character.
            (b'echo x> "\xdcn\xefcode 1252.txt"', None),
            (b'echo x> "\xc3\x9cn\xc3\xafcode utf-8.txt"', None),
        ]
        os.environ["LC_ALL"] = "C.UTF-8"  # so that Wine gives file names their letters
        with tempfile.TemporaryDirectory() as folder:
            os.mkdir(os.path.join(folder, "my tools"))
            with open(os.path.join(folder, "show.c"), "w") as f:
                f.write('#include <stdio.h>\nint main(int c, char **v) { puts(v[1]); }\n')
            subprocess.run([ARGS.cc, "-o", "my tools/show.exe", "show.c"], cwd=folder, check=True)
            self.assertEqual(self.run_program(folder, [c for c, _ in rules], "c99"),
                             [line for _, line in rules if line is not None] + ["", ""])
            self.assertLessEqual({"Ünïcode 1252.txt", "ÃœnÃ¯code utf-8.txt"},
                                 set(os.listdir(folder)))

    def run_program(self, folder, commands, standard):
        return program_output(self, folder, commands, standard)


def program_output(test, folder, commands, standard):
    """The lines that the program norvane writes of `commands` prints, compiled in C `standard`
    and run in `folder`."""
    script = b"prog.c\n" + b"".join(cmd + b"\n" for cmd in commands) + b"end\n"
    test.assertEqual(convert(folder, script)[0], 0)
    exe = os.path.join(folder, f"prog-{standard}.exe")
    subprocess.run([ARGS.cc, f"-std={standard}", "-o", exe, "prog.c"], cwd=folder, check=True)
    _, out = wine.run(exe, [], ARGS.prefix, folder)
    return [line.strip() for line in out.decode("latin-1").split("\r\n")]


class CheckedScripts(unittest.TestCase):
    """What norvane-check names is real: for each rule that changes what a line does, a script
    run as a batch file by Wine's cmd.exe prints something else than the program norvane makes
    of it, and norvane-check names exactly the rules given; a script it finds nothing in prints
    the same both ways."""
    SCRIPTS = [  # the rules named, the script's lines
        ({"block"}, [b"if exist nofile (", b"echo inside", b")"]),
        ({"variable"}, [b"set X=1", b"echo A[%X%]"]),
        ({"folder"}, [b"cd \\", b"cd"]),
        ({"loop-variable"}, [b"for %%f in (a b) do echo B%%f"]),
        ({"percent"}, [b"echo 100%% done"]),
        ({"arguments"}, [b"echo [%1][%~dp0]"]),
        ({"errorlevel"}, [b"cmd /c exit 3", b"if errorlevel 1 echo seen"]),
        ({"exit"}, [b"exit", b"echo after"]),
        ({"label", "skipped"}, [b"goto done", b"echo skipped", b":done"]),
        ({"quotes"}, [b'"cmd" /c "echo a b"']),
        ({"delayed", "setlocal"}, [b"setlocal enabledelayedexpansion", b"set X=1& echo [!X!]"]),
        # % forms expand for the whole line, and a condition's command runs first.
        ({"errorlevel"}, [b"cmd /c exit 3", b"cmd /c exit 0 & echo A[%errorlevel%]"]),
        ({"errorlevel"}, [b"cmd /c exit 3", b'if "a"=="a" echo A %errorlevel%']),
        ({"errorlevel"}, [b"cmd /c exit 3", b"if 1==1 if errorlevel 1 echo x"]),
        ({"errorlevel"}, [b"cmd /c exit 3", b"if 1==1 (echo D %errorlevel%)"]),
        # No command after the separator, or only a comment.
        ({"folder"}, [b"cd \\ &", b"cd"]),
        ({"folder"}, [b"cd \\ &&", b"cd"]),
        ({"variable"}, [b"set X=1&", b"echo A[%X%]"]),
        ({"variable"}, [b"set X=1 & rem note", b"echo A[%X%]"]),
        ({"folder"}, [b"cd \\ & rem go", b"cd"]),
        ({"folder"}, [b"pushd \\ & :: x", b"cd"]),
        # A command's place after call and a leading redirection.
        ({"variable"}, [b"call set X=1", b"echo A[%X%]"]),
        ({"variable"}, [b">nul set X=1", b"echo A[%X%]"]),
        ({"folder"}, [b">nul cd \\", b"cd"]),
        ({"folder"}, [b"call cd \\", b"cd"]),
        ({"folder"}, [b"call pushd \\", b"cd"]),
        # Blocks: a for's set over several lines, and blocks opened on a line joined with ^.
        ({"block", "loop-variable"}, [b"for %%a in (", b" one", b" two", b") do echo item %%a"]),
        ({"block", "loop-variable"},
         [b"for %%a in (1 2) ^", b"do (", b"  echo [%%a]", b"  echo x", b")"]),
        ({"block"}, [b"if exist nofile (", b"echo a", b") ^", b"else (", b"echo b", b")"]),
        # % forms are text before brackets and quotes are read.
        ({"variable"},
         [b'set P="q"', b'if defined P (set P=%P:"=%) else (set P=x)', b"echo [%P%]",
          b"echo after"]),
        ({"block", "folder", "unset", "variable"},
         [b"if 1==1 (", b"  set X=%X:)=%", b"  cd \\", b")", b"cd"]),
        # path, set /a and a lone %.
        ({"variable"}, [b"path C:\\bin", b"path"]),
        ({"arithmetic"}, [b"set /a 2+3"]),
        ({"percent"}, [b"echo 50%"]),
        # A set followed on its line, a variable nothing set, a batch file called by its bare
        # name or started without call (sets.bat sets X).
        ({"variable"}, [b"set X=1& echo hi", b"echo A[%X%]"]),
        ({"unset"}, [b"echo [%SPHINXOPTS%]"]),
        ({"unset"}, [b'if "%JAVA_HOME%"=="" (echo none) else (echo set)']),
        ({"call-script"}, [b"call sets", b"echo A[%X%]"]),
        ({"call-script"}, [b"sets.bat", b"echo after"]),
        (set(), [b"echo hello", b"echo ^& cd x", b"cd /d", b"set /a 2+3 >nul", b"cd \\ && cd"]),
    ]

    def test_each_rule_changes_what_the_program_prints(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "sets.bat"), "wb") as f:
                f.write(b"set X=1\r\n")
            names = []
            for i, (rules, lines) in enumerate(self.SCRIPTS):
                names.append(f"{'-'.join(sorted(rules)) or 'clean'}-{i}.bat")
                with open(os.path.join(folder, names[-1]), "wb") as f:
                    f.write(b"".join(line + b"\r\n" for line in lines))
            _, report = wine.run(ARGS.check, ["--format=gcc"] + names, ARGS.prefix, folder)
            cmd = os.path.join(ARGS.prefix, "drive_c", "windows", "system32", "cmd.exe")
            for name, (rules, lines) in zip(names, self.SCRIPTS):
                with self.subTest(name):
                    named = {line.rsplit(b"[", 1)[-1].rstrip(b"]\r").decode()
                             for line in report.splitlines() if line.startswith(name.encode())}
                    self.assertEqual(named, rules)
                    _, out = wine.run(cmd, ["/q", "/c", name], ARGS.prefix, folder)
                    as_batch = [line.strip() for line in out.decode("latin-1").split("\r\n")]
                    converted = program_output(self, folder, lines, "c99")
                    while as_batch and not as_batch[-1]:
                        as_batch.pop()
                    while converted and not converted[-1]:
                        converted.pop()
                    if rules:
                        self.assertNotEqual(as_batch, converted)
                    else:
                        self.assertEqual(as_batch, converted)


def run_both_ways(test, lines, name="script.bat"):
    """(output as a batch file, as the program, files left by each, the flattened script): the
    script run by Wine's cmd.exe, then flattened by norvane-check, converted by norvane,
    compiled and run; each from the same folder, which holds the fixture and the script.
    None in place of the program's output where the script cannot be flattened."""
    script = b"".join(line + b"\r\n" for line in lines)
    cmd = os.path.join(ARGS.prefix, "drive_c", "windows", "system32", "cmd.exe")
    with tempfile.TemporaryDirectory() as work:
        root, build = os.path.join(work, "root"), os.path.join(work, "build")
        folder = os.path.join(root, "top")
        os.mkdir(build)

        def fresh():
            shutil.rmtree(root, ignore_errors=True)
            for path, data in flatten_scripts.FIXTURE.items():
                os.makedirs(os.path.dirname(os.path.join(folder, path)), exist_ok=True)
                if data is not None:
                    with open(os.path.join(folder, path), "wb") as f:
                        f.write(data)
            with open(os.path.join(folder, name), "wb") as f:
                f.write(script)

        fresh()
        _, as_batch = wine.run(cmd, ["/c", name], ARGS.prefix, folder)
        files_batch = tree(root)
        fresh()
        windows_path = "Z:" + os.path.join(folder, name).replace("/", "\\")
        status, flat = wine.run(ARGS.check, ["--flatten", "--script-path=" + windows_path, name],
                                ARGS.prefix, folder)
        if status != 0:
            return as_batch.rstrip(b"\r\n"), None, files_batch, None, flat
        # The same as a diff, which patch applies to the script.
        _, diff = wine.run(ARGS.check, ["--format=diff", "--script-path=" + windows_path, name],
                           ARGS.prefix, folder)
        if diff:  # empty where nothing changes
            subprocess.run(["patch", "-s", "-p0"], input=diff, cwd=folder, check=True)
        test.assertEqual(read(folder, name), flat)
        fresh()
        status, console = convert(build, b"prog.c\r\n" + flat + b"end\r\n")
        test.assertEqual(status, 0, console)
        subprocess.run([ARGS.cc, "-o", "prog.exe", "prog.c"], cwd=build, check=True)
        _, as_program = wine.run(os.path.join(build, "prog.exe"), [], ARGS.prefix, folder)
        return (as_batch.rstrip(b"\r\n"), as_program.rstrip(b"\r\n"), files_batch, tree(root),
                flat)


def tree(root):
    """{path: bytes, or None for a folder} under `root`."""
    found = {}
    for folder, folders, files in os.walk(root):
        for name in folders:
            found[os.path.relpath(os.path.join(folder, name), root) + "/"] = None
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                found[os.path.relpath(os.path.join(folder, name), root)] = f.read()
    return found


class Flattening(unittest.TestCase):
    """Each rewrite of norvane-check --flatten is exact: the script as a batch file and as the
    program made of its flattened lines print the same and leave the same files."""
    CASES = [  # what it shows, the script's lines
        ("noise", [b"@echo off", b"rem note", b"", b":: more", b":unused", b"setlocal",
                   b"echo hello", b"endlocal", b"exit /b"]),
        ("set carried", [b"@echo off", b"set X=a b ", b"echo [%X%]", b"cmd /c echo child [%X%]",
                         b"set X", b"set X=", b"echo [%X%]"]),
        ("values built", [b"@echo off", b"set A=alpha", b"set B=%A%-%A:~1,3%-%A:ph=PH%",
                          b'set "C=%B% and (more)"', b"echo [%C%]"]),
        ("folders carried", [b"@echo off", b"cd sub", b"cd", b"type inner.txt", b"pushd deep",
                             b"cd", b"popd", b"cd missing", b"cd", b"echo x> made.txt"]),
        ("drive and cd /d", [b"@echo off", b"cd /d %~dp0sub", b"cd", b"Z:", b"cd"]),
        ("block joined", [b"@echo off", b"if exist a.txt (", b"  echo one", b"  rem inside",
                          b"  echo two", b") else (", b"  echo three", b")", b"echo after"]),
        ("for set over lines", [b"@echo off", b"for %%f in (", b" a.txt", b" b.txt",
                                b") do type %%f"]),
        ("caret joined", [b"@echo off", b"echo one ^", b"two", b"for %%a in (1 2) ^",
                          b"do echo [%%a]"]),
        ("percent forms", [b"@echo off", b"echo 100%% done", b"echo 50% off",
                           b"for %%f in (a.txt) do echo %%~nf %%~xf"]),
        ("arguments", [b"@echo off", b"echo [%1][%*][%~1]", b"echo %~nx0 %~x0 %~dp0", b"shift",
                       b"echo [%1]"]),
        ("errorlevel joined", [b"@echo off", b"cmd /c exit 3", b"if errorlevel 2 echo two",
                               b"cmd /c exit 0", b"if not errorlevel 1 echo zero"]),
        ("leading quote", [b"@echo off", b'"%COMSPEC%" /c echo "a b"']),
        ("always set", [b"@echo off", b"echo %OS% %SystemRoot%"]),
        ("last exit", [b"@echo off", b"echo before", b"goto :eof"]),
    ]
    # Random scripts: three in make test, as many as NORVANE_FLATTEN_SCRIPTS says in make
    # test-flatten.
    SEEDS = range(int(os.environ.get("NORVANE_FLATTEN_SCRIPTS", "3")))

    def test_each_rewrite_is_exact(self):
        for what, lines in self.CASES:
            with self.subTest(what):
                batch, program, files_batch, files_program, flat = run_both_ways(self, lines)
                self.assertIsNotNone(program, flat)
                self.assertEqual(program, batch, flat)
                self.assertEqual(files_program, files_batch, flat)

    def test_random_scripts_run_alike(self):
        refused = 0
        for seed in self.SEEDS:
            lines = flatten_scripts.script(seed)
            with self.subTest(seed=seed):
                batch, program, files_batch, files_program, flat = run_both_ways(self, lines)
                if program is None:
                    refused += 1  # never wrong
                    continue
                self.assertEqual(program, batch, b"\n".join(lines) + b"\n--\n" + flat)
                self.assertEqual(files_program, files_batch, flat)
        print(f"\n{len(self.SEEDS)} random scripts: {len(self.SEEDS) - refused} flattened and run "
              f"alike both ways, {refused} refused", file=sys.stderr)


class KeyWait(unittest.TestCase):
    """norvane on a console of its own, its script redirected from a file: it must wait for one
    real key press on that console, whatever the script holds after its last line."""

    def test_one_key_on_the_console_ends_the_run(self):
        cases = [  # what, script, key, console after the banner, exit status
            ("a letter", SCRIPT, b"x", INSTRUCTIONS + SUCCESS, 0),
            ("Enter", SCRIPT, b"\r", INSTRUCTIONS + SUCCESS, 0),
            ("open failure", b"no\\such\\folder\\out.c\r\nver\r\n", b"x", OPEN_FAILURE, 1),
        ]
        for what, script, key, console, status in cases:
            with self.subTest(what), tempfile.TemporaryDirectory() as folder:
                for name, text in (("script.bat", script), ("console.txt", b"")):
                    with open(os.path.join(folder, name), "wb") as f:
                        f.write(text)
                self.assertEqual(self.press_key_when_waiting(folder, key), status)
                self.assertEqual(read(folder, "console.txt"), BANNER + console)
                if status == 0:
                    self.assertEqual(read(folder, "out.c"), PROGRAM)

    def press_key_when_waiting(self, folder, key):
        host = wine.start(ARGS.console_host, [ARGS.exe, "script.bat", "console.txt"],
                          ARGS.prefix, folder, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        try:
            self.wait_for_last_text(folder, host)
            time.sleep(0.5)
            self.assertIsNone(host.poll(), "ended without a key press")
            host.stdin.write(key)
            host.stdin.close()
            try:
                host.wait(KEY_TIMEOUT)
            except subprocess.TimeoutExpired:
                self.fail(f"still running {KEY_TIMEOUT} s after the key")
            return host.returncode
        finally:
            if host.poll() is None:
                wine.kill(host)
            host.stdout.close()

    def wait_for_last_text(self, folder, host):
        deadline = time.monotonic() + wine.TIMEOUT
        while not read(folder, "console.txt").endswith((SUCCESS, OPEN_FAILURE)):
            if host.poll() is not None:
                self.fail(f"ended before its last text: {host.stdout.read()!r}")
            if time.monotonic() > deadline:
                self.fail("no last text within the time limit")
            time.sleep(0.05)


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
    # PE machine and optional-header magic of each build.
    KINDS = {"i686": (0x14C, 0x10B), "x86_64": (0x8664, 0x20B)}

    def test_console_program_for_its_machine(self):
        pe = read(*os.path.split(ARGS.exe))
        header = struct.unpack_from("<I", pe, 0x3C)[0]
        self.assertEqual(pe[header:header + 4], b"PE\0\0")
        machine, magic = self.KINDS[ARGS.machine]
        self.assertEqual(struct.unpack_from("<H", pe, header + 4)[0], machine)
        self.assertEqual(struct.unpack_from("<H", pe, header + 24)[0], magic)
        subsystem = header + 24 + 68  # at the same place in PE32 and PE32+
        self.assertEqual(struct.unpack_from("<H", pe, subsystem)[0], 3)  # console

    def test_needs_only_windows_own_dlls(self):
        dump = subprocess.run([ARGS.objdump, "-p", ARGS.exe], capture_output=True, text=True,
                              check=True).stdout
        dlls = {line.split()[-1].lower() for line in dump.splitlines() if "DLL Name:" in line}
        self.assertEqual(dlls, {"kernel32.dll", "msvcrt.dll"})

    def test_scan_has_sse2_code(self):
        # A 32-bit build has it only where it asks for it, and picks it by the processor.
        dump = subprocess.run([ARGS.objdump, "-d", ARGS.exe], capture_output=True, text=True,
                              check=True).stdout
        self.assertIn("pmovmskb", dump)
        self.assertIn("cpuid", dump)

    def test_only_resource_is_the_icon_group(self):
        listing = subprocess.run(["wrestool", "-l", ARGS.exe], capture_output=True, text=True,
                                 check=True).stdout.splitlines()
        groups = [line for line in listing if "type=group_icon" in line]
        self.assertEqual(len(groups), 1, listing)
        self.assertIn("--name='MYICONNAME'", groups[0])
        self.assertEqual(sum("type=icon " in line for line in listing), 4, listing)
        self.assertEqual(len(listing), 5, listing)  # no version, menu, dialog, strings, manifest

    def test_icon_group_holds_four_sizes_with_alpha(self):
        extracted = subprocess.run(["wrestool", "-x", "--type=14", "--name=MYICONNAME", ARGS.exe],
                                   capture_output=True, check=True).stdout
        drawn = icon_images(read(*os.path.split(ARGS.icon)))
        built = icon_images(extracted)
        self.assertEqual([(w, h, bits) for w, h, bits, _ in built],
                         [(48, 48, 32), (32, 32, 32), (24, 24, 32), (16, 16, 32)])
        for (w, _, _, image), (_, _, _, original) in zip(built, drawn):
            self.assertEqual(image, original, f"{w} px image differs from the drawn one")
            alphas = {image[40 + 4 * i + 3] for i in range(w * w)}
            self.assertTrue({0, 255} < alphas, f"{w} px image has no soft alpha edge")


if __name__ == "__main__":
    parser = argparse.ArgumentParser(usage=__doc__)
    for option in ("exe", "check", "machine", "objdump", "icon", "cc", "console-host", "probe",
                   "prefix"):
        parser.add_argument("--" + option, required=True)
    ARGS, tests = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], "-v", *tests])
