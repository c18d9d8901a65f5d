#!/usr/bin/env python3
"""Measures norvane on long redirected scripts against cat (the copy floor) and a sed one-liner.

Usage: bench.py NORVANE WORK_FOLDER [RUNS]
Runs every contender RUNS times, interleaved, without a terminal, and prints median times, the
ratios between them and peak resident memory at 10,000 and 1,000,000 lines. Exits 1 when a
target is missed.
"""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_input  # noqa: E402

OPENING = (b"/*\nNorvane\nBy qortez7\n*/\n#include <stdio.h>\n#include <conio.h>\n"
           b"#include <stdlib.h>\nint main()\n{\n")
CLOSING = b'\tprintf("\\n");\n\tgetch();\n}'
# What a user might pick instead: escape backslashes and quotes, wrap each line in the call.
SED = ["sed", r's/[\\"]/\\&/g; s/^/\tsystem("/; s/$/");/']

MAX_CAT_RATIO = 3.0
MIN_SED_RATIO = 5.0
MAX_RSS_KIB = 4096
MAX_RSS_GROWTH_KIB = 256  # page-sized noise, nothing that grows with the number of lines


def timed_run(argv, stdin_path, stdout_path, folder, output):
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
    """Peak resident memory, measured by GNU time: a small process, so that what the child
    inherits before it starts the program does not count."""
    with open(stdin_path, "rb") as stdin:
        done = subprocess.run(["/usr/bin/time", "-f", "%M", norvane], stdin=stdin,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, cwd=folder,
                              check=True, start_new_session=True)
    return int(done.stderr.split()[-1])


def main():
    norvane, folder = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 7
    os.makedirs(folder, exist_ok=True)
    scripts = {}
    for count in (10_000, 1_000_000):
        scripts[count] = os.path.join(folder, f"script-{count}.bat")
        if not os.path.exists(scripts[count]):
            make_input.write(count, scripts[count])
    big = scripts[1_000_000]
    commands = os.path.join(folder, "commands.bat")  # the same lines, without name and "end"
    with open(big, "rb") as src, open(commands, "wb") as dst:
        src.readline()
        for line in src:
            if line != b"end\n":
                dst.write(line)

    def path(name):
        return os.path.join(folder, name)

    contenders = {
        "cat input > copy": (["cat", big], os.devnull, path("copy.bat"), path("copy.bat")),
        "norvane < input": ([norvane], big, os.devnull, path("out.c")),
        "sed one-liner": (SED, commands, path("sed.c"), path("sed.c")),
        # Not a target: what writing as many bytes as norvane writes costs by itself.
        "dd of the output": (["dd", f"if={path('out.c')}", f"of={path('copy.c')}", "bs=64K",
                              "status=none"], os.devnull, os.devnull, path("copy.c")),
    }
    times = {name: [] for name in contenders}
    for _ in range(runs):
        for name, (argv, stdin_path, stdout_path, output) in contenders.items():
            times[name].append(timed_run(argv, stdin_path, stdout_path, folder, output))

    with open(path("out.c"), "rb") as ours, open(path("sed.c"), "rb") as theirs:
        if ours.read() != OPENING + theirs.read() + CLOSING:
            sys.exit("norvane and the sed one-liner wrote different programs")

    median = {name: statistics.median(t) for name, t in times.items()}
    cat_ratio = median["norvane < input"] / median["cat input > copy"]
    sed_ratio = median["sed one-liner"] / median["norvane < input"]
    memory = {count: max(peak_memory_kib(norvane, script, folder) for _ in range(3))
              for count, script in scripts.items()}

    print(f"input: 1,000,000 commands, {os.path.getsize(big) / 1e6:.1f} MB; "
          f"generated source: {os.path.getsize(path('out.c')) / 1e6:.1f} MB")
    print(f"median of {runs} interleaved runs:")
    for name in contenders:
        print(f"  {name:18} {median[name] * 1000:7.1f} ms")
    checks = [
        (f"norvane / cat = {cat_ratio:.2f} (at most {MAX_CAT_RATIO:g})",
         cat_ratio <= MAX_CAT_RATIO),
        (f"sed / norvane = {sed_ratio:.1f} (at least {MIN_SED_RATIO:g})",
         sed_ratio >= MIN_SED_RATIO),
    ]
    for count, kib in memory.items():
        checks.append((f"peak memory at {count:>9,} lines = {kib / 1024:.2f} MiB "
                       f"(at most {MAX_RSS_KIB // 1024} MiB)", kib <= MAX_RSS_KIB))
    growth = memory[1_000_000] - memory[10_000]
    checks.append((f"memory growth from 10,000 to 1,000,000 lines = {growth} KiB "
                   f"(at most {MAX_RSS_GROWTH_KIB})", growth <= MAX_RSS_GROWTH_KIB))
    print("targets:")
    for text, ok in checks:
        print(f"  {'ok  ' if ok else 'MISS'} {text}")
    sys.exit(0 if all(ok for _, ok in checks) else 1)


if __name__ == "__main__":
    main()
