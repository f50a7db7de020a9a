#!/usr/bin/env python3
"""The server end to end under Wine: the test host plays the CAD program,
loads vorn2020.dll by its program identifier and calls its commands; each
case checks the drawing, the host calls, the messages, the result codes and
the host references that the test host reports."""
import os
import sys

import e2e_host as e2e
from e2e_host import (S_OK, called, config_folder, control_text, failed_steps, hrs, no_references_left,
                      outcome, read_windows)

PREFIX = e2e.PREFIX
# Pictures that the tests take, kept beside the prefix in the build folder.
SHOTS = os.path.join(e2e.OUTDIR, "e2e-shots")
SHOT = os.path.join(SHOTS, "line_editor.bmp")

DRAWING = r'''
style Standard txt.shx 0 2.5
style Heb "C:\Fonts\hebsimp.shx" 2 3
text 1A Heb "\u2122\u008C\u2026\u008D"
mtext 2B Heb 0,0,0 100 "abc\Pdef"
entity 5F AcDbLine
entity 6A AcDbRotatedDimension
entity 7B AcDbAttributeDefinition
'''

E_UNEXPECTED = "0x8000FFFF"
CONNECTION_MESSAGE = "Can't get Gstar oleobj, ver =20"


def clear_config():
    folder = config_folder()
    if os.path.isdir(folder):
        for name in os.listdir(folder):
            os.unlink(os.path.join(folder, name))


def run_host(script):
    os.makedirs(SHOTS, exist_ok=True)
    return e2e.run_host(script.replace("@SHOT@", e2e.script_path(SHOT)))


def prompts_shown(report):
    return [c["args"][0] for c in report["calls"] if c["object"] == "Utility" and c["member"] == "Prompt"]


def text_of(report, handle):
    return next(e for e in report["drawing"]["entities"] if e["handle"] == handle).get("textString")


CASES = e2e.Cases()


def case(name, script, files=None):
    """A case: the script run by the test host with `files` in the
    configuration folder (and nothing else there), its report checked."""
    def register(check):
        def run():
            clear_config()
            write_config(files or {})
            check(run_host(script))
        CASES.add(name, run)
        return check
    return register


def write_config(files):
    folder = config_folder()
    os.makedirs(folder, exist_ok=True)
    for name, text in files.items():
        with open(os.path.join(folder, name), "w", encoding="cp1255", newline="\r\n") as f:
            f.write(text)


@case("names without regard to case, dispatch identifiers and the interface table",
      "rot Gstarcad.Application\n" + DRAWING +
      "pick 5F\ncall late edit\npick 5F\ncall late EDIT\npick 5F\ncall late Edit\n"
      "pick 5F\ncall early Edit\ncall dispid 201 \"5F\"\ncall dispid 202\n")
def _(r):
    assert hrs(r)[:4] == [S_OK] * 4 and hrs(r)[5] == S_OK, hrs(r)
    assert outcome(r["commands"][4])[0] == E_UNEXPECTED, "a line is no single-line text"
    assert prompts_shown(r) == ["Entity is not Annotation"] * 4
    assert [c["args"] for c in called(r, "Document", "HandleToObject")] == [["5F"]], "dispid 201 reaches Newtext"
    assert len(called(r, "Utility", "GetEntity")) == 5, "dispid 202 reaches Edit"
    no_references_left(r)


@case("the pick prompt, nothing picked, a cancelled pick",
      "rot Gstarcad.Application\n" + DRAWING + "pick none\ncall late Edit\npick cancel\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK, S_OK]
    picks = called(r, "Utility", "GetEntity")
    assert [p["args"][-1] for p in picks] == ["Select text / Block with attributes:"] * 2
    assert prompts_shown(r) == ["Nothing selected, repeat the command "], "a cancelled pick shows nothing"
    assert r["messages"] == []
    no_references_left(r)


@case("entities that are no annotation",
      "rot Gstarcad.Application\n" + DRAWING +
      "pick 5F\ncall late Edit\npick 6A\ncall late Edit\npick 7B\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK] * 3
    assert prompts_shown(r) == ["Entity is not Annotation"] * 3


@case("an entity whose class name cannot be read",
      "rot Gstarcad.Application\n" + DRAWING + "fail Entity.EntityName get 0x80004005 \"gone\"\npick 5F\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK]
    assert prompts_shown(r) == []


@case("only the versioned identifier is registered",
      "rot Gstarcad.Application.20\n" + DRAWING + "pick 5F\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK]
    assert r["messages"] == []
    assert prompts_shown(r) == ["Entity is not Annotation"]


@case("no host running: the message once per call, and success",
      "rot none\n" + DRAWING + "call late Edit\ncall late Newtext \"1A\"\ncall late Mtext\n")
def _(r):
    assert hrs(r) == [S_OK] * 3
    assert [m["text"] for m in r["messages"]] == [CONNECTION_MESSAGE] * 3
    assert r["calls"] == []


@case("a failing host call ends the command with the host's code and text",
      "rot Gstarcad.Application\n" + DRAWING + "fail Document.Utility get 0x80041234 \"disk full\"\ncall late Edit\n"
      "call early Edit\n")
def _(r):
    assert [c["call"].split()[0] for c in r["commands"]] == ["late", "early"]
    for c in r["commands"]:
        assert outcome(c) == ("0x80041234", "vorn2017.Keltrav", "disk full"), c
    no_references_left(r)


@case("the active document cannot be read",
      "rot Gstarcad.Application\n" + DRAWING + "fail Application.ActiveDocument get 0x80045678 \"no drawing\"\n"
      "call late Edit\n")
def _(r):
    assert hrs(r) == ["0x80045678"]
    assert outcome(r["commands"][0])[2] == "no drawing"
    no_references_left(r)


@case("Newtext with a multiline text, with nothing, with an empty handle",
      "rot Gstarcad.Application\n" + DRAWING +
      "call late Newtext \"2B\"\ncall late Newtext \"99\"\ncall late Newtext \"\"\n")
def _(r):
    first, second, third = [outcome(c) for c in r["commands"]]
    assert first[:2] == (E_UNEXPECTED, "vorn2017.Keltrav"), first
    assert second[0] not in (S_OK, E_UNEXPECTED), f"the host's own code: {second}"
    assert third[0] != S_OK
    assert r["messages"] == [] and r["windows"] == []
    no_references_left(r)


@case("an object without the interface asked for",
      "rot Gstarcad.Application\n" + DRAWING + "refuse Entity IGcadEntity\npick 5F\ncall late Edit\n")
def _(r):
    assert hrs(r) == [E_UNEXPECTED]
    assert outcome(r["commands"][0])[1] == "vorn2017.Keltrav"
    no_references_left(r)


@case("two objects share one host session",
      "rot Gstarcad.Application\n" + DRAWING + "pick 5F\ncall late Edit\nserver 2\npick none\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK, S_OK]
    assert [c["server"] for c in r["commands"]] == [1, 2]
    no_references_left(r)

# The line text editor. Its controls: Edit1 101, edt1 102, btn1 103, the
# tool bar 100 (btnLang 0, tb1 to tb4 at 2 to 5), the status bar 104.
LINE = r"""
style Standard txt.shx 0 2.5
style Heb "C:\Fonts\hebsimp.shx" 0 3
style Win dravik1.shx 0 3
text 1A Heb "\u008D\u2026\u008C\u2122"
text 1B Win "\u05DD\u05D5\u05DC\u05E9"
text 1C Win ""
"""
SHALOM = "\u05e9\u05dc\u05d5\u05dd"
SHALOM_STORED_WINDOWS = "\u05dd\u05d5\u05dc\u05e9"  # a Windows font keeps display order
LINE_CAPTION_1B = "Dravik Line editor, Style: Win; Font:dravik1.shx"


def puts(report, handle):
    return [c["args"][0] for c in report["calls"]
            if c["member"] == "TextString" and c["access"] == "put" and c.get("id") == handle and "hr" not in c]


def updates(report, handle):
    return [c for c in report["calls"] if c["member"] == "Update" and c.get("id") == handle]


@case("Edit on a text: the window shows it, typing writes live, Cancel restores it",
      "rot Gstarcad.Application\n" + LINE + "pick 1B\n"
      "ui window \"Dravik Line editor*\"\nui read\nui type \" ab\"\nui read\nui click Cancel\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK], hrs(r)
    assert not failed_steps(r), failed_steps(r)
    first, second = read_windows(r)
    assert first["caption"] == LINE_CAPTION_1B, first["caption"]
    assert control_text(first, 101) == SHALOM
    assert control_text(first, 102) == "Windows"
    assert control_text(first, 104) == "Windows Screen Editor"
    assert control_text(second, 101) == SHALOM + " ab"
    written = puts(r, "1B")
    assert len(written) == 4, written  # three typed characters and the Cancel
    assert len(updates(r, "1B")) == 3
    assert written[-1] == SHALOM_STORED_WINDOWS, "Cancel writes the stored string back as it was"
    assert text_of(r, "1B") == SHALOM_STORED_WINDOWS
    no_references_left(r)


@case("Edit, typing, Enter: the last live write is the result",
      "rot Gstarcad.Application\n" + LINE + "pick 1B\n"
      "ui window \"Dravik*\"\nui key end\nui type \"x\"\nui key enter\ncall late Edit\n"
      "pick 1B\nui window \"Dravik*\"\nui read\nui key escape\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK, S_OK], hrs(r)
    assert not failed_steps(r), failed_steps(r)
    written = puts(r, "1B")
    assert len(written) == 2, written  # one live write, then the second Edit's Cancel
    assert written[0] == written[1]
    assert control_text(read_windows(r)[0], 101) in (SHALOM + "x", "x" + SHALOM), "the text reads back as typed"
    no_references_left(r)


@case("Edit on a text stored empty: what is typed reaches the drawing",
      "rot Gstarcad.Application\n" + LINE + "pick 1C\n"
      "ui window \"Dravik*\"\nui type \"" + SHALOM + "\"\nui key enter\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK], hrs(r)
    assert puts(r, "1C")[-1] == SHALOM_STORED_WINDOWS
    assert text_of(r, "1C") == SHALOM_STORED_WINDOWS


@case("Newtext: an empty box, OK confirms; Cancel leaves the text empty",
      "rot Gstarcad.Application\n" + LINE +
      "ui window \"Dravik*\"\nui read\nui type \"" + SHALOM + "\"\nui click OK\ncall late Newtext \"1B\"\n"
      "ui window \"Dravik*\"\nui type \"q\"\nui key escape\ncall late Newtext \"1A\"\n")
def _(r):
    assert hrs(r) == [S_OK, S_OK], hrs(r)
    assert control_text(read_windows(r)[0], 101) == ""
    e2e.uses_common_controls_6(read_windows(r)[0])
    assert text_of(r, "1B") == SHALOM_STORED_WINDOWS
    assert len(called(r, "Document", "NewTextConfirmed")) == 1
    assert puts(r, "1A")[-1] == "" and text_of(r, "1A") == ""
    no_references_left(r)


@case("a font type step shows the text under the new type and is recorded after Cancel",
      "rot Gstarcad.Application\n" + LINE + "pick 1A\n"
      "ui window \"Dravik*\"\nui read\nui spin 103 up\nui read\nui key escape\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK], hrs(r)
    before, after = read_windows(r)
    assert control_text(before, 102) == "Dos Hebrew" and control_text(before, 101) == SHALOM
    assert control_text(after, 102) == "True Type", control_text(after, 102)
    assert control_text(after, 101) != SHALOM
    assert len(puts(r, "1A")) == 1, "the step writes nothing; Cancel writes the stored string"
    fonts = open(os.path.join(config_folder(), "HebFonts.txt"), encoding="latin-1").read()
    assert "HEBSIMP" in fonts.upper(), fonts


@case("a failing live write is shown and the window stays open",
      "rot Gstarcad.Application\n" + LINE + "fail Text.TextString put 0x80041111 \"locked layer\" call 1\n"
      "pick 1B\nui window \"Dravik*\"\nui type \"a\"\nui wait 1500\nui type \"b\"\nui read\nui key enter\n"
      "call late Edit\n")
def _(r):
    assert hrs(r) == [S_OK], hrs(r)
    assert [(m["caption"], m["text"]) for m in r["messages"]] == [("vorn2020", "locked layer")], r["messages"]
    editor = read_windows(r)[0]
    assert editor["class"] == "TfrmLtedit", "the editor is still open"
    assert control_text(editor, 101) == SHALOM + "ab", "typing goes on where it was"
    written = puts(r, "1B")
    assert len(written) == 1 and "a" in written[0] and "b" in written[0], written  # the next change writes it all
    no_references_left(r)


# Every font type, drawn forwards and backwards: what is typed reaches the
# drawing and reads back the same, OK keeps the last live write, Cancel puts
# back exactly what was stored.
FONT_MAP = {"HebFonts.txt": "[Fonts]\nENGDOS=DosEnglish\nENGREV=DosEnglishR\n"}
FONT_TYPES = [  # (font file, type name shown, typed text)
    (r"C:\Fonts\hebsimp.shx", "Dos Hebrew", SHALOM + " abc 12"),
    ("engdos.shx", "Dos English", SHALOM + " 12"),
    ("engrev.shx", "Dos English Reversed", SHALOM + " 12"),
    ("dravik1.shx", "Windows", SHALOM + " abc 12"),
    ("arial.ttf", "True Type", SHALOM + " abc 12"),
]
STORED_BY_TYPE = {}


def font_type_case(font, shown, typed, flag):
    script = ("rot Gstarcad.Application\nstyle S \"" + font.replace("\\", "\\\\") + "\" " + str(flag) + " 3\n"
              "text 2A S \"\"\n"
              "pick 2A\nui window \"Dravik*\"\nui type \"" + typed + "\"\nui key enter\ncall late Edit\n"
              "pick 2A\nui window \"Dravik*\"\nui read\nui key end\nui type \"q\"\nui key escape\ncall late Edit\n")

    @case(f"font type {shown}, generation flag {flag}: typed, read back, cancelled", script, FONT_MAP)
    def _(r):
        assert hrs(r) == [S_OK, S_OK], hrs(r)
        assert not failed_steps(r), failed_steps(r)
        written = puts(r, "2A")
        assert len(written) == len(typed) + 2, written  # each character, then "q", then the Cancel
        stored = written[len(typed) - 1]
        window = read_windows(r)[0]
        assert window["caption"].endswith("; Font:" + font.split("\\")[-1]), window["caption"]
        assert control_text(window, 102) == shown
        assert control_text(window, 101) == typed, "what was typed reads back from the drawing"
        assert written[-1] == stored and text_of(r, "2A") == stored, "Cancel restores the stored string exactly"
        STORED_BY_TYPE[(font, flag)] = stored
        if (font, 0) in STORED_BY_TYPE and flag == 2:
            assert STORED_BY_TYPE[(font, 0)] != stored, "backwards styles store another form"


for _font, _shown, _typed in FONT_TYPES:
    for _flag in (0, 2):
        font_type_case(_font, _shown, _typed, _flag)


@case("a full cycle of the font type records nothing",
      "rot Gstarcad.Application\n" + LINE + "pick 1A\n"
      "ui window \"Dravik*\"\nui spin 103 down\nui spin 103 down\nui spin 103 down\nui spin 103 down\n"
      "ui spin 103 down\nui read\nui key escape\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK], hrs(r)
    assert control_text(read_windows(r)[0], 102) == "Dos Hebrew"
    fonts_file = os.path.join(config_folder(), "HebFonts.txt")
    assert not os.path.exists(fonts_file) or "HEBSIMP" not in open(fonts_file, encoding="latin-1").read().upper()


@case("a picture of the editor with Hebrew text",
      "rot Gstarcad.Application\n" + LINE + "pick 1A\n"
      "ui window \"Dravik*\"\nui key end\nui type \" \u05e2\u05d5\u05dc\u05dd 2026\"\nui shot \"@SHOT@\"\nui key enter\n"
      "call late Edit\n")
def _(r):
    assert hrs(r) == [S_OK], hrs(r)
    assert not failed_steps(r), failed_steps(r)
    assert os.path.getsize(SHOT) > 50000, "a picture of the whole window"


if __name__ == "__main__":
    sys.exit(CASES.run())
