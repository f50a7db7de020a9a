#!/usr/bin/env python3
"""The user guide's font type table against the converter: each type's
stored codes are what the conversion to the drawing gives for the guide's
sample text, and the conversion back gives the text again.

    guide_examples_test.py GUIDE VORNCONV"""
import re
import subprocess
import sys

GUIDE, VORNCONV = sys.argv[1:3]


def table_rows(guide):
    """(type, codes) of each row of the font type table."""
    rows = []
    for line in guide.splitlines():
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) == 5 and re.fullmatch(r"`\w+`", cells[0]) and re.fullmatch(r"[\d ]+", cells[4]):
            rows.append((cells[0].strip("`"), [int(c) for c in cells[4].split()]))
    return rows


def code_of(char):
    """The Windows-1255 byte of a character; the bytes that code page leaves
    undefined travel as the C1 characters of the same number."""
    try:
        return char.encode("cp1255")[0]
    except UnicodeEncodeError:
        assert 0x80 <= ord(char) <= 0x9F, f"{char!r} is outside Windows-1255"
        return ord(char)


def convert(direction, font_type, text):
    out = subprocess.run([VORNCONV, direction, "--type", font_type], input=text + "\n", capture_output=True,
                         text=True, encoding="utf-8", timeout=30)
    assert out.returncode == 0, out.stderr
    return out.stdout.rstrip("\n")


def main():
    guide = open(GUIDE, encoding="utf-8").read()
    sample = re.search(r'the text "([^"]+)" \(', guide)
    assert sample, "the guide names no sample text"
    text = sample.group(1)
    rows = table_rows(guide)
    names = [name for name, _ in rows]
    assert names == ["DosHebrew", "DosEnglish", "DosEnglishR", "Windows", "TrueType"], names
    failed = 0
    for name, codes in rows:
        # The converter's type option names the Windows type as the map does.
        stored = convert("--to-drawing", name, text)
        got = [code_of(c) for c in stored]
        back = convert("--to-editor", name, stored)
        if got != codes or back != text:
            failed += 1
            print(f"FAILED {name}: the guide says {codes}, the conversion gives {got}, back {back!r}")
        else:
            print(f"ok     {name}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
