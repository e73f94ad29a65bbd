#!/usr/bin/env python3
"""The manual page of qzcalc says what qzcalc does, checked against the
program itself:

- the options of `qzcalc --help` and of the page are the same (each
  option's names and its argument, no more and no fewer), and each of them,
  under every name, is tried;
- every key and written form the page lists is tried: qzcalc takes it and it
  changes the result (a digit: in either case, as the digit it is);
- every example the page gives ("EXPR gives RESULT", in a mode and at a
  word size where it says "In hex, ...", "At 32 bits, ..." or "In hex at 32
  bits, ...") gives that result, and every entry of KEYS and WRITTEN FORMS
  has one that uses what the entry lists;
- the written forms of --help and of the page are the same;
- the commands of EXAMPLES print what the page shows.

    man_options.py QZCALC MANPAGE
"""

import os
import re
import shlex
import subprocess
import sys

MODES = ("dec", "hex", "oct", "bin", "ipv4", "ipv6", "float")


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


def unescape(text):
    """The characters a roff text stands for, for the escapes the page uses."""
    text = re.sub(r"\\f[BIRP]", "", text)
    for esc, char in (("\\-", "-"), ("\\(aq", "'"), ("\\(en", "\u2013"), ("\\(+-", "\u00b1"),
                      ("\\(*p", "\u03c0"), ("\\en", "\\n"), ("\\e", "\\")):
        text = text.replace(esc, char)
    return text


def roff_text(line):
    """The text a roff line shows, for the font macros and escapes used in
    tags (.B, .BR, .I, .IR, \\f fonts, \\-)."""
    m = re.match(r"\.(B|I|BR|RB|IR|RI|BI|IB)\s+(.*)", line)
    if m:
        args = re.findall(r'"([^"]*)"|(\S+)', m.group(2))
        line = "".join(q or w for q, w in args)
        if m.group(1) in ("B", "I"):
            line = " ".join(q or w for q, w in args)
    return unescape(line)


def section(text, name):
    m = re.search(r"^\.SH " + re.escape(name) + r"\s*$(.*?)(?=^\.SH |\Z)", text, re.M | re.S)
    return m.group(1) if m else ""


def tagged_entries(body):
    """(tag text, description lines) of each .TP entry."""
    lines = body.splitlines()
    found = []
    for i, line in enumerate(lines[:-1]):
        if line.strip() != ".TP":
            continue
        desc = []
        for more in lines[i + 2:]:
            if more.startswith((".TP", ".SH", ".PP")):
                break
            desc.append(more)
        found.append((roff_text(lines[i + 1]), desc))
    return found


def examples(lines):
    """(mode, word size, expression, result) of each "EXPR gives RESULT" in
    lines, the mode and the word size from an "In MODE," "At N bits," "In
    MODE at N bits," or "At N bits in MODE," before it in the same sentence
    (the word size None: qzcalc's default)."""
    text = " ".join(lines)
    found = []
    for sentence in re.split(r"(?<=\.)\s+(?=[A-Z\\])", text):
        m = re.match(r"(?:In (\w+)(?: at (\d+) bits)?|At (\d+) bits(?: in (\w+))?), ", sentence)
        mode = (m.group(1) or m.group(4)) if m else None
        mode = mode if mode in MODES else "dec"
        bits = (m.group(2) or m.group(3)) if m else None
        for expr, result in re.findall(r"\\fB(.+?)\\fR gives \\fB(.+?)\\fR", sentence):
            found.append((mode, bits, unescape(expr), unescape(result)))
    return found


def man_options(text):
    """Entries of the OPTIONS section: the line after each .TP is a tag."""
    return [entry(tag) for tag, _ in tagged_entries(section(text, "OPTIONS"))]


def show(entries):
    return ", ".join(" ".join(names) + (" " + arg if arg else "") for names, arg in sorted(entries))


class Checker:
    def __init__(self, qzcalc):
        self.qzcalc = qzcalc
        # A cross-built qzcalc runs through its emulator (QZ_EMULATOR).
        self.launcher = os.environ.get("QZ_EMULATOR", "").split()
        self.failures = []

    def run(self, *args):
        r = subprocess.run(self.launcher + [self.qzcalc, *args], capture_output=True, text=True)
        return r.returncode, r.stdout, r.stderr

    def fail(self, message):
        print("FAIL:", message)
        self.failures.append(message)

    def result(self, mode, expr, bits=None):
        word = ["-w", bits] if bits else []
        code, out, _ = self.run("-m", mode, *word, "--", expr)
        return out.strip() if code == 0 else None

    def try_option(self, names, arg):
        for name in names:
            if name == "--":
                args = ["--", "1+1"]
            elif arg == "MODE":
                args = [name, "hex", "1+1"]
            elif "--word-size" in names:
                args = [name, "16", "1+1"]
            elif arg:
                args = [name, "2", "1+1"]
            else:
                args = [name, "1+1"]
            code, out, err = self.run(*args)
            want = {"-h": "Usage:", "--help": "Usage:", "-V": "qzcalc ", "--version": "qzcalc "}.get(name)
            took = out.startswith(want) if want else "\n2\n" in "\n" + out
            if code != 0 or not took or err:
                self.fail(f"option {' '.join(args)} exits {code}, prints {out[:40]!r} {err.strip()!r}")

    # Where a key or written form K shows what it does: with it, qzcalc takes
    # the expression and gives a result other than without it.
    TEMPLATES = [("dec", "7K2"), ("dec", "7K"), ("dec", "K12"), ("dec", "(0-7)K"), ("dec", "(7K"),
                 ("dec", "K7)"), ("float", "7K2"), ("float", "2K"), ("ipv6", "7K2")]

    def try_key(self, key):
        if re.fullmatch(r"[0-9A-Fa-f]", key):
            got = self.result("hex", "1" + key)
            if got != "1" + key.upper():
                self.fail(f"digit {key}: qzcalc -m hex 1{key} gives {got}")
            return
        for mode, template in self.TEMPLATES:
            got = self.result(mode, template.replace("K", key))
            if got is not None and got != self.result(mode, template.replace("K", "")):
                return
        self.fail(f"key {key}: qzcalc does not take it, or it changes nothing")

    def try_example(self, mode, bits, expr, want):
        got = self.result(mode, expr, bits)
        if got != want:
            word = f" -w {bits}" if bits else ""
            self.fail(f"example: qzcalc -m {mode}{word} {expr!r} gives {got!r}, the page says {want!r}")

    def try_command(self, command, want):
        words = shlex.split(command)
        qz = " ".join(shlex.quote(w) for w in self.launcher + [self.qzcalc])
        shell = " ".join(qz if w == "qzcalc" else
                         (w if w == "|" else shlex.quote(w)) for w in words)
        got = subprocess.run(["bash", "-c", shell], capture_output=True, text=True).stdout
        if got != want:
            self.fail(f"$ {command}: prints {got!r}, the page shows {want!r}")


def keys_of(tag):
    """The keys of a KEYS tag: "0-9, A-F" ranges spelled out."""
    keys = []
    for word in tag.replace(",", " ").split():
        m = re.fullmatch("(.)\u2013(.)", word)
        if m:
            keys += [chr(c) for c in range(ord(m.group(1)), ord(m.group(2)) + 1)]
        else:
            keys.append(word)
    return keys


def main():
    qzcalc, manpage = sys.argv[1], sys.argv[2]
    check = Checker(qzcalc)
    out = check.run("--help")[1]
    with open(manpage, encoding="utf-8") as f:
        man = f.read()

    in_help, in_man = help_options(out), man_options(man)
    print("qzcalc --help:", show(in_help))
    print(manpage + ":", show(in_man))
    # A parser that finds nothing would let every page pass.
    if len(in_help) < 3 or len(in_man) < 3:
        check.fail("too few options found; has the layout of either changed?")
    only_help, only_man = set(in_help) - set(in_man), set(in_man) - set(in_help)
    if only_help:
        check.fail("in --help but not in the manual page: " + show(only_help))
    if only_man:
        check.fail("in the manual page but not in --help: " + show(only_man))
    for names, arg in in_man:
        check.try_option(names, arg)

    tried = 0
    for name in ("KEYS", "WRITTEN FORMS"):
        entries = tagged_entries(section(man, name))
        if len(entries) < 5:
            check.fail(f"too few entries in {name}; has the layout changed?")
        for tag, desc in entries:
            for key in keys_of(tag):
                check.try_key(key)
                tried += 1
            found = examples(desc)
            if not found:
                check.fail(f"{name} {tag}: no example (\\fBEXPR\\fR gives \\fBRESULT\\fR)")
            for mode, bits, expr, want in found:
                if not any(key in expr for key in keys_of(tag)):
                    check.fail(f"{name} {tag}: the example {expr} does not use it")
                check.try_example(mode, bits, expr, want)
                tried += 1
    for name in ("NUMBERS", "WORD SIZE"):
        found = examples(section(man, name).splitlines())
        if name == "WORD SIZE" and len(found) < 5:
            check.fail("too few examples in WORD SIZE; has the layout changed?")
        for mode, bits, expr, want in found:
            check.try_example(mode, bits, expr, want)
            tried += 1

    help_forms = set(re.findall(r"^  (\{\w+\})", out, re.M))
    man_forms = {tag for tag, _ in tagged_entries(section(man, "WRITTEN FORMS"))}
    if help_forms != man_forms:
        check.fail(f"written forms: --help {sorted(help_forms)}, the page {sorted(man_forms)}")

    listing = re.search(r"^\.SH EXAMPLES\s*\n\.nf\n(.*?)^\.fi", man, re.M | re.S)
    commands = re.split(r"^\$ ", unescape(listing.group(1)), flags=re.M)[1:] if listing else []
    if not commands:
        check.fail("no commands found in EXAMPLES")
    for block in commands:
        command, _, shown = block.partition("\n")
        check.try_command(command, shown)
        tried += 1

    print(f"{tried} keys, written forms and examples tried; {len(check.failures)} failed")
    return 1 if check.failures else 0


if __name__ == "__main__":
    sys.exit(main())
