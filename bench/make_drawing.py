#!/usr/bin/env python3
"""Writes an R2000 ASCII DXF drawing with many legacy Hebrew texts, for timing
vornmigrate: a style table with a DOS Hebrew, a Latin-keys and a Windows style
and STANDARD, a block definition with attributes, and TEXT entities (nine in
ten in the legacy styles) with an MTEXT and an INSERT with attributes every
hundred texts. Lines end in CR LF, as the CAD program writes them.

    make_drawing.py OUT.dxf [TEXTS]      (default 100000 texts, about 28 MB)
"""
import random
import sys

DOS_WORDS = [bytes([0x80 + i for i in w]) for w in
             [(25, 12, 5, 13), (18, 0, 9, 5), (4, 9, 21, 4), (19, 22, 5), (1, 9, 22), (14, 5, 4), (20, 21, 22, 9)]]
KEY_WORDS = [b"akuo", b"sru", b"cvhk", b"ntr", b"xpr"]
WIN_WORDS = [bytes([0xE0 + i for i in w]) for w in [(25, 12, 5, 13), (18, 0, 9, 5), (4, 9, 21, 4)]]
LATIN = [b"ROOM", b"LEVEL", b"A-1", b"STAIR", b"NOTE"]


def pairs(*items):
    out = []
    for code, value in zip(items[0::2], items[1::2]):
        out.append(b"%3d\r\n" % code)
        out.append((value if isinstance(value, bytes) else str(value).encode()) + b"\r\n")
    return b"".join(out)


class Handles:
    def __init__(self):
        self.n = 0x100

    def next(self):
        self.n += 1
        return b"%X" % self.n


def header():
    return pairs(0, "SECTION", 2, "HEADER", 9, "$ACADVER", 1, "AC1015", 9, "$DWGCODEPAGE", 3, "ANSI_1255",
                 9, "$INSUNITS", 70, 4, 0, "ENDSEC")


def style(h, name, font, flag=0):
    return pairs(0, "STYLE", 5, h, 330, "3", 100, "AcDbSymbolTableRecord", 100, "AcDbTextStyleTableRecord",
                 2, name, 70, 0, 40, "0.0", 41, "1.0", 50, "0.0", 71, flag, 42, "2.5", 3, font, 4, "")


def tables(hs):
    return (pairs(0, "SECTION", 2, "TABLES", 0, "TABLE", 2, "STYLE", 5, "3", 330, "0", 100, "AcDbSymbolTable",
                  70, 5)
            + style(hs.next(), "STANDARD", "txt") + style(hs.next(), "HEB", "hebsimp.shx")
            + style(hs.next(), "KEYS", "hebkeys.shx") + style(hs.next(), "WIN", "dravik1.shx")
            + style(hs.next(), "HEBBACK", "hebsimp.shx", 2)
            + pairs(0, "ENDTAB", 0, "ENDSEC"))


def text(hs, rng, kind, style_name, value, owner=b"1F", flag=0):
    x, y = rng.uniform(0, 100000), rng.uniform(0, 100000)
    return pairs(0, kind, 5, hs.next(), 330, owner, 100, "AcDbEntity", 8, "TEXT-LAYER", 100, "AcDbText",
                 10, "%.6f" % x, 20, "%.6f" % y, 30, "0.0", 40, "2.5", 1, value, 50, "0.0", 41, "1.0",
                 7, style_name, 71, flag, 72, 2, 11, "%.6f" % x, 21, "%.6f" % y, 31, "0.0", 100, "AcDbText", 73, 0)


def legacy_value(rng):
    pick = rng.random()
    if pick < 0.6:
        words = [rng.choice(DOS_WORDS) for _ in range(rng.randint(2, 4))]
        # A number after the words in reading order stands left of them.
        return b"HEB", b"%d " % rng.randint(1, 999) + b" ".join(words)
    if pick < 0.75:
        return b"KEYS", b" ".join(rng.choice(KEY_WORDS) for _ in range(rng.randint(2, 4)))
    if pick < 0.9:
        return b"WIN", b" ".join(rng.choice(WIN_WORDS) for _ in range(rng.randint(2, 4)))
    return b"STANDARD", b" ".join(rng.choice(LATIN) for _ in range(rng.randint(1, 3))) + b" %d" % rng.randint(1, 99)


def mtext(hs, rng):
    paragraphs = [b" ".join(rng.choice(DOS_WORDS) for _ in range(rng.randint(3, 8))) for _ in range(rng.randint(2, 5))]
    contents = b"{\\fArial|b0|i0;" + b"\\P".join(paragraphs) + b"}"
    chunks = [contents[i:i + 250] for i in range(0, len(contents), 250)]
    items = [0, "MTEXT", 5, hs.next(), 330, "1F", 100, "AcDbEntity", 8, "TEXT-LAYER", 100, "AcDbMText",
             10, "1.0", 20, "2.0", 30, "0.0", 40, "2.5", 41, "80.0", 71, 3, 72, 5]
    for c in chunks[:-1]:
        items += [3, c]
    items += [1, chunks[-1], 7, "HEB"]
    return pairs(*items)


def insert(hs, rng):
    out = pairs(0, "INSERT", 5, hs.next(), 330, "1F", 100, "AcDbEntity", 8, "0", 100, "AcDbBlockReference",
                66, 1, 2, "ROOMTAG", 10, "5.0", 20, "5.0", 30, "0.0")
    out += text(hs, rng, "ATTRIB", "HEB", rng.choice(DOS_WORDS) + b" (12)").replace(
        b"100\r\nAcDbText\r\n 73\r\n0\r\n", b"100\r\nAcDbAttribute\r\n  2\r\nNAME\r\n 70\r\n0\r\n")
    return out + pairs(0, "SEQEND", 5, hs.next(), 330, "1F", 100, "AcDbEntity", 8, "0")


def blocks(hs, rng):
    attdef = pairs(0, "ATTDEF", 5, hs.next(), 330, "20", 100, "AcDbEntity", 8, "0", 100, "AcDbText",
                   10, "0.0", 20, "0.0", 30, "0.0", 40, "2.5", 1, DOS_WORDS[0], 7, "HEB", 100, "AcDbAttributeDefinition",
                   3, DOS_WORDS[1] + b":", 2, "NAME", 70, 0)
    return (pairs(0, "SECTION", 2, "BLOCKS", 0, "BLOCK", 5, "20", 330, "1F", 100, "AcDbEntity", 8, "0",
                  100, "AcDbBlockBegin", 2, "ROOMTAG", 70, 2, 10, "0.0", 20, "0.0", 30, "0.0", 3, "ROOMTAG", 1, "")
            + attdef + text(hs, rng, "TEXT", "HEB", DOS_WORDS[2], owner=b"20")
            + pairs(0, "ENDBLK", 5, "21", 330, "1F", 100, "AcDbEntity", 8, "0", 100, "AcDbBlockEnd", 0, "ENDSEC"))


def main():
    path = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 100000
    rng = random.Random(14)
    hs = Handles()
    with open(path, "wb") as f:
        f.write(header() + tables(hs) + blocks(hs, rng) + pairs(0, "SECTION", 2, "ENTITIES"))
        written = 0
        while written < count:
            chunk = []
            for _ in range(min(1000, count - written)):
                written += 1
                if written % 100 == 0:
                    chunk.append(mtext(hs, rng) if written % 200 else insert(hs, rng))
                else:
                    name, value = legacy_value(rng)
                    chunk.append(text(hs, rng, "TEXT", name, value))
            f.write(b"".join(chunk))
        f.write(pairs(0, "ENDSEC", 0, "SECTION", 2, "OBJECTS", 0, "DICTIONARY", 5, "C", 330, "0",
                      100, "AcDbDictionary", 0, "ENDSEC", 0, "EOF"))


if __name__ == "__main__":
    main()
