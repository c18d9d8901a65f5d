#!/usr/bin/env python3
"""Checks what ships: each package of `make dist` holds a program that converts a script, and
norvane-check, which names what runs otherwise in it.

Usage: dist_test.py DIST_FOLDER BUILD_FOLDER
BUILD_FOLDER holds the Windows builds, whose Wine prefixes and probe the zips are run with.
"""
import glob
import gzip
import hashlib
import os
import subprocess
import sys
import tarfile
import tempfile
import unittest
import zipfile

import wine

DIST = BUILD = None
SCRIPT = b"out.c\necho hi\ncd C:\\temp\nend\n"
CALLS = b'\tsystem("echo hi");\n\tsystem("cd C:\\\\temp");\n'
# What norvane-check says of the commands of SCRIPT.
FINDING = b"a.bat:2:1: warning: cd does not carry to the next line"


def package(pattern):
    (path,) = glob.glob(os.path.join(DIST, pattern))
    return path


def converted(run):
    """The file that `run(folder)` makes of SCRIPT, with its lines ended by LF."""
    with tempfile.TemporaryDirectory() as folder:
        run(folder)
        with open(os.path.join(folder, "out.c"), "rb") as f:
            return f.read().replace(b"\r\n", b"\n")


def native(program):
    return lambda folder: subprocess.run([program], cwd=folder, input=SCRIPT, check=True,
                                         capture_output=True, start_new_session=True, timeout=10)


def checked(run):
    """What `run(folder, script_name)`, a run of norvane-check, prints of SCRIPT's commands."""
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "a.bat"), "wb") as f:
            f.write(SCRIPT.split(b"\n", 1)[1])
        return run(folder, "a.bat")


def native_check(program):
    return lambda folder, name: subprocess.run([program, name], cwd=folder, capture_output=True,
                                               timeout=10).stdout


class Packages(unittest.TestCase):
    def test_debian_package_is_clean_and_installs_a_working_program(self):
        deb = package("norvane_*_amd64.deb")
        lint = subprocess.run(["lintian", "--fail-on", "error,warning", deb], text=True,
                              capture_output=True)
        self.assertEqual(lint.returncode, 0, lint.stdout)
        with tempfile.TemporaryDirectory() as root:
            subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
            self.assertIn(CALLS, converted(native(f"{root}/usr/bin/norvane")))
            self.assertIn(FINDING, checked(native_check(f"{root}/usr/bin/norvane-check")))
            pages = []
            for page in ("norvane", "norvane-check"):
                with gzip.open(f"{root}/usr/share/man/man1/{page}.1.gz") as f:
                    pages.append(f.read())
        version = deb.split("_")[1]
        for text in pages:
            self.assertIn(f'"norvane {version}"'.encode(), text)
            render = subprocess.run(["groff", "-man", "-ww", "-z"], input=text,
                                    capture_output=True)
            self.assertEqual((render.returncode, render.stderr), (0, b""))

    def test_tarball_holds_program_page_and_readme_in_one_folder(self):
        tarball = package("norvane-*-linux-x86_64.tar.gz")
        top = os.path.basename(tarball)[:-len(".tar.gz")]
        with tempfile.TemporaryDirectory() as folder, tarfile.open(tarball) as archive:
            files = {m.name for m in archive.getmembers() if m.isfile()}
            self.assertEqual(files, {f"{top}/bin/norvane", f"{top}/bin/norvane-check",
                                     f"{top}/share/man/man1/norvane.1",
                                     f"{top}/share/man/man1/norvane-check.1", f"{top}/README.md"})
            archive.extractall(folder)
            self.assertIn(CALLS, converted(native(f"{folder}/{top}/bin/norvane")))
            self.assertIn(FINDING, checked(native_check(f"{folder}/{top}/bin/norvane-check")))

    def test_zip_holds_a_program_that_runs_under_wine(self):
        # The 32-bit zip where Wine runs 32-bit programs here, the 64-bit one elsewhere.
        bits = "32" if wine.probe(f"{BUILD}/windows-x86/tests/wine_probe.exe",
                                  f"{BUILD}/windows-x86/wineprefix") is None else "64"
        prefix = f"{BUILD}/windows-x{'86' if bits == '32' else '64'}/wineprefix"
        with tempfile.TemporaryDirectory() as folder:
            with zipfile.ZipFile(package(f"norvane-*-win{bits}.zip")) as archive:
                self.assertEqual(sorted(archive.namelist()),
                                 ["README.txt", "norvane-check.exe", "norvane.exe"])
                archive.extractall(folder)
                with open(os.path.join(os.path.dirname(__file__), "..", "packaging", "windows",
                                       "README.txt"), "rb") as readme:
                    self.assertEqual(archive.read("README.txt"),
                                     b"\xef\xbb\xbf" + readme.read().replace(b"\n", b"\r\n"))
            exe = os.path.join(folder, "norvane.exe")
            self.assertIn(CALLS, converted(lambda out: wine.run(exe, [], prefix, out, SCRIPT)))
            check = os.path.join(folder, "norvane-check.exe")
            self.assertIn(FINDING, checked(
                lambda out, name: wine.run(check, [name], prefix, out)[1]))

    def test_source_archive_gives_the_same_packages(self):
        """Unpacked without git, as a packager takes it, its `make dist` rebuilds every package
        bit for bit."""
        version = package("norvane_*_amd64.deb").split("_")[1]
        top = f"norvane-{version}"
        with tempfile.TemporaryDirectory() as folder:
            with tarfile.open(package(f"{top}.tar.gz")) as archive:
                self.assertEqual({m.name.split("/")[0] for m in archive.getmembers()}, {top})
                archive.extractall(folder)
            made = subprocess.run(["make", "dist"], cwd=f"{folder}/{top}", capture_output=True,
                                  text=True)
            self.assertEqual(made.returncode, 0, made.stderr)
            with open(f"{DIST}/SHA256SUMS") as ours, \
                    open(f"{folder}/{top}/build/dist/SHA256SUMS") as theirs:
                self.assertEqual(theirs.read(), ours.read())

    def test_checksums(self):
        with open(os.path.join(DIST, "SHA256SUMS")) as sums:
            for line in sums:
                digest, name = line.split()
                with open(os.path.join(DIST, name), "rb") as f:
                    self.assertEqual(hashlib.sha256(f.read()).hexdigest(), digest, name)


if __name__ == "__main__":
    DIST, BUILD = map(os.path.abspath, sys.argv[1:3])
    del sys.argv[1:3]
    unittest.main(verbosity=2)
