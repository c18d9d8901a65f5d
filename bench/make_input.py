#!/usr/bin/env python3
"""Writes the deterministic batch scripts of the benchmark.

Usage: make_input.py KIND OUTPUT
KIND: lines-N (N short lines), long-lines, one-line, high-bytes
Each script is the name line, the commands and "end".
"""
import random
import sys

TEMPLATES = [
    'copy src\\m{n}.c obj\\ > nul',
    'del /q "%OUT%\\t{n}.obj"',
    'cd /d C:\\work\\p{n}',
    'echo Step {n} of %TOTAL%',
    'set LIB=%LIB%;C:\\lib{n}',
    'if exist a{n}.tmp del a{n}.tmp',
    'cl /c "m{n}.c" 2>> err.log',
    'md "%TEMP%\\b{n}"',
    'type r{n}.txt >> all.txt',
    'ren x{n}.bak x{n}.old',
]

# Pieces of long command lines: paths, quotes, question marks and tabs among plain words.
PIECES = ['"C:\\Program Files\\Tool {n}\\bin"', '/define:X{n}=1', '%INCLUDE%;C:\\inc{n}',
          'what???', '\t', 'src\\module{n}.c', '-o build\\out{n}.obj', '--verbose']


def commands(kind, rng):
    if kind.startswith("lines-"):
        for _ in range(int(kind[len("lines-"):])):
            yield rng.choice(TEMPLATES).format(n=rng.randrange(1000))
    elif kind == "long-lines":  # 100,000 lines of about 250 bytes
        for _ in range(100_000):
            line = "cl"
            while len(line) < 240:
                line += " " + rng.choice(PIECES).format(n=rng.randrange(1000))
            yield line
    elif kind == "one-line":  # a single command of 100 MB
        words = [rng.choice(PIECES).format(n=rng.randrange(1000)) for _ in range(4096)]
        block = " ".join(words)
        yield (block * (100_000_000 // len(block) + 1))[:100_000_000]
    elif kind == "high-bytes":  # runs of bytes from 0x80 up, each far too long to hold
        yield "x" * 65536 + "\xe9" * 200_000
        yield "\xff" * (4 << 20)
    else:
        sys.exit(f"unknown input kind: {kind}")


def write(kind, path):
    rng = random.Random(kind)
    with open(path, "w", newline="\n", encoding="latin-1") as f:
        f.write("out.c\n")
        for line in commands(kind, rng):
            f.write(line + "\n")
        f.write("end\n")


if __name__ == "__main__":
    write(sys.argv[1], sys.argv[2])
