#!/usr/bin/env python3
"""Measures norvane on long redirected scripts, and races it against a baseline build.

Usage: bench.py NORVANE SCAN_PATH SCAN_TIME NORVANE_CHECK WORK_FOLDER [--base REV] [--runs N]

The baseline is REV built from its own sources in WORK_FOLDER; without REV, HEAD where the work
tree has changes and HEAD's first parent where it has none. Each way of scanning is timed in
memory by SCAN_TIME; norvane, SCAN_PATH (norvane with each way named), the copy floor and a sed
one-liner end to end; NORVANE_CHECK on the 1,000,000 lines. The baseline's programs run in the
same rounds, interleaved with these, and every figure is printed. Exits 1 when a path is slower
than the baseline's by more than the spread of the run allows, or when peak memory is over its
bound; without a baseline only memory decides (bench/README.md).
"""
import argparse
import functools
import math
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path[:0] = [HERE, os.path.join(ROOT, "tests")]
import expected  # noqa: E402
import make_input  # noqa: E402

# What a user might pick instead: escape backslashes and quotes, wrap each line in the call.
SED = ["sed", r's/[\\"]/\\&/g; s/^/\tsystem("/; s/$/");/']

# What the race runs: rounds of the two builds side by side, each scan_time call the median of
# its own few runs.
ROUNDS = 11
SCAN_TIME_RUNS = 3
# A path is slower only where the ranks of the two samples say so at this level and its median
# is slower by more than the spread of either sample.
SIGNIFICANCE = 0.01
PROGRAMS = ("norvane", "scan_path", "scan_time", "norvane-check")

MAX_RSS_KIB = 1024
# What the largest inputs may cost beyond a script of a few lines: the 64 KiB text piece.
MAX_RSS_GROWTH_KIB = 64
# norvane-check's peak memory beyond the longest line.
MAX_CHECK_RSS_KIB = 4096
# What norvane-check should take on the 1,000,000 lines; shown, not a verdict, since the
# machine's speed decides it as much as the code does.
CHECK_BUDGET_MS = 1000
FLATTEN_BUDGET_MS = 2000  # norvane-check --flatten on them, likewise


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


def interleaved(contenders, rounds):
    """{name: [seconds of each round]}; the order turns each round, so that no contender always
    runs after the same one."""
    times = {name: [] for name in contenders}
    names = list(contenders)
    for r in range(rounds):
        for name in names[r % len(names):] + names[:r % len(names)]:
            times[name].append(contenders[name]())
    return times


def scan_times(scan_time, script):
    """{way: nanoseconds per input byte} of one scan_time call, the plain loop as "plain"."""
    out = subprocess.run([scan_time, script, str(SCAN_TIME_RUNS)], capture_output=True,
                         text=True, check=True).stdout
    return {name: float(ns) for name, ns, _ in (line.split() for line in out.splitlines())}


def slower_than_base(base, ours):
    """(verdict, how much slower the median is, the spread it must beat, one-sided p). Slower
    when a Mann-Whitney U test puts ours above the base at SIGNIFICANCE and the medians differ
    by more than the interquartile range of either sample, as a share of the base's median."""
    b, o = statistics.median(base), statistics.median(ours)
    spread = max(iqr(base) / b, iqr(ours) / o)
    u = sum((x > y) + 0.5 * (x == y) for x in ours for y in base)
    n, m = len(ours), len(base)
    z = (u - n * m / 2) / math.sqrt(n * m * (n + m + 1) / 12)
    p = 0.5 * math.erfc(z / math.sqrt(2))
    change = o / b - 1
    return p < SIGNIFICANCE and change > spread, change, spread, p


def iqr(sample):
    q = statistics.quantiles(sample, n=4)
    return q[2] - q[0]


def git(*args):
    return subprocess.run(["git", "-C", ROOT, *args], capture_output=True, text=True)


def pick_base(asked):
    """(commit, None) or (None, why there is no baseline)."""
    if git("rev-parse", "--git-dir").returncode != 0:
        return None, "these sources are not a git checkout"
    rev = asked
    if not rev:
        changed = git("status", "--porcelain", "--untracked-files=no").stdout.strip()
        rev = "HEAD" if changed else "HEAD^1"
    done = git("rev-parse", "--verify", "--quiet", rev + "^{commit}")
    if done.returncode != 0:
        return None, f"{rev} names no commit here"
    return done.stdout.strip(), None


def build_base(commit, folder):
    """{program: path} of the baseline, built from the commit's own sources once and kept."""
    tree = os.path.join(folder, "base-" + commit[:12])
    release = os.path.join(tree, "build", "release")
    built = {name: os.path.join(release, name) for name in PROGRAMS}
    if not all(os.path.exists(p) for p in built.values()):
        os.makedirs(tree, exist_ok=True)
        archive = subprocess.Popen(["git", "-C", ROOT, "archive", commit],
                                   stdout=subprocess.PIPE)
        subprocess.run(["tar", "-x", "-C", tree], stdin=archive.stdout, check=True)
        if archive.wait() != 0:
            sys.exit(f"git archive {commit} failed")
        subprocess.run(["cmake", "--preset", "release"], cwd=tree, check=True,
                       stdout=subprocess.DEVNULL)
        # Each on its own: an older commit may lack one of them.
        for name in PROGRAMS:
            subprocess.run(["cmake", "--build", "--preset", "release", "--target", name],
                           cwd=tree, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return {name: path for name, path in built.items() if os.path.exists(path)}


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("programs", nargs=4)
    parser.add_argument("folder")
    parser.add_argument("--base", default="")
    parser.add_argument("--runs", type=int, default=ROUNDS)
    args = parser.parse_args()
    ours = dict(zip(PROGRAMS, map(os.path.abspath, args.programs)))
    folder = os.path.abspath(args.folder)
    rounds = args.runs
    os.makedirs(folder, exist_ok=True)

    def path(name):
        return os.path.join(folder, name)

    commit, no_base = pick_base(args.base)
    base = build_base(commit, folder) if commit else {}
    if commit:
        print(f"baseline: {commit[:12]} ({git('log', '-1', '--format=%s', commit).stdout.strip()[:60]})")
        lacking = [name for name in PROGRAMS if name not in base]
        if lacking:
            print(f"  the baseline has no {', '.join(lacking)}: no race for "
                  f"{'it' if len(lacking) == 1 else 'them'}")
    else:
        print(f"no baseline: {no_base}; the figures alone, and only memory decides")

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
    paths = subprocess.run([ours["scan_path"]], capture_output=True, text=True,
                           check=True).stdout.split()
    print(f"scan paths here: {', '.join(paths)}; norvane takes {paths[-1]}, the 32-bit Windows "
          f"program {'sse2' if 'sse2' in paths else 'scalar'}")

    races = []  # (title, base seconds, our seconds)

    def race(title, times, name):
        if "base " + name in times:
            races.append((title, times["base " + name], times[name]))

    def base_note(times, name, in_ms=False):
        if "base " + name not in times:
            return ""
        figure = statistics.median(times["base " + name])
        return f"; baseline {figure * 1000:.1f} ms" if in_ms else f"; baseline {figure:.3f}"

    print(f"each way of scanning in memory, medians of {rounds} interleaved rounds of "
          f"{SCAN_TIME_RUNS} runs, as times the plain loop:")
    for kind, title in (("lines-1000000", "1,000,000 lines"),
                        ("long-lines", "100,000 lines of 250 bytes")):
        builds = {"": ours["scan_time"]}
        if "scan_time" in base:
            builds["base "] = base["scan_time"]
        samples, ratios = {}, {}
        # The race is on the ratio to the plain loop in the same process, which the machine's
        # speed at that moment leaves alone; the times a byte vary with it by a quarter.
        for r in range(rounds):
            for prefix in sorted(builds, reverse=r % 2 == 1):
                figures = scan_times(builds[prefix], inputs[kind])
                for name, ns in figures.items():
                    samples.setdefault(prefix + name, []).append(ns)
                    ratios.setdefault(prefix + name, []).append(ns / figures["plain"])
        print(f"  {title}: the plain loop {statistics.median(samples['plain']):.2f} ns a byte")
        for name in paths:
            print(f"    {name}: {statistics.median(samples[name]):.3f} ns a byte, "
                  f"{statistics.median(ratios[name]):.3f}{base_note(ratios, name)}")
            race(f"{title}, {name} in memory, as times the plain loop", ratios, name)

    print(f"end to end, medians of {rounds} interleaved runs, as times the copy of the output:")
    for kind, title in (("lines-1000000", "1,000,000 lines"),
                        ("long-lines", "100,000 lines of 250 bytes"),
                        ("one-line", "one line of 100 MB")):
        timed_run([ours["norvane"]], inputs[kind], folder, path("out.c"))
        contenders = {
            "floor": lambda: timed_run(["dd", f"if={path('out.c')}", f"of={path('copy.c')}",
                                        "bs=64K", "status=none"], os.devnull, folder,
                                       path("copy.c")),
        }
        for prefix, build in (("", ours), ("base ", base)):
            if "norvane" in build:
                contenders[prefix + "norvane"] = functools.partial(
                    timed_run, [build["norvane"]], inputs[kind], folder, path("out.c"))
            if kind != "one-line" and "scan_path" in build:
                for name in paths:
                    contenders[prefix + name] = functools.partial(
                        timed_run, [build["scan_path"], name], inputs[kind], folder, path("out.c"))
        if kind == "lines-1000000":
            contenders["sed"] = lambda: timed_run(SED, commands, folder, path("sed.c"),
                                                  path("sed.c"))
        times = interleaved(contenders, rounds if kind != "one-line" else max(5, rounds // 2))
        ms = {name: statistics.median(t) * 1000 for name, t in times.items()}
        print(f"  {title}: {os.path.getsize(inputs[kind]) / 1e6:.0f} MB in, "
              f"{os.path.getsize(path('out.c')) / 1e6:.0f} MB out; "
              f"copy of the output {ms['floor']:.1f} ms")
        for name in ["norvane"] + (paths if kind != "one-line" else []):
            print(f"    {name}: {ms[name]:.1f} ms, {ms[name] / ms['floor']:.2f}"
                  f"{base_note(times, name, True)}")
            race(f"{title}, {name} end to end", times, name)
        if "sed" in ms:
            with open(path("out.c"), "rb") as converted, open(path("sed.c"), "rb") as theirs:
                if converted.read() != expected.program(theirs.read()):
                    sys.exit("norvane and the sed one-liner wrote different programs")
            print(f"    sed one-liner: {ms['sed']:.0f} ms, {ms['sed'] / ms['norvane']:.1f} times "
                  f"norvane")

    # norvane-check names a warning on most lines of these commands (a cd, a set): its findings
    # go to a file in the form an editor or a CI log takes, which streams them.
    contenders = {}
    for prefix, build in (("", ours), ("base ", base)):
        if "norvane-check" in build:
            findings = path(prefix.strip() + "findings.txt")
            contenders[prefix + "check"] = functools.partial(
                timed_run, [build["norvane-check"], "--format=gcc", commands], os.devnull, folder, findings,
                findings, check=False)
    times = interleaved(contenders, max(5, rounds // 2))
    check_ms = statistics.median(times["check"]) * 1000
    with open(path("findings.txt"), "rb") as findings:
        count = sum(1 for _ in findings)
    print(f"norvane-check on the 1,000,000 lines: {check_ms:.0f} ms, {count:,} findings "
          f"({'within' if check_ms <= CHECK_BUDGET_MS else 'OVER'} its budget of "
          f"{CHECK_BUDGET_MS} ms on this machine){base_note(times, 'check', True)}")
    race("norvane-check, 1,000,000 lines", times, "check")
    # --flatten refuses those lines, line by line, and names why on standard error.
    flatten_ms = statistics.median(interleaved({"flatten": functools.partial(
        timed_run, [ours["norvane-check"], "--flatten", commands], os.devnull, folder,
        path("refusals.txt"), check=False)}, max(3, rounds // 4))["flatten"]) * 1000
    print(f"norvane-check --flatten on the 1,000,000 lines: {flatten_ms:.0f} ms "
          f"({'within' if flatten_ms <= FLATTEN_BUDGET_MS else 'OVER'} its budget of "
          f"{FLATTEN_BUDGET_MS} ms on this machine)")
    # Lines that made an earlier lexer take time with the square of their length.
    for name, line in (("80,000 times for a&", "for a&" * 80_000),
                       ("400,000 times %%~$ then :", "%%~$" * 400_000 + ":")):
        hostile = path("hostile.bat")
        with open(hostile, "w") as f:
            f.write(line + "\n")
        ms = timed_run([ours["norvane-check"], "--format=gcc", hostile], os.devnull, folder, path("hostile.txt"),
                       path("hostile.txt"), check=False) * 1000
        print(f"norvane-check on one line of {name}: {ms:.0f} ms")

    checks = []
    # Its memory is that of the longest line, and of the variables it looks for.
    for kind, longest in (("lines-1000000", 0), ("one-line", 100_000_000)):
        kib = peak_memory_kib(ours["norvane-check"], os.devnull, folder,
                              "--format=gcc " + inputs[kind])
        most = (longest >> 10) + MAX_CHECK_RSS_KIB
        checks.append((f"norvane-check peak memory, {kind}: {kib} KiB (at most {most:,}: the "
                       f"longest line and {MAX_CHECK_RSS_KIB} KiB)", kib <= most))
    peaks = {kind: peak_memory_kib(ours["norvane"], inputs[kind], folder)
             for kind in ("lines-3", "lines-1000000", "long-lines", "one-line", "high-bytes")}
    for kind, kib in peaks.items():
        growth = kib - peaks["lines-3"]
        checks.append((f"peak memory, {kind}: {kib} KiB, {growth} KiB more than 3 lines (at "
                       f"most {MAX_RSS_KIB} KiB, and {MAX_RSS_GROWTH_KIB} more)",
                       kib <= MAX_RSS_KIB and growth <= MAX_RSS_GROWTH_KIB))
    if races:
        print(f"the race against the baseline (slower: ranks at p < {SIGNIFICANCE} and a median "
              f"slower by more than the spread):")
    for title, base_times, our_times in races:
        slower, change, spread, p = slower_than_base(base_times, our_times)
        checks.append((f"{title}: {change:+.1%} against the baseline (spread {spread:.1%}, "
                       f"p {p:.3f})", not slower))
    print("verdicts:")
    for text, ok in checks:
        print(f"  {'ok  ' if ok else 'MISS'} {text}")
    sys.exit(0 if all(ok for _, ok in checks) else 1)


if __name__ == "__main__":
    main()
