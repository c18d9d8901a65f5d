#!/usr/bin/env python3
"""Runs the real program on a pseudo-terminal and without one.

Usage: terminal_test.py PATH_TO_NORVANE
"""
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time
import unittest

import expected

PROGRAM = None
SCRIPT = b"out.c\necho hi\ncd C:\\temp\nend\n"
LAST_TEXT = b"Thanks for using this app"
LFLAGS_OFF_DURING_WAIT = termios.ICANON | termios.ECHO | termios.ISIG
GENERATED = expected.program(b"\tsystem(\"echo hi\");\n\tsystem(\"cd C:\\\\temp\");\n")


class Session:
    """The program on a fresh pseudo-terminal that is its controlling terminal."""

    def __init__(self, test, stdin_bytes=None, argv=None):
        self.test = test
        self.transcript = b""
        self.folder = tempfile.TemporaryDirectory()
        self.master, self.slave = os.openpty()
        self.original_mode = termios.tcgetattr(self.slave)
        stdin = self.slave
        if stdin_bytes is not None:
            script = os.path.join(self.folder.name, "script.bat")
            with open(script, "wb") as f:
                f.write(stdin_bytes)
            stdin = open(script, "rb")
        self.process = subprocess.Popen(
            argv or [PROGRAM], cwd=self.folder.name, stdin=stdin, stdout=self.slave,
            stderr=self.slave, start_new_session=True,
            preexec_fn=lambda: __import__("fcntl").ioctl(1, termios.TIOCSCTTY, 0))
        if stdin is not self.slave:
            stdin.close()

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        os.close(self.master)
        os.close(self.slave)
        self.folder.cleanup()

    def fail(self, why):
        self.test.fail(f"{why}\n--- transcript ---\n{self.transcript.decode(errors='replace')}")

    def read_until(self, text, timeout=10):
        deadline = time.monotonic() + timeout
        while text not in self.transcript:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.master], [], [], left)[0]:
                self.fail(f"gave up waiting for {text!r}")
            self.transcript += os.read(self.master, 4096)

    def type(self, data):
        os.write(self.master, data)

    def local_flags(self):
        return termios.tcgetattr(self.slave)[3]

    def expect_waiting_for_key(self):
        self.read_until(LAST_TEXT)
        time.sleep(0.3)
        if self.process.poll() is not None:
            self.fail("ended without a key press")
        if self.local_flags() & LFLAGS_OFF_DURING_WAIT:
            self.fail("terminal not in key-wait mode (canonical, echo or signal keys on)")

    def expect_exit(self, status):
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.fail("still running after the key")
        self.test.assertEqual(self.process.returncode, status, self.transcript)
        self.test.assertEqual(termios.tcgetattr(self.slave), self.original_mode,
                              "terminal settings not restored")

    def left_for_the_shell(self):
        """What is left unread on the terminal: the shell would take it as typed."""
        mode = termios.tcgetattr(self.slave)
        mode[3] &= ~termios.ICANON
        mode[6][termios.VMIN], mode[6][termios.VTIME] = 0, 0
        termios.tcsetattr(self.slave, termios.TCSANOW, mode)
        return os.read(self.slave, 100)

    def drain(self):
        while select.select([self.master], [], [], 0.2)[0]:
            try:
                self.transcript += os.read(self.master, 4096)
            except OSError:
                break

    def file(self, name):
        with open(os.path.join(self.folder.name, name), "rb") as f:
            return f.read()


class OnATerminal(unittest.TestCase):
    def session(self, stdin_bytes=None, argv=None):
        s = Session(self, stdin_bytes, argv and [*argv, PROGRAM])
        self.addCleanup(s.close)
        return s

    def test_redirected_input_still_waits_for_one_unechoed_key(self):
        # Ctrl-C and Ctrl-Z are keys too; an arrow, F5 and a letter in UTF-8 send several bytes,
        # over a slow line in two pieces.
        for key in ([b"x"], [b"\x03"], [b"\x1a"], [b"\x1b[A"], [b"\x1b[15~"], ["é".encode()],
                    [b"\x1b[", b"A"]):
            with self.subTest(key=key):
                s = self.session(SCRIPT)
                s.expect_waiting_for_key()
                for piece in key:
                    s.type(piece)
                    time.sleep(0.02)
                s.expect_exit(0)
                self.assertEqual(s.left_for_the_shell(), b"")
                s.drain()
                # The shell's prompt starts on a line of its own.
                self.assertTrue(s.transcript.endswith(LAST_TEXT + b"\r\n"), s.transcript)
                self.assertIn(b'\tsystem("cd C:\\\\temp");\n', s.file("out.c"))

    def test_typed_dialogue_shows_each_text_before_reading(self):
        s = self.session()
        s.read_until(b"extension): ")
        s.type(b"out.c\n")
        s.read_until(b"Start:\r\n\r\n")
        s.type(b"ver\nend\n")
        s.expect_waiting_for_key()
        s.type(b"k")
        s.expect_exit(0)
        self.assertIn(b'\tsystem("ver");\n', s.file("out.c"))

    def test_signals_during_the_wait_restore_the_terminal(self):
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT, signal.SIGQUIT, signal.SIGUSR1,
                    signal.SIGUSR2, signal.SIGALRM, signal.SIGPIPE, signal.SIGVTALRM,
                    signal.SIGPROF, signal.SIGXCPU, signal.SIGXFSZ):
            with self.subTest(signal=sig.name):
                s = self.session(SCRIPT)
                s.expect_waiting_for_key()
                s.process.send_signal(sig)
                s.expect_exit(-sig)
        with self.subTest("a hang-up ignored from the start, as under nohup"):
            s = self.session(SCRIPT, [sys.executable, "-c", IGNORING_HANGUPS])
            s.expect_waiting_for_key()
            s.process.send_signal(signal.SIGHUP)
            s.expect_waiting_for_key()
            s.type(b"k")
            s.expect_exit(0)

    def test_stop_and_continue_during_the_wait(self):
        s = self.session(SCRIPT, [sys.executable, "-c", FOREGROUND_JOB])
        s.expect_waiting_for_key()
        for stopped in (b"stopped 1", b"stopped 2"):
            os.killpg(os.tcgetpgrp(s.master), signal.SIGTSTP)
            s.read_until(stopped)
            if termios.tcgetattr(s.slave) != s.original_mode:
                s.fail("terminal left in key-wait mode while stopped")
            s.type(b"\n")  # the stand-in shell continues the job in the foreground
            s.expect_waiting_for_key()
        s.type(b"k")
        s.expect_exit(0)

    def test_output_read_by_a_program_is_left_to_it(self):
        # A pager, or another norvane, reading the texts has the terminal to itself: the program
        # neither waits nor changes the terminal's mode. Only the last of a pipeline waits.
        for pipeline, keys in (('"$0" | cat', b""),
                               ('printf "b.c\\nend\\n" >b.bat; "$0" | "$0" <b.bat', b"x")):
            with self.subTest(pipeline):
                s = self.session(SCRIPT, ["sh", "-c", pipeline])
                if keys:
                    s.expect_waiting_for_key()
                    s.type(keys)
                s.expect_exit(0)
                self.assertEqual(s.left_for_the_shell(), b"")
                s.drain()
                # The line is ended only after a key.
                self.assertTrue(s.transcript.endswith(LAST_TEXT + (b"\r\n" if keys else b"")),
                                s.transcript)

    def test_mode_at_start_is_put_back_over_a_key_mode_left_behind(self):
        s = self.session(SCRIPT, [sys.executable, "-c", NEIGHBOUR_KILLED])
        s.read_until(b"the later one waits")
        s.expect_waiting_for_key()
        s.type(b"k")
        s.expect_exit(0)

    def test_two_programs_side_by_side_wait_on_one_terminal(self):
        # As a script starts them with `a & b`: both in the terminal's foreground. Each takes one
        # of two keys, whichever waits longer, and the terminal ends as it began.
        s = self.session(SCRIPT, ["sh", "-c",
                                  'printf "b.c\\nend\\n" >b.bat; "$0" <b.bat >/dev/null & "$0"; wait'])
        s.expect_waiting_for_key()
        for key in (b"x", b"y"):
            s.type(key)
            time.sleep(0.5)
        s.expect_exit(0)
        self.assertEqual(s.left_for_the_shell(), b"")
        s.drain()
        # One line end, from the program whose standard output is the terminal.
        self.assertTrue(s.transcript.endswith(LAST_TEXT + b"\r\n"), s.transcript)
        self.assertFalse(s.transcript.endswith(b"\r\n\r\n"), s.transcript)

    def test_background_job_does_not_wait(self):
        # As a shell runs `norvane < script &`: in a process group of its own, while the
        # terminal's foreground stays with the shell.
        s = self.session(SCRIPT, [sys.executable, "-c", BACKGROUND_JOB])
        s.expect_exit(0)
        s.drain()
        self.assertTrue(s.transcript.endswith(LAST_TEXT), s.transcript)
        self.assertTrue(s.file("out.c").endswith(b"\tgetch();\n}"))


# Runs the program with hang-ups ignored, as nohup does.
IGNORING_HANGUPS = """
import os, signal, sys
signal.signal(signal.SIGHUP, signal.SIG_IGN)
os.execv(sys.argv[1], sys.argv[1:])
"""


# Two programs waiting on one terminal, the later one started first: it takes the terminal's
# mode at its start, before the first sets its key mode and is killed with SIGKILL, which leaves
# that mode behind. Says when the later one waits, and ends with its exit status.
NEIGHBOUR_KILLED = """
import os, subprocess, sys, termios, time
def wait_for(test):
    while not test():
        time.sleep(0.01)
def shown(text):
    with open("later.txt", "rb") as f:
        return text in f.read()
tty = os.open("/dev/tty", os.O_RDWR)
start = termios.tcgetattr(tty)
with open("later.txt", "wb") as out:
    later = subprocess.Popen(sys.argv[1:], stdin=subprocess.PIPE, stdout=out)
wait_for(lambda: shown(b"extension): "))
first = subprocess.Popen(sys.argv[1:])
wait_for(lambda: termios.tcgetattr(tty) != start)
first.kill()
first.wait()
later.stdin.write(b"later.c\\nend\\n")
later.stdin.close()
wait_for(lambda: shown(b"Thanks for using this app"))
print("the later one waits", flush=True)
sys.exit(later.wait())
"""


# Starts the program in the background of its terminal, and ends with its exit status.
BACKGROUND_JOB = """
import subprocess, sys
sys.exit(subprocess.run(sys.argv[1:], process_group=0).returncode)
"""


# A shell's job control for one job: runs the program in the foreground, in a process group of
# its own; when it stops, takes the terminal back and says so: the first time leaving the mode
# as the job left it (as dash does), then putting its own mode back (as bash does). On a line
# typed, continues the job in the foreground. Ends with the program's exit status.
FOREGROUND_JOB = """
import itertools, os, signal, subprocess, sys, termios
signal.signal(signal.SIGTTOU, signal.SIG_IGN)
tty = os.open("/dev/tty", os.O_RDWR)
shell_mode = termios.tcgetattr(tty)
def in_foreground():
    os.tcsetpgrp(tty, os.getpgrp())
    signal.signal(signal.SIGTTOU, signal.SIG_DFL)
job = subprocess.Popen(sys.argv[1:], process_group=0, preexec_fn=in_foreground)
for stops in itertools.count(1):
    _, status = os.waitpid(job.pid, os.WUNTRACED)
    if not os.WIFSTOPPED(status):
        sys.exit(os.waitstatus_to_exitcode(status))
    os.tcsetpgrp(tty, os.getpgrp())
    if stops > 1:
        termios.tcsetattr(tty, termios.TCSADRAIN, shell_mode)
    print(f"stopped {stops}", flush=True)
    os.read(tty, 100)
    os.tcsetpgrp(tty, job.pid)
    os.killpg(job.pid, signal.SIGCONT)
"""


class WithoutATerminal(unittest.TestCase):
    def run_detached(self, stdin_bytes, shell_first):
        with tempfile.TemporaryDirectory() as folder:
            done = subprocess.run(["sh", "-c", f'{shell_first} exec "$0"', PROGRAM], cwd=folder,
                                  input=stdin_bytes, capture_output=True, start_new_session=True,
                                  timeout=10)
            written = None
            if os.path.exists(f"{folder}/out.c"):
                with open(f"{folder}/out.c", "rb") as f:
                    written = f.read()
        return done.returncode, done.stdout, written

    def test_names(self):
        """Names that must not be written: the script being read, under any name, and names no
        file can have. Each row: what, input script, the input's file name, setup, console
        ending, exit status, the files there are afterwards."""
        failure = b"extension): Some error occurred while opening file"
        rows = [
            ("the input itself", b"script.bat\necho\nend\n", "script.bat", None, failure, 1,
             {"script.bat"}),
            ("the input through a symbolic link", b"link.bat\nend\n", "script.bat",
             lambda f: os.symlink("script.bat", f"{f}/link.bat"), failure, 1, {"script.bat", "link.bat"}),
            ("the input through a hard link", b"../hard.bat\nend\n", "sub/script.bat",
             lambda f: os.link(f"{f}/sub/script.bat", f"{f}/hard.bat"), failure, 1, {"sub", "hard.bat"}),
            ("a NUL byte", b"ab\0cd.c\necho\nend\n", "script.bat", None, failure, 1,
             {"script.bat"}),
            ("where the console text goes", b"/dev/stdout\necho\nend\n", "script.bat", None,
             failure, 1, {"script.bat"}),
            ("where errors go", b"/dev/stderr\necho\nend\n", "script.bat", None, failure, 1,
             {"script.bat"}),
            ("longer than any path", b"n" * 5000 + b".c\nend\n", "script.bat", None, failure, 1,
             {"script.bat"}),
            ("a byte-order mark, then the name", b"\xef\xbb\xbfout.c\nend\n", "script.bat", None,
             LAST_TEXT, 0, {"script.bat", "out.c"}),
            ("a byte-order mark on a line of its own", b"\xef\xbb\xbf\r\nout.c\r\nend\r\n",
             "script.bat", None, LAST_TEXT, 0, {"script.bat", "out.c"}),
            ("a byte-order mark later on", b" \xef\xbb\xbfout.c\nend\n", "script.bat", None,
             LAST_TEXT, 0, {"script.bat", "\ufeffout.c"}),
        ]
        for what, script, input_name, setup, ending, status, files in rows:
            with self.subTest(what), tempfile.TemporaryDirectory() as folder:
                os.makedirs(os.path.join(folder, os.path.dirname(input_name)), exist_ok=True)
                with open(os.path.join(folder, input_name), "wb") as f:
                    f.write(script)
                if setup:
                    setup(folder)
                with open(os.path.join(folder, input_name), "rb") as stdin:
                    done = subprocess.run([PROGRAM], cwd=os.path.dirname(stdin.name),
                                          stdin=stdin, capture_output=True,
                                          start_new_session=True, timeout=10)
                self.assertTrue(done.stdout.endswith(ending), done.stdout)
                self.assertEqual(done.returncode, status)
                self.assertEqual(set(os.listdir(folder)), files)
                with open(os.path.join(folder, input_name), "rb") as f:
                    self.assertEqual(f.read(), script)

    def test_endless_name_is_refused(self):
        with open("/dev/zero", "rb") as zeros:
            done = subprocess.run([PROGRAM], stdin=zeros, capture_output=True,
                                  start_new_session=True, timeout=10)
        self.assertEqual(done.returncode, 1)
        self.assertTrue(done.stdout.endswith(b"Some error occurred while opening file"))

    def test_input_after_the_terminator_is_left_to_the_next_reader(self):
        # The terminator, or a DOS end-of-file mark past the first block of input or before the
        # name.
        lines = b"echo line\n" * 20000
        for script, rest in ((SCRIPT + b"rest\n", b"rest\n"),
                             (b"out.c\necho a\n\x1a" + lines, b"\x1a" + lines),
                             (b"\x1am.c\necho\nend\n", b"\x1am.c\necho\nend\n")):
            with tempfile.TemporaryDirectory() as folder, open(f"{folder}/in.bat", "w+b") as stdin:
                stdin.write(script)
                stdin.seek(0)
                done = subprocess.run(["sh", "-c", '"$0" >/dev/null; cat', PROGRAM], cwd=folder,
                                      stdin=stdin, capture_output=True, start_new_session=True,
                                      timeout=10)
            self.assertEqual(done.stdout, rest)

    def test_non_blocking_input_is_waited_for(self):
        read_end, write_end = os.pipe()
        os.set_blocking(read_end, False)  # as a parent may hand it down
        with tempfile.TemporaryDirectory() as folder:
            process = subprocess.Popen([PROGRAM], cwd=folder, stdin=read_end,
                                       stdout=subprocess.DEVNULL, start_new_session=True)
            os.close(read_end)
            for line in SCRIPT.splitlines(keepends=True):
                time.sleep(0.05)
                os.write(write_end, line)
            os.close(write_end)
            self.assertEqual(process.wait(timeout=10), 0)
            with open(os.path.join(folder, "out.c"), "rb") as f:
                self.assertEqual(f.read(), GENERATED)

    def test_failed_read_ends_the_list_and_is_reported(self):
        if not shutil.which("strace"):
            self.fail("strace is not installed (scripts/install-deps.sh installs it)")
        with tempfile.TemporaryDirectory() as folder, open(f"{folder}/in.bat", "w+b") as stdin:
            stdin.write(b"out.c\n" + b"echo line\n" * 100000 + b"end\n")

            def traced(*options):
                stdin.seek(0)
                return subprocess.run(["strace", "-o", f"{folder}/trace", "-e", "trace=read",
                                       *options, PROGRAM], cwd=folder, stdin=stdin,
                                      capture_output=True, start_new_session=True, timeout=10)

            # The third read of standard input fails, whatever the start-up reads before it.
            traced()
            with open(f"{folder}/trace") as trace:
                reads = [line.startswith("read(0,") for line in trace if line.startswith("read(")]
            third = [i + 1 for i, of_input in enumerate(reads) if of_input][2]
            done = traced("-e", f"inject=read:error=EIO:when={third}")
            self.assertEqual(done.returncode, 1)
            self.assertTrue(done.stdout.endswith(b"\n\nSome error occurred while reading commands"))
            with open(os.path.join(folder, "out.c"), "rb") as f:
                written = f.read()
            self.assertTrue(written.endswith(b'");\n\tprintf("\\n");\n\tgetch();\n}'),
                            written[-100:])  # the last line read, maybe cut, then the closing
            self.assertLess(written.count(b"echo line"), 100000)

    def test_console_that_cannot_be_written(self):
        """Lost console text must never reach the generated file, nor stop the conversion."""
        unread, pipe = os.pipe()
        os.close(unread)
        self.addCleanup(os.close, pipe)
        for redirect in (">&-", ">/dev/full", f">&{pipe}"):  # closed, full, a pipe nobody reads
            with self.subTest(redirect), tempfile.TemporaryDirectory() as folder:
                done = subprocess.run(["sh", "-c", f'exec "$0" {redirect}', PROGRAM], cwd=folder,
                                      input=SCRIPT, start_new_session=True, timeout=10,
                                      pass_fds=(pipe,))
                self.assertEqual(done.returncode, 0)
                with open(os.path.join(folder, "out.c"), "rb") as f:
                    self.assertEqual(f.read(), GENERATED)

    def test_endings(self):
        """Each row: input, what the shell does first, exit status, console ending, and the
        file written, where it is looked at."""
        write_failure = b"\n\nSome error occurred while writing file"
        cases = [
            (SCRIPT, "", 0, LAST_TEXT, GENERATED),
            (b"/dev/full\necho\nend\n", "", 1, write_failure, None),
            (b"no/such/folder/out.c\n", "", 1,
             b"extension): Some error occurred while opening file", None),
            (b"", "", 1, b"extension): ", None),
            (b"out.c\necho " + b"x" * 5000 + b"\nend\n", "ulimit -f 1;", 1, write_failure, None),
            (SCRIPT.replace(b"end", b"\x1aecho lost\nend"), "", 0, LAST_TEXT, GENERATED),  # DOS EOF
        ]
        for stdin_bytes, shell_first, status, ending, written in cases:
            with self.subTest(input=stdin_bytes[:40], shell_first=shell_first):
                code, out, file = self.run_detached(stdin_bytes, shell_first)
                self.assertEqual(code, status)
                self.assertTrue(out.endswith(ending), out)
                if written is not None:
                    self.assertEqual(file, written)


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
