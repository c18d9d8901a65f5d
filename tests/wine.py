#!/usr/bin/env python3
"""Runs Windows programs under Wine for the tests, and tells whether Wine can run a given build.

Usage: wine.py probe PROBE_EXE WINEPREFIX
Exits 0 when Wine runs PROBE_EXE here; otherwise prints why not, in one line, and exits 1.
"""
import os
import shutil
import signal
import struct
import subprocess
import sys

TIMEOUT = 120  # the first run in a new prefix sets it up, which takes a while

# Debian's `wine` wrapper always picks the 32-bit loader when it is installed, even for 64-bit
# programs and on kernels that cannot run it; the loaders themselves are picked here instead.
LOADERS = {0x14C: "/usr/lib/wine/wine", 0x8664: "/usr/lib/wine/wine64"}


def loader_for(exe):
    with open(exe, "rb") as f:
        pe = f.read(4096)
    header = struct.unpack_from("<I", pe, 0x3C)[0]
    return LOADERS[struct.unpack_from("<H", pe, header + 4)[0]]


def environment(prefix, loader):
    """A prefix of the tests' own, no display and no dialogs, so that nothing can block a run
    or reach the user's desktop."""
    env = dict(os.environ, WINEPREFIX=os.path.abspath(prefix), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    if loader.endswith("64"):  # as the wrapper does, so that Wine starts child processes with it
        env["WINELOADER"] = loader
    return env


def start(exe, args, prefix, folder, **streams):
    """Starts EXE, a path from the caller's folder, in FOLDER, in a process group of its own. Wine's standard error goes nowhere: its server
    keeps the stream open, so a pipe there would make every run wait for the server to end."""
    loader = loader_for(exe)
    return subprocess.Popen([loader, os.path.abspath(exe), *args], cwd=folder, env=environment(prefix, loader),
                            stderr=subprocess.DEVNULL, start_new_session=True, **streams)


def kill(process):
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()


def run(exe, args, prefix, folder, stdin=b""):
    """(exit status, standard output) of a run without a console, its standard input the bytes
    or the open file STDIN; a hang past TIMEOUT raises subprocess.TimeoutExpired after killing
    the run."""
    given = isinstance(stdin, bytes)
    process = start(exe, args, prefix, folder, stdin=subprocess.PIPE if given else stdin,
                    stdout=subprocess.PIPE)
    try:
        out, _ = process.communicate(stdin if given else None, timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        kill(process)
        raise
    return process.returncode, out


def probe(exe, prefix):
    """None when Wine runs EXE here, else the reason why not. A prefix made before this loader
    was installed lacks its system files, so a failure there is tried again in a new one."""
    why_not = probe_in(exe, prefix)
    if why_not and os.path.isdir(prefix):
        shutil.rmtree(prefix)
        why_not = probe_in(exe, prefix)
    return why_not


def probe_in(exe, prefix):
    loader = loader_for(exe)
    try:
        status, out = run(exe, [], prefix, os.path.dirname(os.path.abspath(exe)))
    except OSError as e:
        return f"{loader} cannot start here ({e.strerror})"
    except subprocess.TimeoutExpired:
        return f"{loader} did not run a trivial program within {TIMEOUT} s"
    if status != 0 or out.strip() != b"probe ran":
        return f"{loader} ran a trivial program with exit status {status} and output {out!r}"
    return None


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] != "probe":
        sys.exit(__doc__)
    why_not = probe(sys.argv[2], sys.argv[3])
    if why_not:
        print(why_not)
    sys.exit(1 if why_not else 0)
