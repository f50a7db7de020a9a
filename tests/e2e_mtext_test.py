#!/usr/bin/env python3
"""The multiline paths end to end under Wine: Edit on a multiline text and
the Mtext command, with the test host playing the CAD program and driving
the multiline editor's window. Each case checks what reached the drawing,
the command strings, the prompts and the result codes.

Usage: e2e_mtext_test.py ROOT PREFIX ARCH TESTHOST SERVER [SHOT_FOLDER]"""
import os
import sys

import e2e_host as e2e
from e2e_host import (S_OK, control_text, failed_steps, hrs, no_references_left, read_windows, script_path,
                      windows_path)

SHOTS = e2e.OUTDIR
CAPTION = "Quillet Multiline Editor"
SHALOM = "\u05e9\u05dc\u05d5\u05dd"
# A Windows-coded font keeps the letters and stores them in display order.
SHALOM_STORED = "\u05dd\u05d5\u05dc\u05e9"
MEMO, STATUS, TOOLBAR = 101, 102, 100
CRLF = "\\u000D\\u000A"  # a line break inside a quoted script token
# Tool bar indexes, separators counted.
TOOL_HEBREW, TOOL_ENGLISH, TOOL_RIGHT, TOOL_LEFT, TOOL_DEGREE, TOOL_PLUSMINUS, TOOL_DIAMETER = 0, 1, 9, 10, 15, 16, 17

DRAWING = r"""
style Standard txt.shx 0 2.5
style Win dravik1.shx 0 4.25
style Back dravik1.shx 2 1
active-style Win
mtext 2B Win 0,0,0 100 "{\fArial|b0;\u05DD\u05D5\u05DC\u05E9\Pabc\P}"
mtext 2C Win 0,0,0 100 "one\Ptwo"
mtext 2D Gone 0,0,0 100 "x\P"
"""


def run_host(script):
    return e2e.run_host("rot Gstarcad.Application\n" + DRAWING + script)


def outcome(command):
    """(code, description) of a command."""
    code, _, description = e2e.outcome(command)
    return code, description


def entity(report, handle):
    return next(e for e in report["drawing"]["entities"] if e["handle"] == handle)


def created(report):
    return [e for e in report["drawing"]["entities"] if e.get("created")]


def text_puts(report, handle):
    return [c["args"][0] for c in report["calls"]
            if c["member"] == "TextString" and c["access"] == "put" and c.get("id") == handle]


def sound_run(report, commands=1):
    assert hrs(report) == [S_OK] * commands, hrs(report)
    assert not failed_steps(report), failed_steps(report)
    no_references_left(report)


CASES = e2e.Cases()


def case(name, script):
    def register(check):
        CASES.add(name, lambda: check(run_host(script)))
        return check
    return register


@case("Edit on a multiline text: the group goes, each paragraph is a line, OK writes each line and redraws",
      "pick 2B\nui window \"" + CAPTION + "\"\nui read\n"
      "ui settext 101 \"abc" + CRLF + SHALOM + "\"\nui select 101 3 3\nui toolbar 100 15\nui read\n"
      "ui click OK\ncall late Edit\n")
def _(r):
    sound_run(r)
    before, after = read_windows(r)
    assert before["caption"] == CAPTION, before["caption"]
    assert before["class"] == "Tfrmmtext"
    assert control_text(before, MEMO) == SHALOM + "\r\nabc", repr(control_text(before, MEMO))
    assert control_text(before, STATUS) == "Win", "the first panel names the style"
    assert control_text(after, MEMO) == "abc%%d\r\n" + SHALOM, repr(control_text(after, MEMO))
    puts = text_puts(r, "2B")
    assert len(puts) == 1, puts
    assert puts[0].endswith("\\P" + SHALOM_STORED + "\\P") and puts[0].count("\\P") == 2, repr(puts[0])
    assert "%%d" in puts[0] or "\u00b0" in puts[0], repr(puts[0])
    assert r["sendCommands"] == ["REDRAW"], r["sendCommands"]
    assert not created(r)


@case("Edit then Cancel, the close box or Escape first: nothing is written, nothing sent",
      "pick 2B\nui window \"" + CAPTION + "\"\nui settext 101 \"changed\"\nui key escape\nui read\n"
      "ui click Cancel\ncall late Edit\n"
      "pick 2C\nui window \"" + CAPTION + "\"\nui settext 101 \"changed\"\nui close\ncall late Edit\n")
def _(r):
    sound_run(r, 2)
    (after_escape,) = read_windows(r)
    assert control_text(after_escape, MEMO) == "changed", "Escape does not close the window"
    assert text_puts(r, "2B") == [] and text_puts(r, "2C") == []
    assert entity(r, "2B")["textString"].startswith("{\\fArial")
    assert r["sendCommands"] == []


@case("a final paragraph without a mark reaches the memo and stays in the drawing on OK",
      "pick 2C\nui window \"" + CAPTION + "\"\nui read\nui click OK\ncall late Edit\n")
def _(r):
    sound_run(r)
    (window,) = read_windows(r)
    assert control_text(window, MEMO) == "one\r\ntwo", repr(control_text(window, MEMO))
    e2e.uses_common_controls_6(window)
    assert entity(r, "2C")["textString"] == "one\\Ptwo\\P"


@case("Enter in the memo starts a new line; typed text is stored line by line",
      "pick 2C\nui window \"" + CAPTION + "\"\nui settext 101 \"\"\nui focus 101\n"
      "ui type \"ab\"\nui key enter\nui type \"cd\"\nui read\nui click OK\ncall late Edit\n")
def _(r):
    sound_run(r)
    (window,) = read_windows(r)
    assert control_text(window, MEMO) == "ab\r\ncd", repr(control_text(window, MEMO))
    assert entity(r, "2C")["textString"] == "ab\\Pcd\\P"


@case("clipboard buttons and shortcuts, undo and the left-to-right display change only the memo",
      "pick 2C\nui window \"" + CAPTION + "\"\nui toolbar 100 7\nui read\nui settext 101 \"abcdef\"\n"
      "ui select 101 0 3\nui wait 300\nui toolbar 100 4\nui read\n"
      "ui select 101 3 3\nui wait 300\nui toolbar 100 5\nui read\n"
      "ui toolbar 100 7\nui read\n"
      "ui select 101 0 1\nui key ctrl+c\nui select 101 0 0\nui key ctrl+v\nui read\n"
      "ui toolbar 100 10\nui click OK\ncall late Edit\n")
def _(r):
    sound_run(r)
    memos = [control_text(w, MEMO) for w in read_windows(r)]
    assert memos == ["one\r\ntwo", "def", "defabc", "def", "ddef"], memos  # Undo cannot take back the load
    assert entity(r, "2C")["textString"] == "ddef\\P", entity(r, "2C")["textString"]


@case("OK with an empty memo changes nothing and sends nothing",
      "pick 2C\nui window \"" + CAPTION + "\"\nui settext 101 \"\"\nui click OK\ncall late Edit\n"
      "point 1,1\npoint 0,0\ndistance 1\nui window \"" + CAPTION + "\"\nui click OK\ncall late Mtext\n")
def _(r):
    sound_run(r, 2)
    assert text_puts(r, "2C") == []
    assert not created(r)
    assert r["sendCommands"] == ['(princ "\\n") '], r["sendCommands"]


@case("a failing write on OK ends Edit with the host's code",
      "fail MText.TextString put 0x80041111 \"locked layer\"\n"
      "pick 2C\nui window \"" + CAPTION + "\"\nui click OK\ncall late Edit\n"
      "pick 2D\ncall late Edit\n")
def _(r):
    (code, text), (missing_style, _) = [outcome(c) for c in r["commands"]]
    assert code == "0x80041111" and "locked layer" in (text or ""), (code, text)
    assert missing_style not in (S_OK, None), "a style the drawing lacks fails the command"
    assert [w for w in read_windows(r)] == []
    assert r["sendCommands"] == []
    no_references_left(r)


@case("Mtext: three prompts, then the text is created at the first corner, width from X, height asked",
      "point 10,20,1.5\npoint 4,99\ndistance 2.5\n"
      "ui window \"" + CAPTION + "\"\nui read\nui settext 101 \"" + SHALOM + CRLF + "line 2\"\nui click OK\n"
      "call late Mtext\n")
def _(r):
    sound_run(r)
    (window,) = read_windows(r)
    assert control_text(window, MEMO) == ""
    assert control_text(window, STATUS) == "Win"
    prompts = r["prompts"]
    assert prompts == ["Top right corner for block of text:", "Opposite corner of block of text:",
                       "Heihgt each line of text:"], prompts
    corner = next(c for c in r["calls"] if c["member"] == "GetCorner")
    assert corner["args"][0] == [10, 20, 1.5], corner["args"]
    distance = next(c for c in r["calls"] if c["member"] == "GetDistance")
    assert distance["args"][0] == [4, 99, 0], distance["args"]
    (new,) = created(r)
    assert new["kind"] == "AcDbMText"
    assert new["insertionPoint"] == [10, 20, 1.5], new["insertionPoint"]
    assert new["width"] == 6, new["width"]
    assert new["height"] == 2.5, "the answer, not the style's 4.25"
    assert new["attachmentPoint"] == 3
    assert new["styleName"] == "Win"
    assert new["textString"] == SHALOM_STORED + "\\Pline 2\\P", repr(new["textString"])
    assert r["sendCommands"] == ['(princ "\\n") ', "REDRAW "], r["sendCommands"]


@case("Mtext: equal X gives width 0; the active style's backwards flag reaches the conversion",
      "active-style Back\npoint 5,1\npoint 5,7\ndistance 0.75\n"
      "ui window \"" + CAPTION + "\"\nui settext 101 \"abc\"\nui click OK\ncall late Mtext\n")
def _(r):
    sound_run(r)
    (new,) = created(r)
    assert new["width"] == 0 and new["height"] == 0.75 and new["styleName"] == "Back", new
    assert new["textString"] == "cba\\P", repr(new["textString"])


@case("Mtext cancelled at any prompt fails and shows no window; Cancel in the window creates nothing",
      "cancel\ncall late Mtext\n"
      "point 1,1\ncancel\ncall late Mtext\n"
      "point 1,1\npoint 2,2\ncancel\ncall late Mtext\n"
      "point 1,1\npoint 2,2\ndistance 1\nui window \"" + CAPTION + "\"\nui settext 101 \"x\"\nui click Cancel\n"
      "call late Mtext\n")
def _(r):
    codes = hrs(r)
    assert all(c != S_OK for c in codes[:3]) and codes[3] == S_OK, codes
    assert not [w for w in r["windows"] if w["event"] == "closed"], "no window shown for a cancelled prompt"
    assert not created(r)
    assert r["sendCommands"] == ['(princ "\\n") '], r["sendCommands"]
    no_references_left(r)


OPEN_DIALOG, SAVE_DIALOG = "\u05e4\u05ea\u05d9\u05d7\u05d4", "\u05e9\u05de\u05d9\u05e8\u05d4 \u05d1\u05e9\u05dd"
IMPORTED = os.path.join(SHOTS, "mtext_import.txt")
EXPORTED = os.path.join(SHOTS, "mtext_export.txt")
# UTF-16 big-endian with its mark, no break after the last line.
IMPORTED_BYTES = b"\xfe\xff" + (SHALOM + "\r\nxyz").encode("utf-16-be")


def choose_file(dialog, path):
    return ("ui window \"" + dialog + "\"\nui wait 300\nui type \"" + script_path(path) + "\"\nui key enter\n"
            "ui window \"" + CAPTION + "\"\n")


@case("import a UTF-16 file and export it again: same encoding, same bytes; the lines reach the drawing",
      "pick 2C\nui window \"" + CAPTION + "\"\nui toolbar 100 12\n" + choose_file(OPEN_DIALOG, IMPORTED) +
      "ui read\nui toolbar 100 13\n" + choose_file(SAVE_DIALOG, EXPORTED) + "ui click OK\ncall late Edit\n")
def _(r):
    sound_run(r)
    (window,) = read_windows(r)
    assert control_text(window, MEMO) == SHALOM + "\r\nxyz", repr(control_text(window, MEMO))
    with open(EXPORTED, "rb") as f:
        assert f.read() == IMPORTED_BYTES
    assert entity(r, "2C")["textString"] == SHALOM_STORED + "\\Pxyz\\P"


@case("a file that cannot be read is reported and the memo stays as it was",
      "pick 2C\nui window \"" + CAPTION + "\"\nui toolbar 100 12\n" +
      choose_file(OPEN_DIALOG, os.path.join(SHOTS, "no-such-file.txt")) + "ui read\nui click Cancel\ncall late Edit\n")
def _(r):
    sound_run(r)
    (message,) = r["messages"]
    assert message["caption"] == CAPTION and message["text"], message
    (window,) = read_windows(r)
    assert control_text(window, MEMO) == "one\r\ntwo"


SHOT = os.path.join(SHOTS, "mtext_editor.bmp")


@case("a picture of the open editor with Hebrew text",
      # A text copied first: Paste shows enabled whatever an earlier test left
      # on the clipboard; the caret then goes back where it opened.
      "pick 2B\nui window \"" + CAPTION + "\"\nui select 101 0 1\nui key ctrl+c\nui select 101 0 0\n"
      "ui wait 300\nui shot \"" + windows_path(SHOT).replace("\\", "\\\\") +
      "\"\nui click Cancel\ncall late Edit\n")
def _(r):
    sound_run(r)
    with open(SHOT, "rb") as f:
        header = f.read(26)
    assert header[:2] == b"BM", header[:2]
    width, height = int.from_bytes(header[18:22], "little"), int.from_bytes(header[22:26], "little", signed=True)
    assert width >= 603 and abs(height) >= 344, (width, height)


def prepare_files():
    with open(IMPORTED, "wb") as f:
        f.write(IMPORTED_BYTES)
    if os.path.exists(EXPORTED):
        os.remove(EXPORTED)


if __name__ == "__main__":
    sys.exit(CASES.run(before=prepare_files))
