"""Random batch scripts built from what norvane-check --flatten rewrites, for running both ways
under Wine: as a batch file by cmd.exe, and flattened, converted by norvane and compiled.

Each script starts with @echo off and works in a folder that holds FIXTURE. It prints what it
does, so that any difference shows in its output or in the files it leaves.
"""
import random

# The folder each script starts in: files and folders, a folder as None.
FIXTURE = {"a.txt": b"alpha\r\n", "b.txt": b"beta\r\n", "sub/inner.txt": b"inner\r\n",
           "sub/deep/": None, "other/": None}

WORDS = ["alpha", "beta", "x y", "C:\\tmp", "50%%", "a^&b", "(p)", "q=r", ""]
NAMES = ["V", "Name", "PATHX", "w2"]
FOLDERS = ["sub", "sub\\deep", "other", "..", "missing"]


def statement(r, depth=0):
    """One random statement, as the lines of the script."""
    name, word, folder = r.choice(NAMES), r.choice(WORDS), r.choice(FOLDERS)
    choices = [
        lambda: [f"set {name}={word}"],
        lambda: [f'set "{name}={word}"'],
        lambda: [f"echo [%{name}%]"],
        lambda: [f"echo [%{name}:~1,2%] [%{name}:a=o%]"],
        lambda: [f"set {name}="],
        lambda: [f"cd {folder}"],
        lambda: [f"cd /d {folder}"],
        lambda: [f"pushd {folder}"],
        lambda: ["popd"],
        lambda: ["cd"],
        lambda: [f"echo {word}> out{r.randint(1, 3)}.txt"],
        lambda: [f"type out{r.randint(1, 3)}.txt"],
        lambda: [f"if exist a.txt (echo yes {word}) else (echo no)"],
        lambda: ["if exist b.txt (", f"  echo in {word}", "  rem note", f"  echo [%{name}%]", ") else (",
                 "  echo out", ")"],
        lambda: [f"for %%f in (one {folder}) do echo item %%f"],
        lambda: ["for %%f in (", " *.txt", ") do echo file %%~nxf"],
        lambda: [f"echo one ^", f"two {word}"],
        lambda: ["rem a comment", ":: another"],
        lambda: [""],
        lambda: [f"cmd /c exit {r.randint(0, 2)}", "if errorlevel 1 echo failed"],
        lambda: [f"set {name}=%{r.choice(NAMES)}%{word}"],
        lambda: ["setlocal", f"set {name}=inner", f"echo [%{name}%]", "endlocal"],
        lambda: [f"echo {word} & echo done"],
        lambda: [f"set {name}=1 & echo [%{name}%]"],
        lambda: ["echo %OS%"],
        lambda: [f"{'@' if r.random() < 0.5 else ''}echo. "],
        lambda: [f"cmd /c echo child [%{name}%]"],
        lambda: [f"set {name}"],
    ]
    return r.choice(choices)()


def script(seed, statements=None):
    """The lines of a random script."""
    r = random.Random(seed)
    count = statements or r.randint(3, 8)
    # Each variable starts known, so that what reads it does not stand for an unset one.
    lines = ["@echo off"] + [f"set {n}={r.choice(WORDS[:4])}" for n in NAMES]
    for _ in range(count):
        lines += statement(r)
    if r.random() < 0.3:
        lines.append(r.choice(["exit /b", "exit /b 0", "goto :eof"]))
    return [line.encode() for line in lines]
