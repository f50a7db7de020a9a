#!/usr/bin/env python3
"""The attribute editor end to end under Wine: the test host plays the CAD
program with a block reference, the server opens its grid, the window steps
edit it as a user would, and each case checks the rows shown, what reached the
attributes, the command strings, the result codes and the settings file."""
import os
import shutil
import subprocess
import sys

import e2e_host as e2e
from e2e_host import S_OK, hrs, no_references_left, windows_path

OUTDIR = e2e.OUTDIR
CONFIG = e2e.config_folder()
INI = os.path.join(CONFIG, "Hebrew.ini")
SHOT = os.path.join(OUTDIR, "e2e_grid_shot.png")

CAPTION = "VORN Attribut Editor : Block:   DOOR"
SHALOM = "\u05E9\u05DC\u05D5\u05DD"  # as read
# The same word as each font type stores it.
DOS_SHALOM = "\u008D\u2026\u008C\u2122"  # bytes 141 133 140 153
KEYS_SHALOM = "ouka"
WIN_SHALOM = "\u05DD\u05D5\u05DC\u05E9"  # bytes 237 229 236 249: display order
FONT_MAP = "[Fonts]\r\nHEBKEY=DosEnglish\r\n"

STYLES = r'''
rot Gstarcad.Application
style Dos hebsimp.shx 0 2.5
style Keys hebkey.shx 0 2.5
style Win dravik1.shx 0 2.5
'''
# Three attributes in three font types; 11 and 12 share their tag.
DRAWING = STYLES + ('block 10 DOOR 11:Dos:NO:"\\u008D\\u2026\\u008C\\u2122" 12:Keys:NO:"ouka" '
                    '13:Win:TAG:"\\u05DD\\u05D5\\u05DC\\u05E9"\n')
PLAIN = STYLES + 'block 10 DOOR 11:Dos:A:"one" 12:Dos:B:"two" 13:Dos:C:"three"\n'
OPEN = "pick 10\nui window \"VORN*\"\n"


def run_host(script, ini=None):
    os.makedirs(CONFIG, exist_ok=True)
    with open(os.path.join(CONFIG, "HebFonts.txt"), "w", newline="") as f:
        f.write(FONT_MAP)
    if ini is None:
        if os.path.exists(INI):
            os.unlink(INI)
    else:
        with open(INI, "w", newline="") as f:
            f.write(ini)
    return e2e.run_host(script)


def reads(report):
    return [w for w in report["windows"] if w["event"] == "read"]


def control(window, cls=None, ident=None):
    return next(c for c in window["controls"] if (cls is None or c["class"] == cls) and
                (ident is None or c["id"] == ident))


def rows(window):
    return control(window, "SysListView32").get("rows", [])


def puts(report, handle=None):
    return [c["args"][0] for c in report["calls"] if c["object"] == "AttributeReference" and
            c["member"] == "TextString" and c["access"] == "put" and (handle is None or c["id"] == handle)]


def attribute_texts(report):
    block = next(e for e in report["drawing"]["entities"] if e["handle"] == "10")
    return {a["handle"]: a["textString"] for a in block["attributes"]}


def no_failed_steps(report):
    failed = [w["event"] for w in report["windows"] if w["event"].startswith("failed")]
    assert not failed, failed
    pending = [c.get("uiPending") for c in report["commands"] if c.get("uiPending")]
    assert not pending, f"steps left: {pending}"


def ini_values():
    """The section Gredit of Hebrew.ini as the server left it."""
    raw = open(INI, "rb").read()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("cp1255")
    values, section = {}, None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("["):
            section = line.strip("[]")
        elif "=" in line and section == "Gredit":
            key, value = line.split("=", 1)
            values[key] = value
    return values


CASES = e2e.Cases()


def case(name, script, ini=None):
    """A case: the script run with "Hebrew.ini" as `ini` (none when None)."""
    def register(check):
        CASES.add(name, lambda: check(run_host(script, ini)))
        return check
    return register


@case("three attributes in the block reference's order, keyed by position, each in its own font type",
      DRAWING + OPEN + "ui read\nui wait 300\nui shot " + '"' + windows_path(SHOT + ".bmp") + '"\n'
      "ui key escape\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK]
    no_failed_steps(r)
    [w] = reads(r)
    assert w["caption"] == CAPTION, w["caption"]
    assert rows(w) == [["1", SHALOM], ["2", SHALOM], ["3", SHALOM]], rows(w)
    grid = control(w, "SysListView32")
    assert grid.get("layoutRtl") and grid.get("focused"), grid
    e2e.uses_common_controls_6(w)
    assert control(w, "Button", 101)["text"] == "&English"
    assert control(w, "Static", 102)["text"] == "Block  :"
    assert puts(r) == [] and r["sendCommands"] == [], "Esc writes nothing"
    no_references_left(r)


@case("each attribute's own style both ways; two attributes with one tag keep their own rows",
      DRAWING + OPEN +
      "ui key f2\nui type \"\u05E9\u05DC\u05D5\u05DD\"\nui key enter\n"       # row 1: Dos
      "ui key down\nui key f2\nui type \"\u05D0\"\nui key enter\n"          # row 2: Keys, tag NO like row 1
      "ui key down\nui key f2\nui type \"\u05D1\u05D2\"\nui key enter\n"    # row 3: Windows
      "ui read\nui key enter\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK]
    no_failed_steps(r)
    [w] = reads(r)
    assert rows(w) == [["1", SHALOM], ["2", "\u05D0"], ["3", "\u05D1\u05D2"]], rows(w)
    texts = attribute_texts(r)
    assert texts["11"] == DOS_SHALOM, ascii(texts["11"])
    assert texts["12"] == "t", ascii(texts["12"])  # alef is the key t
    assert texts["13"] == "\u05D2\u05D1", ascii(texts["13"])  # Windows letters, display order
    assert puts(r, "11") == [texts["11"]] * 2, "OK writes, then the command writes again"
    no_references_left(r)


@case("deleting a row leaves its attribute alone; an added row and a key edit write nothing",
      PLAIN + OPEN +
      "ui key down\nui key ctrl+delete\n"                      # the second row goes
      "ui key f2\nui type \"THREE\"\nui key enter\n"           # the row that moved up is the third attribute
      "ui key insert\nui type \"new\"\nui key enter\n"         # a row of the user's
      "ui key f2\nui type \"extra\"\nui key enter\n"
      "ui key up\nui key up\nui key shift+f2\nui type \"first\"\nui key enter\n"  # a key edit
      "ui key down\nui key shift+f2\nui type \"first\"\nui key enter\n"         # a duplicate: refused
      "ui read\nui key enter\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK]
    no_failed_steps(r)
    [w] = reads(r)
    assert rows(w) == [["first", "one"], ["3", "THREE"], ["new", "extra"]], rows(w)
    assert [m["text"] for m in r["messages"]] == ['A key named "first" is already in the grid.'], r["messages"]
    assert attribute_texts(r) == {"11": "one", "12": "two", "13": "THREE"}, attribute_texts(r)
    assert puts(r, "12") == [], f"the deleted row's attribute is not written: {puts(r, '12')}"
    assert puts(r, "11") == ["one"] * 2 and puts(r, "13") == ["THREE"] * 2, puts(r)
    assert "extra" not in puts(r)
    no_references_left(r)


@case("Enter writes every row and sends REDRAW after each writing",
      PLAIN + OPEN + "ui key enter\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK]
    assert puts(r) == ["one", "two", "three"] * 2
    assert r["sendCommands"] == ["REDRAW", "REDRAW"]
    calls = [(c["object"], c["member"]) for c in r["calls"]]
    last_put = max(i for i, c in enumerate(calls) if c == ("AttributeReference", "TextString"))
    assert calls[last_put + 1:] == [("Application", "ActiveDocument"), ("Document", "SendCommand")], \
        "REDRAW goes to the active document after the rows"


@case("the close box writes every row once; the command sees Cancel",
      PLAIN + OPEN + "ui key f2\nui type \"ONE\"\nui key enter\nui close\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK]
    no_failed_steps(r)
    assert puts(r) == ["ONE", "two", "three"]
    assert r["sendCommands"] == ["REDRAW"]


@case("Cancel after an edit writes nothing",
      PLAIN + OPEN + "ui key f2\nui type \"ONE\"\nui key enter\nui click Cancel\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK]
    no_failed_steps(r)
    assert puts(r) == [] and r["sendCommands"] == []
    assert attribute_texts(r)["11"] == "one"


@case("grmode 1 opens left to right; two clicks of btnH come back; the settings are kept",
      PLAIN + OPEN + "ui read\nui click \"&Hebrew\"\nui read\nui click \"&English\"\nui read\nui key escape\n"
      "call late Edit\n",
      ini="[Gredit]\r\nleft=50\r\nTop=60\r\nwidth=600\r\nheight=450\r\nmode=1\r\n")
def _(r):
    no_failed_steps(r)
    first, toggled, back = reads(r)
    states = [(control(w, "Button", 101)["text"], bool(control(w, "SysListView32").get("layoutRtl")))
              for w in (first, toggled, back)]
    assert states == [("&Hebrew", False), ("&English", True), ("&Hebrew", False)], states
    assert rows(toggled) == rows(first) == [["1", "one"], ["2", "two"], ["3", "three"]]
    assert ini_values() == {"left": "50", "Top": "60", "width": "600", "height": "450", "mode": "1"}, ini_values()


@case("one click of btnH is written back to the settings at unload",
      PLAIN + OPEN + "ui click \"&English\"\nui key escape\ncall late Edit\n")
def _(r):
    no_failed_steps(r)
    assert ini_values() == {"left": "300", "Top": "300", "width": "400", "height": "300", "mode": "1"}, ini_values()


@case("a failing write ends the command with the host's code after the rows before it",
      PLAIN + "fail AttributeReference.TextString put 0x80041111 \"locked\" call 2\n" + OPEN +
      "ui key f2\nui type \"ONE\"\nui key enter\nui key enter\ncall late Edit\n")
def _(r):
    assert hrs(r) == ["0x80041111"], hrs(r)
    assert attribute_texts(r) == {"11": "ONE", "12": "two", "13": "three"}, attribute_texts(r)
    assert puts(r, "13") == [], "the rows after the failure are not written"
    assert r["sendCommands"] == []
    no_references_left(r)


@case("an attribute that cannot be read is left out and the others load",
      PLAIN + "fail AttributeReference.TextString get 0x80040001 \"unreadable\" call 2\n" + OPEN +
      "ui read\nui key enter\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK]
    [w] = reads(r)
    assert rows(w) == [["1", "one"], ["3", "three"]], rows(w)
    assert puts(r, "12") == []
    assert puts(r) == ["one", "three"] * 2


@case("a block reference without attributes: the warning box and no window",
      STYLES + "block 20 EMPTY\npick 20\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK]
    assert [(m["caption"], m["text"]) for m in r["messages"]] == [("Warning", "Block without Attributes.")]
    assert len(r["messages"][0]["buttons"]) == 1
    assert r["windows"] == [], "no window is shown"
    assert not [c for c in r["calls"] if c["member"] == "GetAttributes"]
    no_references_left(r)


# The forms in which a host hands a block's attributes over (the array's
# element type and lower bound), each closed with OK and with Cancel.
ARRAY_FORMS = [("variant", 0), ("dispatch", 0), ("unknown", 0), ("variant", 1), ("dispatch", -2)]
# Each (form, closed with) on a block of its own, attributes BLOCKa and BLOCKb.
FORM_BLOCKS = {f"{n}{closed[0]}": (form, lower, closed)
               for n, (form, lower) in enumerate(ARRAY_FORMS) for closed in ("OK", "Cancel")}
GRID_STEPS = {"OK": "ui key enter\n", "Cancel": "ui click Cancel\n"}


def array_form_script():
    drawing = "".join(f'attribute-array {form} {lower}\nblock {b} DOOR {b}a:Dos:A:"one" {b}b:Dos:B:"two"\n'
                      for b, (form, lower, _) in FORM_BLOCKS.items())
    commands = "".join(f"pick {b}\nui window \"VORN*\"\nui read\n{GRID_STEPS[closed]}call late Edit\n"
                       for b, (_, _, closed) in FORM_BLOCKS.items())
    return STYLES + drawing + commands


@case("attributes handed over as variants, objects or unknowns, from any lower bound: read, and released",
      array_form_script())
def _(r):
    assert hrs(r) == [S_OK] * len(FORM_BLOCKS), hrs(r)
    no_failed_steps(r)
    shown = [rows(w) for w in reads(r)]
    assert shown == [[["1", "one"], ["2", "two"]]] * len(FORM_BLOCKS), shown
    for b, (form, lower, closed) in FORM_BLOCKS.items():
        written = [puts(r, b + "a"), puts(r, b + "b")]
        expected = [["one"] * 2, ["two"] * 2] if closed == "OK" else [[], []]
        assert written == expected, f"{form} from {lower}, {closed}: written {written}"
    held = sorted({FORM_BLOCKS[x["id"][:-1]] for x in r["references"]
                   if x["outstanding"] != 0 and x["object"] == "AttributeReference"})
    assert not held, f"attribute references held after the command, by form: {held}"
    no_references_left(r)


def save_shot():
    bmp = SHOT + ".bmp"
    if os.path.exists(bmp) and shutil.which("convert"):
        subprocess.run(["convert", bmp, SHOT], check=True)
        os.unlink(bmp)


def remove_settings():
    if os.path.exists(INI):
        os.unlink(INI)


if __name__ == "__main__":
    status = CASES.run(after=remove_settings)
    save_shot()
    sys.exit(status)
