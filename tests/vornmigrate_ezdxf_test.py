#!/usr/bin/python3
"""vornmigrate checked by another DXF library: drawings made with ezdxf in the
legacy forms (TEXT, ATTRIB and ATTDEF in a block, MTEXT; styles with SHX
fonts of each font type, backwards flags; R2000 with 8-bit strings and R2010
with UTF-8 ones), migrated for each --for, read back with ezdxf: its audit
finds nothing, and every text, style and flag is what it should be.

The expected texts come from the converter (vornconv, the editors'
conversions one line at a time) and, for a few rows, from hand.

    vornmigrate_ezdxf_test.py VORNMIGRATE VORNCONV

Exits 77 (skipped) when ezdxf is not installed."""
import io
import os
import re
import subprocess
import sys
import tempfile

try:
    import ezdxf
    import ezdxf.recover
except ImportError:
    print("ezdxf is not installed (Debian package python3-ezdxf): skipped")
    sys.exit(77)

VORNMIGRATE, VORNCONV = sys.argv[1:3]
# The font the migrated styles get: the default, or the one --font names.
TRUETYPE_FONTS = {"host": "arial.ttf", "logical": "david.ttf", "visual": "david.ttf"}

FONT_MAP = """[Fonts]
HEBSIMP=DosHebrew
MYKEYS=DosEnglish
MYKEYSR=DosEnglishR
WINHEB=Windows
HEBSYMB=DosHebrew
"""

# name: (font file, big font, style backwards, font type as vornconv names it)
STYLES = {
    "DOSHEB": ("hebsimp.shx", "hebbig.shx", False, "DosHebrew"),
    "DOSHEB_BACK": ("hebsimp.shx", "", True, "DosHebrew"),
    "KEYS": ("mykeys.shx", "", False, "DosEnglish"),
    "KEYSR": ("MyKeysR.SHX", "", False, "DosEnglishR"),
    "WINDOWS": ("dravik1.shx", "", False, "Windows"),
    "WINMAP": ("winheb.shx", "", False, "Windows"),
    "SYMBOLS": ("HebSymb.shx", "", False, "DosHebrew"),
    "UNICODE": ("arial.ttf", "", False, "TrueType"),
}
# The drawing's own STANDARD, which a text without a style is in.
STANDARD = ("hebsimp.shx", "", False, "DosHebrew")
LEGACY_STYLES = {name for name, (_, _, _, kind) in STYLES.items() if kind != "TrueType"}


# --- The 8-bit form: one character per byte of Windows-1255 -----------------

def char_of(byte):
    """The character of a byte: Windows-1255's, or for the bytes it leaves
    undefined the C1 character of the same number."""
    try:
        return bytes([byte]).decode("cp1255")
    except UnicodeDecodeError:
        return chr(byte)


def byte_of(char):
    try:
        return char.encode("cp1255")
    except UnicodeEncodeError:
        if 0x80 <= ord(char) <= 0xFF:
            return bytes([ord(char)])
        return None


HEBREW = "אבגדהוזחטיךכלםמןנסעףפץצקרשת"
KEYS = "tcdsvuzjyhlfkonibxg;p.mera,"


def dos(text):
    """Hebrew letters as their DOS letter codes 128 to 154."""
    return "".join(char_of(128 + HEBREW.index(c)) if c in HEBREW else c for c in text)


def keys(text):
    """Hebrew letters as the Latin keys that type them."""
    return "".join(KEYS[HEBREW.index(c)] if c in HEBREW else c for c in text)


def escapes(text):
    """Every non-ASCII character as a \\U+XXXX escape."""
    return "".join(c if ord(c) < 128 else f"\\U+{ord(c):04X}" for c in text)


# --- The drawings -------------------------------------------------------------

# (entity, style or None for the default, stored string, entity backwards)
# Stored strings are in the order the old drawing shows them, left to right
# (right to left for the reversed Latin keys, mirrored for a backwards flag).
TEXTS = [
    ("TEXT", "DOSHEB", dos("םולש"), False),
    ("TEXT", "DOSHEB", dos("123 םולש"), False),
    ("TEXT", "DOSHEB", dos("(םולש) 2.5"), False),
    ("TEXT", "DOSHEB", "Room 12", False),
    ("TEXT", "DOSHEB_BACK", dos("שלום"), False),
    ("TEXT", "DOSHEB", dos("שלום"), True),
    ("TEXT", None, dos("ןורדסמ"), False),
    ("TEXT", "KEYS", "ouka", False),
    ("TEXT", "KEYS", keys(" 12םולש"), False),
    ("TEXT", "KEYSR", "akuo", False),
    ("TEXT", "WINDOWS", "םולש", False),
    ("TEXT", "WINMAP", "A-1 םולש", False),
    ("TEXT", "UNICODE", "שלום", False),
    ("ATTDEF", "DOSHEB", dos("םש"), False),
    ("ATTRIB", "DOSHEB", dos("[1] ןושאר"), False),
    ("ATTRIB", "WINDOWS", "(ינש)", False),
    ("ATTRIB", "KEYS", "ouka", False),
    ("TEXT", "DOSHEB", "%%153%%140%%133%%141", False),
    ("TEXT", "SYMBOLS", dos("20") + char_of(156) + dos(" םוח"), False),
    ("MTEXT", "DOSHEB", dos("הנושאר הרוש\\Pהיינש\\P"), False),
    ("MTEXT", "WINDOWS", "{\\fArial|b1;םולש}\\P\\C1;12 הדימ\\P", False),
    ("MTEXT", "KEYS", "\\P".join(keys("הכורא הקספ") + f" {i}" for i in range(40)) + "\\P", False),
]
ATTDEF_PROMPT = dos("םש המ")

# New texts worked out by hand for some rows, independent of the converter:
# the letters as the old font drew them left to right (visual), as read from
# right to left (logical: the digits with the blank before them form one run,
# as the line editor reads them), and in the host's TrueType form.
BY_HAND = {
    "visual": {0: "םולש", 1: "123 םולש", 2: "(םולש) 2.5", 3: "Room 12", 4: "םולש", 7: "םולש", 9: "םולש",
               11: "A-1 םולש"},
    "logical": {0: "שלום", 1: "שלום123 ", 3: "Room 12", 4: "שלום", 5: "םולש", 6: "מסדרון", 7: "שלום",
                9: "שלום", 10: "שלום"},
    "host": {0: "שלום", 10: "שלום", 15: "(שני)", 17: "םולש"},
}


def make_drawing(version):
    """An ezdxf drawing holding TEXTS; returns it with the handle of each row."""
    doc = ezdxf.new(version)
    doc.encoding = "cp1255"
    doc.styles.get("Standard").dxf.font = STANDARD[0]
    for name, (font, bigfont, backwards, _) in STYLES.items():
        attribs = {"font": font, "generation_flags": 2 if backwards else 0}
        if bigfont:
            attribs["bigfont"] = bigfont
        doc.styles.new(name, dxfattribs=attribs)
    msp = doc.modelspace()
    block = doc.blocks.new("TITLE")
    handles = [None] * len(TEXTS)
    attributes = []
    for index, (kind, style, text, backwards) in enumerate(TEXTS):
        attribs = {"style": style} if style else {}
        where = (0, -5 * index)
        if kind == "TEXT":
            entity = msp.add_text(text, dxfattribs={**attribs, "insert": where, "height": 2.5,
                                                    "text_generation_flag": 2 if backwards else 0})
        elif kind == "ATTDEF":
            entity = block.add_attdef(f"TAG{index}", where, text=text, dxfattribs={**attribs, "prompt": ATTDEF_PROMPT})
        elif kind == "ATTRIB":
            attributes.append((index, attribs, text))
            continue
        else:
            entity = msp.add_mtext(text, dxfattribs={**attribs, "insert": (60, where[1]), "char_height": 2.5,
                                                     "width": 80})
        handles[index] = entity.dxf.handle
    insert = msp.add_blockref("TITLE", (0, 20))
    for index, attribs, text in attributes:
        handles[index] = insert.add_attrib(f"TAG{index}", text, (0, 20 - index), dxfattribs=attribs).dxf.handle
    return doc, handles


def write_drawing(doc, path, line_end):
    """Writes the drawing as a legacy program does: before R2007 the strings
    are the bytes the font draws (a character beyond them as an upper-case
    \\U+XXXX escape), from R2007 UTF-8."""
    stream = io.StringIO()
    doc.write(stream)
    text = stream.getvalue().replace("\n", line_end)
    if doc.dxfversion >= "AC1021":
        data = text.encode("utf-8")
    else:
        data = b"".join(byte_of(c) or escapes(c).encode("ascii") for c in text)
    with open(path, "wb") as f:
        f.write(data)


# --- What the conversions give ------------------------------------------------

def vornconv(direction, lines, options):
    out = subprocess.run([VORNCONV, direction, *options], input="".join(line + "\n" for line in lines),
                         capture_output=True, text=True, encoding="utf-8", timeout=60)
    assert out.returncode == 0, out.stderr
    result = out.stdout.split("\n")[:-1]
    assert len(result) == len(lines), (lines, result)
    return result


def pieces(kind, text):
    """The parts of a stored string that convert on their own, each as
    (codes before, text, codes after): an MTEXT's paragraphs without the
    formatting codes at their ends; the whole string otherwise."""
    if kind != "MTEXT":
        return [("", text, "")]
    result = []
    for paragraph in text.split("\\P"):
        head = tail = ""
        if paragraph.startswith(("{\\", "\\C")):
            cut = paragraph.index(";") + 1
            head, paragraph = paragraph[:cut], paragraph[cut:]
        if paragraph.endswith("}"):
            paragraph, tail = paragraph[:-1], "}"
        result.append((head, paragraph, tail))
    return result


def decode_letter_codes(text):
    """"%%128" to "%%154" as the DOS letters they draw."""
    return re.sub(r"%%(\d\d\d)", lambda m: char_of(int(m[1])) if 128 <= int(m[1]) <= 154 else m[0], text)


def has_hebrew(text):
    return any("\u05d0" <= c <= "\u05ea" for c in text)


def expect(target, kind, style, stored, backwards, map_path):
    """The new text of one stored string and its status in the report.

    The new text is made from what the entity's own editor shows (the line
    editor's text, or the attribute editor's for attributes), piece by piece:
    - host: its TrueType stored form; "review" where that does not open in
      the editor as the same text again;
    - visual: what the old font drew, left to right: the Windows letter form
      of the line editor's text, its brackets as drawn (mirrored by a
      backwards style);
    - logical: that drawing read as a right-to-left line, as the line editor
      reads a Windows letter text; without Hebrew it stays as it is drawn.
    A DOS font draws "%%128" to "%%154" as letters; English in a letter-code
    font stays as it is; a text drawn backwards by its own flag, not by its
    style's, is converted as the style says and reported for review."""
    # A text without a style is in STANDARD, here in the DOS font.
    font, _, style_backwards, font_type = STYLES[style] if style else STANDARD
    if font_type == "TrueType":
        return stored, "same"
    options = ["--font", font, "--map", map_path] + (["--backwards"] if style_backwards else [])
    attribute = ["--attribute"] if kind in ("ATTRIB", "ATTDEF") else []
    parts = pieces(kind, decode_letter_codes(stored) if font_type == "DosHebrew" else stored)
    bodies = [body for _, body, _ in parts]
    status = "review" if kind != "MTEXT" and backwards != style_backwards else "converted"
    line_text = vornconv("--to-editor", bodies, options)
    if target == "host":
        editor = vornconv("--to-editor", bodies, options + attribute)
        new = vornconv("--to-drawing", editor, ["--type", "TrueType"] + attribute)
        if vornconv("--to-editor", new, ["--type", "TrueType"] + attribute) != editor:
            status = "review"
    else:
        new = vornconv("--to-drawing", line_text, ["--type", "Windows"] + (["--attribute"] if style_backwards else []))
        if target == "logical":
            read = vornconv("--to-editor", new, ["--type", "Windows"])
            new = [r if has_hebrew(n) else n for n, r in zip(new, read)]
    codes = {"DosHebrew": range(128, 155), "Windows": range(224, 251)}.get(font_type)
    for i, body in enumerate(bodies):
        if codes and not style_backwards and not any(byte_of(c)[0] in codes for c in body):
            new[i] = body  # English in a letter-code font stays as it is stored
    text = "\\P".join(head + n + tail for (head, _, tail), n in zip(parts, new))
    return text, status if text != stored or status == "review" else "same"


# --- The checks -----------------------------------------------------------------

def run_migrate(*args):
    out = subprocess.run([VORNMIGRATE, *args], capture_output=True, timeout=120)
    return out.returncode, out.stdout.decode("utf-8", "replace") + out.stderr.decode("utf-8", "replace")


def raw_strings(path, handle):
    """The code 1 and 3 values of one entity, as bytes."""
    lines = open(path, "rb").read().splitlines()
    values, inside = [], False
    for i in range(0, len(lines) - 1, 2):
        code, value = lines[i].strip(), lines[i + 1]
        if code == b"0":
            inside = False
        elif code == b"5" and value.strip() == handle.encode():
            inside = True
        elif inside and code in (b"1", b"3"):
            values.append(value)
    return values


def check_drawing(path, source, target, rows, failures):
    def fail(message):
        failures.append(f"{os.path.basename(path)} --for {target}: {message}")

    # The recovering reader is the one that decodes \U+XXXX escapes.
    doc, auditor = ezdxf.recover.readfile(path)
    if auditor.has_errors or auditor.has_fixes:
        fail(f"audit: {[str(e.message) for e in auditor.errors + auditor.fixes][:5]}")
    old, new = open(source, "rb").read(), open(path, "rb").read()
    if new.count(b"\r\n") != (new.count(b"\n") if b"\r\n" in old else 0):
        fail("line ends changed")
    for index, ((kind, style, stored, backwards), (handle, want, _, prompt, _)) in enumerate(zip(TEXTS, rows)):
        entity = doc.entitydb.get(handle)
        if entity is None:
            fail(f"row {index}: entity {handle} is gone")
            continue
        got = entity.text if kind == "MTEXT" else entity.dxf.text
        if got != want:
            fail(f"row {index} {kind} {style}: {got!r}, expected {want!r} (stored {stored!r})")
        if kind == "ATTDEF" and entity.dxf.prompt != prompt:
            fail(f"row {index} ATTDEF prompt: {entity.dxf.prompt!r}, expected {prompt!r}")
        # The flag changes only with the text, where its style was backwards.
        own = kind != "MTEXT" and bool(entity.dxf.get("text_generation_flag", 0) & 2)
        if kind != "MTEXT" and style in LEGACY_STYLES and own != backwards:
            fail(f"row {index}: the entity's own backwards flag is {own}, expected {backwards}")
        raw = raw_strings(path, handle)
        if kind == "MTEXT" and max(map(len, raw)) > 250:
            fail(f"row {index}: an MTEXT chunk of {max(map(len, raw))} bytes")
        if doc.dxfversion < "AC1021" and want != stored and any(b >= 0x80 for v in raw for b in v):
            fail(f"row {index}: a byte above 127 in an R2000 string, not a \\U+XXXX escape: {raw}")
    for name, (font, bigfont, backwards, kind) in {**STYLES, "Standard": STANDARD}.items():
        style = doc.styles.get(name)
        if kind == "TrueType":
            if style.dxf.font != font:
                fail(f"style {name} needed no migration, but its font became {style.dxf.font}")
        elif style.dxf.font != TRUETYPE_FONTS[target] or style.dxf.get("bigfont", "") or \
                style.dxf.get("generation_flags", 0) & 2:
            fail(f"style {name}: font {style.dxf.font!r}, big font {style.dxf.get('bigfont', '')!r}, "
                 f"flags {style.dxf.get('generation_flags', 0)}")
    if doc.header.get("$DWGCODEPAGE") != "ANSI_1255":
        fail(f"$DWGCODEPAGE is {doc.header.get('$DWGCODEPAGE')}")


def check_report(path, drawings, rows, failures):
    """One row per text (and per ATTDEF prompt), each with its status."""
    with open(path, encoding="utf-8", newline="") as f:
        report = [line.rstrip("\r\n").split("\t") for line in f]
    if report and report[0][1].lower() == "handle":
        report = report[1:]
    for drawing in drawings:
        name = os.path.basename(drawing)
        statuses = {(r[1], r[2]): r[8] for r in report if len(r) == 12 and os.path.basename(r[0]) == name}
        for (kind, style, stored, _), (handle, _, status, _, prompt_status) in zip(TEXTS, rows):
            wanted = [(kind, status)] + ([("ATTDEF prompt", prompt_status)] if kind == "ATTDEF" else [])
            for entity_type, want in wanted:
                got = statuses.get((handle, entity_type))
                if got != want:
                    failures.append(f"report {os.path.basename(path)}: {name} {entity_type} {handle} in {style} "
                                    f"({stored[:30]!r}): status {got}, expected {want}")
    for row in report:
        if len(row) != 12 or (row[8] == "same") != (row[9] == row[10]) and row[8] != "review":
            failures.append(f"report row {row}")


def migrate_all(target, map_path, drawings, work):
    """Runs the tool for one --for: the host form over the folder, the others
    file by file. Returns the outputs and the report, or None."""
    out_dir = os.path.join(work, target)
    report = os.path.join(work, f"{target}.tsv")
    common = ["--map", map_path, "--report", report, "--quiet"]
    if target == "host":
        runs = [common + ["--out-dir", out_dir, os.path.dirname(drawings[0])]]
    else:
        os.makedirs(out_dir, exist_ok=True)
        runs = [common + ["--for", target, "--font", TRUETYPE_FONTS[target], d,
                          os.path.join(out_dir, os.path.basename(d))] for d in drawings]
    for args in runs:
        code, text = run_migrate(*args)
        if code != 0:
            return None, f"exit {code}: {text[-800:]}"
    return [os.path.join(out_dir, os.path.basename(d)) for d in drawings], report


def main():
    failures = []
    with tempfile.TemporaryDirectory(prefix="vornmigrate-ezdxf-") as work:
        map_path = os.path.join(work, "HebFonts.txt")
        with open(map_path, "w", encoding="ascii") as f:
            f.write(FONT_MAP)
        os.makedirs(os.path.join(work, "in"))
        drawings, handles = [], None
        for version, line_end in (("R2000", "\n"), ("R2010", "\r\n")):
            doc, made = make_drawing(version)
            assert handles in (None, made), "ezdxf gives both versions the same handles"
            handles = made
            drawings.append(os.path.join(work, "in", f"legacy-{version}.dxf"))
            write_drawing(doc, drawings[-1], line_end)
        for target, by_hand in BY_HAND.items():
            for index, text in by_hand.items():
                got, _ = expect(target, *TEXTS[index], map_path)
                if got != text:
                    failures.append(f"--for {target} row {index}: the conversions give {got!r}, by hand {text!r}")
        for target in ("host", "logical", "visual"):
            rows = []
            for kind, style, stored, backwards in TEXTS:
                prompt = expect(target, kind, style, ATTDEF_PROMPT, False, map_path) if kind == "ATTDEF" else \
                    (None, None)
                rows.append((handles[len(rows)], *expect(target, kind, style, stored, backwards, map_path), *prompt))
            outputs, report = migrate_all(target, map_path, drawings, work)
            if outputs is None:
                failures.append(f"--for {target}: {report}")
                continue
            for drawing, output in zip(drawings, outputs):
                check_drawing(output, drawing, target, rows, failures)
                again = output + ".again.dxf"
                code, text = run_migrate("--map", map_path, "--for", target, "--font", TRUETYPE_FONTS[target],
                                         "--quiet", output, again)
                if code != 0 or open(again, "rb").read() != open(output, "rb").read():
                    failures.append(f"{os.path.basename(output)} --for {target}: a second run changed it {text}")
            check_report(report, drawings if target == "host" else drawings[-1:], rows, failures)
    for failure in failures:
        print("FAILED", failure)
    if not failures:
        print(f"ok     {len(TEXTS)} texts in R2000 and R2010, for host, logical and visual")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
