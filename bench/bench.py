#!/usr/bin/env python3
"""Measures norvane on long redirected scripts: each way of scanning on its own, in memory, and
the whole program against the copy floor and a sed one-liner.

Usage: bench.py NORVANE SCAN_PATH SCAN_TIME NORVANE_CHECK WORK_FOLDER [RUNS]
SCAN_TIME times each way of scanning this processor has on a script held in memory, beside a
plain byte-at-a-time loop in the same process: as times that loop, a way's figure is its own
cost, whatever the disk and the machine's speed, and each has a target. End to end, norvane,
SCAN_PATH (norvane with each way named) and the floor, `dd` copying a file as large as
norvane's output (and, on the 1,000,000-line input, the sed one-liner), run RUNS times,
interleaved, without a terminal; the medians and their ratios are shown. Peak resident memory
has targets too, and so has NORVANE_CHECK's time on the 1,000,000 lines. Exits 1 when a target
is missed.
"""
import functools
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "tests")]
import expected  # noqa: E402
import make_input  # noqa: E402

# What a user might pick instead: escape backslashes and quotes, wrap each line in the call.
SED = ["sed", r's/[\\"]/\\&/g; s/^/\tsystem("/; s/$/");/']

# Each way of scanning in memory, as times the plain loop, on the 1,000,000 lines and on the long
# lines: what was measured here, and a quarter more (bench/README.md).
MAX_PLAIN_RATIO = {"scalar": (0.48, 0.45), "sse2": (0.30, 0.28), "avx512": (0.19, 0.12)}
MIN_SED_RATIO = 5.0
MAX_RSS_KIB = 1024
# What the largest inputs may cost beyond a script of a few lines: the 64 KiB text piece.
MAX_RSS_GROWTH_KIB = 64
# norvane-check on the 1,000,000 lines, in milliseconds; its peak memory beyond the longest line.
MAX_CHECK_MS = 1000
MAX_CHECK_RSS_KIB = 4096


def timed_run(argv, stdin_path, folder, output, stdout_path=os.devnull, check=True):
    """Wall time of one run. The output file of the previous run is removed first, so that no
    contender pays for freeing it."""
    if os.path.exists(output):
        os.remove(output)
    with open(stdin_path, "rb") as stdin, open(stdout_path, "wb") as stdout:
        start = time.perf_counter()
        subprocess.run(argv, stdin=stdin, stdout=stdout, stderr=subprocess.DEVNULL, cwd=folder,
                       check=check, start_new_session=True)
        return time.perf_counter() - start


def peak_memory_kib(program, stdin_path, folder, arguments=""):
    """Peak resident memory, exactly: the kernel's VmHWM as the program makes its last system
    call, read under gdb. GNU time's maximum resident size reads up to 130 KiB low here."""
    done = subprocess.run(["gdb", "-batch", "-ex", "catch syscall exit_group", "-ex",
                           f"run {arguments} < {stdin_path} > /dev/null 2> /dev/null",
                           "-ex", "info proc status", program], stdin=subprocess.DEVNULL,
                          capture_output=True, text=True, cwd=folder, check=True,
                          start_new_session=True)
    for line in done.stdout.splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    sys.exit("gdb did not show the program's peak memory:\n" + done.stdout + done.stderr)


def median_ms(contenders, runs):
    times = {name: [] for name in contenders}
    for _ in range(runs):
        for name, run in contenders.items():
            times[name].append(run())
    return {name: statistics.median(t) * 1000 for name, t in times.items()}


def scan_times(scan_time, script, runs):
    """{way: (nanoseconds per input byte, times the plain loop)}, and the loop's own time."""
    out = subprocess.run([scan_time, script, str(runs)], capture_output=True, text=True,
                         check=True).stdout
    figures = {name: (float(ns), float(ratio))
               for name, ns, ratio in (line.split() for line in out.splitlines())}
    return figures, figures.pop("plain")[0]


def main():
    norvane, scan_path, scan_time, norvane_check = map(os.path.abspath, sys.argv[1:5])
    folder = os.path.abspath(sys.argv[5])
    runs = int(sys.argv[6]) if len(sys.argv) > 6 else 25
    os.makedirs(folder, exist_ok=True)

    def path(name):
        return os.path.join(folder, name)

    inputs = {}
    for kind in ("lines-3", "lines-1000000", "long-lines", "one-line", "high-bytes"):
        inputs[kind] = path(kind + ".bat")
        if not os.path.exists(inputs[kind]):
            make_input.write(kind, inputs[kind])
    commands = path("commands.bat")  # the 1,000,000 lines without the name line and "end"
    with open(inputs["lines-1000000"], "rb") as src, open(commands, "wb") as dst:
        dst.writelines(src.readlines()[1:-1])

    # The ways of scanning this processor has, the one norvane takes last. The 32-bit Windows
    # program has no AVX-512 path: it takes SSE2 where the processor has it.
    paths = subprocess.run([scan_path], capture_output=True, text=True,
                           check=True).stdout.split()
    print(f"scan paths here: {', '.join(paths)}; norvane takes {paths[-1]}, the 32-bit Windows "
          f"program {'sse2' if 'sse2' in paths else 'scalar'}")

    checks = []
    print(f"each way of scanning in memory, medians of {runs} interleaved runs, as times the "
          f"plain loop:")
    for column, (kind, title) in enumerate((("lines-1000000", "1,000,000 lines"),
                                            ("long-lines", "100,000 lines of 250 bytes"))):
        figures, plain_ns = scan_times(scan_time, inputs[kind], runs)
        print(f"  {title}: the plain loop {plain_ns:.2f} ns a byte")
        for name, (ns, ratio) in figures.items():
            print(f"    {name}: {ns:.3f} ns a byte, {ratio:.3f}")
            target = MAX_PLAIN_RATIO[name][column]
            checks.append((f"{title}, {name} in memory: {ratio:.3f} times the plain loop (at "
                           f"most {target})", ratio <= target))

    print(f"end to end, medians of {runs} interleaved runs, as times the copy of the output:")
    for kind, title in (("lines-1000000", "1,000,000 lines"),
                        ("long-lines", "100,000 lines of 250 bytes"),
                        ("one-line", "one line of 100 MB")):
        timed_run([norvane], inputs[kind], folder, path("out.c"))
        contenders = {
            "norvane": lambda: timed_run([norvane], inputs[kind], folder, path("out.c")),
            "floor": lambda: timed_run(["dd", f"if={path('out.c')}", f"of={path('copy.c')}",
                                        "bs=64K", "status=none"], os.devnull, folder,
                                       path("copy.c")),
        }
        if kind != "one-line":
            for name in paths:
                contenders[name] = functools.partial(timed_run, [scan_path, name], inputs[kind],
                                                     folder, path("out.c"))
        if kind == "lines-1000000":
            contenders["sed"] = lambda: timed_run(SED, commands, folder, path("sed.c"),
                                                  path("sed.c"))
        ms = median_ms(contenders, runs if kind != "one-line" else max(3, runs // 5))
        print(f"  {title}: {os.path.getsize(inputs[kind]) / 1e6:.0f} MB in, "
              f"{os.path.getsize(path('out.c')) / 1e6:.0f} MB out; "
              f"copy of the output {ms['floor']:.1f} ms")
        for name in ["norvane"] + (paths if kind != "one-line" else []):
            print(f"    {name}: {ms[name]:.1f} ms, {ms[name] / ms['floor']:.2f}")
        if "sed" in ms:
            with open(path("out.c"), "rb") as ours, open(path("sed.c"), "rb") as theirs:
                if ours.read() != expected.program(theirs.read()):
                    sys.exit("norvane and the sed one-liner wrote different programs")
            sed_ratio = ms["sed"] / ms["norvane"]
            checks.append((f"{title}: sed one-liner {ms['sed']:.0f} ms, {sed_ratio:.1f} times "
                           f"norvane (at least {MIN_SED_RATIO:g})", sed_ratio >= MIN_SED_RATIO))

    # norvane-check names a warning on most lines of these commands (a cd, a set): its findings
    # go to a file, as an editor or a CI log would take them.
    check_ms = median_ms({"check": lambda: timed_run([norvane_check, commands], os.devnull, folder,
                                                     path("findings.txt"), path("findings.txt"),
                                                     check=False)}, max(3, runs // 5))["check"]
    with open(path("findings.txt"), "rb") as findings:
        count = sum(1 for _ in findings)
    print(f"norvane-check on the 1,000,000 lines: {check_ms:.0f} ms, {count:,} findings")
    checks.append((f"norvane-check, 1,000,000 lines: {check_ms:.0f} ms (at most {MAX_CHECK_MS})",
                   check_ms <= MAX_CHECK_MS))
    # Its memory is that of the longest line, and of the variables it looks for.
    for kind, longest in (("lines-1000000", 0), ("one-line", 100_000_000)):
        kib = peak_memory_kib(norvane_check, os.devnull, folder, inputs[kind])
        most = (longest >> 10) + MAX_CHECK_RSS_KIB
        checks.append((f"norvane-check peak memory, {kind}: {kib} KiB (at most {most:,}: the "
                       f"longest line and {MAX_CHECK_RSS_KIB} KiB)", kib <= most))

    peaks = {kind: peak_memory_kib(norvane, inputs[kind], folder)
             for kind in ("lines-3", "lines-1000000", "long-lines", "one-line", "high-bytes")}
    for kind, kib in peaks.items():
        growth = kib - peaks["lines-3"]
        checks.append((f"peak memory, {kind}: {kib} KiB, {growth} KiB more than 3 lines (at "
                       f"most {MAX_RSS_KIB} KiB, and {MAX_RSS_GROWTH_KIB} more)",
                       kib <= MAX_RSS_KIB and growth <= MAX_RSS_GROWTH_KIB))
    print("targets:")
    for text, ok in checks:
        print(f"  {'ok  ' if ok else 'MISS'} {text}")
    sys.exit(0 if all(ok for _, ok in checks) else 1)


if __name__ == "__main__":
    main()
