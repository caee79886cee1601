#!/usr/bin/env python3
"""Writes the pixmold(1) manual page from the program's own help texts.

The build runs this on the program it has just linked, so the page lists
every command the program has, each with its --help text, and never drifts
from them. Only the standard library is used.
"""

import argparse
import subprocess
import sys


def run(program, *arguments):
    return subprocess.run([program, *arguments], check=True, capture_output=True, text=True).stdout


def roff_word(word):
    return word.replace("\\", "\\e").replace("-", "\\-")


def roff(text):
    """Text kept as it is laid out: backslashes escaped, hyphens kept ASCII
    (an option copied from the page must still work), and no line read as a
    request."""
    lines = []
    for line in text.rstrip("\n").split("\n"):
        line = roff_word(line)
        if line.startswith((".", "'")):
            line = "\\&" + line
        lines.append(line)
    return ".nf\n" + "\n".join(lines) + "\n.fi\n"


def man_page(program):
    overview = run(program, "--help")
    version = run(program, "--version").strip()
    words = run(program, "--complete").split()
    commands = [word for word in words if not word.startswith("-") and word != "help"]
    summary = overview.split("\n", 1)[0].split(" - ", 1)[-1]
    page = [
        f'.TH PIXMOLD 1 "" "{version}" "User Commands"\n',
        ".SH NAME\n",
        f"pixmold \\- {summary}\n",
        ".SH SYNOPSIS\n",
        ".B pixmold\n",
        "[\\fB\\-\\-no\\-wait\\fR] \\fICOMMAND\\fR [\\fIOPTIONS\\fR]\n",
        ".br\n",
        ".B pixmold help\n",
        "\\fICOMMAND\\fR\n",
        ".SH DESCRIPTION\n",
        roff(overview),
        ".SH COMMANDS\n",
    ]
    for command in commands:
        page.append(f".SS {roff_word(command)}\n")
        page.append(roff(run(program, command, "--help")))
    return "".join(page)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n", 1)[0])
    parser.add_argument("program", help="the pixmold program to take the help texts from")
    parser.add_argument("output", help="the manual page to write (e.g. pixmold.1)")
    options = parser.parse_args()
    try:
        text = man_page(options.program)
    except (OSError, subprocess.CalledProcessError) as error:
        sys.exit(f"make_man_page: {options.program}: {error}")
    with open(options.output, "w", encoding="utf-8") as out:
        out.write(text)


if __name__ == "__main__":
    main()
