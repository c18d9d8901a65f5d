"""The tests' one copy of the texts the program writes, from tests/expected."""
import os

FOLDER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "expected")


def text(name, line_end=b"\n"):
    """The text in `name`, its line ends written as `line_end`."""
    with open(os.path.join(FOLDER, name), "rb") as f:
        return f.read().replace(b"\n", line_end)


def program(calls=b"", line_end=b"\n"):
    """The generated program with the call lines `calls`, which go after the opening brace."""
    frame = text("no_commands.c")
    at = frame.index(b"{\n") + 2
    return (frame[:at] + calls + frame[at:]).replace(b"\n", line_end)
