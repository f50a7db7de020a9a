#!/usr/bin/env python3
"""The server end to end under Wine: the test host plays the CAD program,
loads vorn2020.dll by its program identifier and calls its commands; each
case checks the drawing, the host calls, the messages, the result codes and
the host references that the test host reports."""
import json
import os
import subprocess
import sys
import tempfile

ROOT, PREFIX, ARCH, TESTHOST, SERVER = sys.argv[1:6]
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")

DRAWING = r'''
style Standard txt.shx 0 2.5
style Heb "C:\Fonts\hebsimp.shx" 2 3
text 1A Heb "\u2122\u008C\u2026\u008D"
mtext 2B Heb 0,0,0 100 "abc\Pdef"
entity 5F AcDbLine
entity 6A AcDbRotatedDimension
entity 7B AcDbAttributeDefinition
'''

S_OK, E_UNEXPECTED = "0x00000000", "0x8000FFFF"
CONNECTION_MESSAGE = "Can't get Gstar oleobj, ver =20"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(*args):
    return subprocess.run([WINE_RUN, PREFIX, ARCH, *args], capture_output=True, text=True, timeout=120)


def run_host(script):
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False, encoding="utf-8") as f:
        f.write(script)
    try:
        out = wine(TESTHOST, windows_path(f.name))
    finally:
        os.unlink(f.name)
    if out.returncode != 0:
        raise AssertionError(f"testhost exited {out.returncode}: {out.stderr}{out.stdout[-2000:]}")
    return json.loads(out.stdout)


def prompts_shown(report):
    return [c["args"][0] for c in report["calls"] if c["object"] == "Utility" and c["member"] == "Prompt"]


def outcome(command):
    """(code, source, description) of a command: a late-bound call reports a
    failure as an exception whose information carries them."""
    info = command.get("excepinfo")
    if command["hr"] == "0x80020009" and info:
        return info["scode"], info["source"], info["description"]
    return command["hr"], command["errorSource"], command["errorDescription"]


def hrs(report):
    return [outcome(c)[0] for c in report["commands"]]


def no_references_left(report):
    left = [r for r in report["references"] if r["outstanding"] != 0]
    assert not left, f"references left: {left}"


def called(report, obj, member):
    return [c for c in report["calls"] if c["object"] == obj and c["member"] == member]


def text_of(report, handle):
    return next(e for e in report["drawing"]["entities"] if e["handle"] == handle).get("textString")


# (name, script, check)
CASES = []


def case(name, script):
    def register(check):
        CASES.append((name, script, check))
        return check
    return register


@case("names without regard to case, dispatch identifiers and the interface table",
      "rot Gstarcad.Application\n" + DRAWING +
      "pick 5F\ncall late edit\npick 5F\ncall late EDIT\npick 5F\ncall late Edit\n"
      "pick 5F\ncall early Edit\ncall dispid 201 \"1A\"\ncall late Mtext\n")
def _(r):
    assert hrs(r) == [S_OK] * 6, hrs(r)
    assert prompts_shown(r) == ["Entity is not Annotation"] * 4
    assert [c["args"] for c in called(r, "Document", "HandleToObject")] == [["1A"]], "dispid 201 reaches Newtext"
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


@case("a single-line text is read, not written, while its editor is not there",
      "rot Gstarcad.Application\n" + DRAWING + "pick 1A\ncall late Edit\n")
def _(r):
    assert hrs(r) == [S_OK]
    assert called(r, "Text", "TextString"), "the stored string is read"
    assert not [c for c in r["calls"] if c["member"] == "TextString" and c["access"] == "put"]
    assert text_of(r, "1A") == "\u2122\u008C\u2026\u008D"
    assert [c["args"] for c in called(r, "TextStyles", "Item")] == [["Heb"]]
    no_references_left(r)


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


def main():
    registered = wine("regsvr32", "/s", windows_path(SERVER))
    if registered.returncode != 0:
        print(f"regsvr32 failed: {registered.returncode}")
        return 1
    passed = failed = 0
    try:
        for name, script, check in CASES:
            try:
                check(run_host(script))
                passed += 1
                print(f"ok     {name}")
            except AssertionError as e:
                failed += 1
                print(f"FAILED {name}: {e}")
    finally:
        wine("regsvr32", "/s", "/u", windows_path(SERVER))
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
