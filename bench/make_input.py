#!/usr/bin/env python3
"""Writes a deterministic batch script of realistic lines for the benchmark.

Usage: make_input.py LINES OUTPUT   (OUTPUT gets the name line, the commands and "end")
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


def write(count, path):
    rng = random.Random(count)
    with open(path, "w", newline="\n") as f:
        f.write("out.c\n")
        for _ in range(count):
            f.write(rng.choice(TEMPLATES).format(n=rng.randrange(1000)) + "\n")
        f.write("end\n")


def main():
    write(int(sys.argv[1]), sys.argv[2])


if __name__ == "__main__":
    main()
