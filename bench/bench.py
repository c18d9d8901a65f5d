#!/usr/bin/env python3
"""Measures norvane on long redirected scripts against the copy floor and a sed one-liner.

Usage: bench.py NORVANE SCAN_PATH WORK_FOLDER [RUNS]
The floor is `dd` copying a file as large as norvane's output: every byte norvane writes must
be written, and at least as many read. For each input, norvane, SCAN_PATH (norvane with a way
of scanning named) with each way this processor has, and the floor (and, on the 1,000,000-line
input, the sed one-liner) run RUNS times, interleaved, without a terminal; the medians, their
ratios and norvane's peak resident memory are printed. Exits 1 when a target is missed.
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

# Each way of scanning, end to end, against the copy of the output.
MAX_FLOOR_RATIO = {"scalar": 2.5, "sse2": 1.7, "avx512": 1.5}
MIN_SED_RATIO = 5.0
MAX_RSS_KIB = 1024
# What the largest inputs may cost beyond a script of a few lines: the 64 KiB text piece.
MAX_RSS_GROWTH_KIB = 64


def timed_run(argv, stdin_path, folder, output, stdout_path=os.devnull):
    """Wall time of one run. The output file of the previous run is removed first, so that no
    contender pays for freeing it."""
    if os.path.exists(output):
        os.remove(output)
    with open(stdin_path, "rb") as stdin, open(stdout_path, "wb") as stdout:
        start = time.perf_counter()
        subprocess.run(argv, stdin=stdin, stdout=stdout, cwd=folder, check=True,
                       start_new_session=True)
        return time.perf_counter() - start


def peak_memory_kib(norvane, stdin_path, folder):
    """Peak resident memory, exactly: the kernel's VmHWM as the program makes its last system
    call, read under gdb. GNU time's maximum resident size reads up to 130 KiB low here."""
    done = subprocess.run(["gdb", "-batch", "-ex", "catch syscall exit_group",
                           "-ex", f"run < {stdin_path} > /dev/null", "-ex", "info proc status",
                           norvane], stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          cwd=folder, check=True, start_new_session=True)
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


def main():
    norvane, scan_path = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    folder = os.path.abspath(sys.argv[3])
    runs = int(sys.argv[4]) if len(sys.argv) > 4 else 25
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
    print(f"medians of {runs} interleaved runs, as times the copy of the output:")
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
            ratio = ms[name] / ms["floor"]
            print(f"    {name}: {ms[name]:.1f} ms, {ratio:.2f}")
            if kind != "one-line" and name in MAX_FLOOR_RATIO:
                checks.append((f"{title}, {name}: {ratio:.2f} times the copy (at most "
                               f"{MAX_FLOOR_RATIO[name]})", ratio <= MAX_FLOOR_RATIO[name]))
        if "sed" in ms:
            with open(path("out.c"), "rb") as ours, open(path("sed.c"), "rb") as theirs:
                if ours.read() != expected.program(theirs.read()):
                    sys.exit("norvane and the sed one-liner wrote different programs")
            sed_ratio = ms["sed"] / ms["norvane"]
            checks.append((f"{title}: sed one-liner {ms['sed']:.0f} ms, {sed_ratio:.1f} times "
                           f"norvane (at least {MIN_SED_RATIO:g})", sed_ratio >= MIN_SED_RATIO))

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
