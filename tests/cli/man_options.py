#!/usr/bin/env python3
"""The options of `qzcalc --help` and of its manual page are the same: each
option's names and its argument, no more and no fewer.

    man_options.py QZCALC MANPAGE
"""

import os
import re
import subprocess
import sys


def entry(tag):
    """("-m", "--mode"), "MODE" from a tag such as "-m, --mode MODE"."""
    words = tag.replace(",", " ").split()
    names = tuple(w for w in words if w.startswith("-"))
    arg = " ".join(w for w in words if not w.startswith("-"))
    return names, arg


def help_options(text):
    """Entries of the "Options:" block: lines indented by exactly two blanks
    whose first word is an option; the tag ends at the first run of two or
    more blanks (the description follows) or at the end of the line."""
    lines = text.splitlines()
    try:
        start = lines.index("Options:") + 1
    except ValueError:
        return []
    found = []
    for line in lines[start:]:
        if not line.strip():
            break
        m = re.match(r"  (-\S.*?)(?:\s{2,}|$)", line)
        if m:
            found.append(entry(m.group(1)))
    return found


def roff_text(line):
    """The text a roff line shows, for the font macros and escapes used in
    tags (.B, .BR, .I, .IR, \\f fonts, \\-)."""
    m = re.match(r"\.(B|I|BR|RB|IR|RI|BI|IB)\s+(.*)", line)
    if m:
        args = re.findall(r'"([^"]*)"|(\S+)', m.group(2))
        line = "".join(q or w for q, w in args)
        if m.group(1) in ("B", "I"):
            line = " ".join(q or w for q, w in args)
    line = re.sub(r"\\f[BIRP]", "", line)
    return line.replace("\\-", "-")


def man_options(text):
    """Entries of the OPTIONS section: the line after each .TP is a tag."""
    section = re.search(r"^\.SH OPTIONS\s*$(.*?)(?=^\.SH |\Z)", text, re.M | re.S)
    if not section:
        return []
    lines = section.group(1).splitlines()
    return [entry(roff_text(lines[i + 1])) for i, line in enumerate(lines[:-1]) if line.strip() == ".TP"]


def show(entries):
    return ", ".join(" ".join(names) + (" " + arg if arg else "") for names, arg in sorted(entries))


def main():
    qzcalc, manpage = sys.argv[1], sys.argv[2]
    # A cross-built qzcalc runs through its emulator (QZ_EMULATOR).
    launcher = os.environ.get("QZ_EMULATOR", "").split()
    out = subprocess.run(launcher + [qzcalc, "--help"], capture_output=True, text=True, check=True).stdout
    with open(manpage, encoding="utf-8") as f:
        man = f.read()
    in_help, in_man = help_options(out), man_options(man)
    print("qzcalc --help:", show(in_help))
    print(manpage + ":", show(in_man))
    # A parser that finds nothing would let every page pass.
    if len(in_help) < 3 or len(in_man) < 3:
        print("FAIL: too few options found; has the layout of either changed?")
        return 1
    only_help, only_man = set(in_help) - set(in_man), set(in_man) - set(in_help)
    if only_help:
        print("FAIL: in --help but not in the manual page:", show(only_help))
    if only_man:
        print("FAIL: in the manual page but not in --help:", show(only_man))
    return 1 if only_help or only_man else 0


if __name__ == "__main__":
    sys.exit(main())
