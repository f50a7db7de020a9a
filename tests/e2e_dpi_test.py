"""The three editors at 96, 144 and 192 DPI, under Wine.

The test host declares itself aware of each monitor's DPI, as CAD programs
do, so the system enlarges none of the editors' windows: they must scale
themselves. The prefix's LogPixels sets the DPI for each run and is put back
afterwards. For each editor and DPI: the window's client area and every
control's font height scale within 5% of the DPI ratio against 96 DPI; no
caption is wider than its title bar's room and no label or button text wider
than its control. A window told that it moved to a monitor of 192 DPI
(WM_DPICHANGED) comes out as the one opened there. The pictures are kept as
PNG files in OUTDIR.

Usage: e2e_dpi_test.py ROOT PREFIX ARCH TESTHOST SERVER [OUTDIR]"""
import json
import os
import shutil
import subprocess
import sys

import e2e_host as e2e

DESIGN_DPI = 96
DPIS = (96, 144, 192)
TOLERANCE = 0.05
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"

DRAWING = r'''
rot Gstarcad.Application
style Standard txt.shx 0 2.5
style Heb hebsimp.shx 0 3
style Win dravik1.shx 0 3
text 1A Heb "\u008D\u2026\u008C\u2122"
mtext 2B Win 0,0,0 100 "\u05DD\u05D5\u05DC\u05E9\Pabc"
block 10 DOOR-FRAME-LEFT-GLASS-PANEL 11:Heb:NO:"\u008D\u2026\u008C\u2122" 12:Win:TAG:"\u05DD\u05D5\u05DC\u05E9"
'''

# name, entity, caption pattern, the step that closes the window
EDITORS = (
    ("line_editor", "1A", "Dravik*", "ui key escape"),
    # a block name that makes the title wider than the window as designed
    ("attribute_editor", "10", "VORN*", "ui click Cancel"),
    ("multiline_editor", "2B", "Quillet Multiline Editor", "ui click Cancel"),
)


def shot_path(name, dpi):
    return os.path.join(e2e.OUTDIR, f"dpi_{name}_{dpi}.bmp")


def script(entity, caption, close, steps):
    return (DRAWING + f"pick {entity}\nui window \"{caption}\"\nui wait 300\n" + steps + close +
            "\ncall late Edit\n")


def set_dpi(dpi):
    done = e2e.wine("reg", "add", DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
    if done.returncode != 0:
        raise AssertionError(f"LogPixels not set: {done.stderr}")


def reset_dpi():
    e2e.wine("reg", "delete", DESKTOP_KEY, "/v", "LogPixels", "/f")


def read_each(dpi, steps_of):
    """Each editor opened at that DPI with its steps (steps_of(name)), which
    read its window once: by name, the window as read."""
    set_dpi(dpi)
    scripts = [script(entity, caption, close, steps_of(name)) for name, entity, caption, close in EDITORS]
    windows = {}
    for (name, *_), report in zip(EDITORS, e2e.run_hosts(scripts)):
        assert e2e.hrs(report) == [e2e.S_OK], (name, e2e.hrs(report))
        assert not e2e.failed_steps(report), (name, e2e.failed_steps(report))
        read = e2e.read_windows(report)
        assert len(read) == 1, (name, len(read))
        windows[name] = read[0]
    return windows


def opened_at(dpi):
    """Each editor opened at that DPI: its window as read, its picture taken."""
    windows = read_each(dpi, lambda name: f"ui read\nui shot \"{e2e.script_path(shot_path(name, dpi))}\"\n")
    for name, window in windows.items():
        assert window["dpi"] == dpi, f"{name} shown at {window['dpi']} DPI, not {dpi}: LogPixels did not take"
        save_picture(shot_path(name, dpi))
    return windows


def moved_to(dpi):
    """Each editor opened at 96 DPI and told that it moved to a monitor of that DPI."""
    return read_each(DESIGN_DPI, lambda name: f"ui dpi {dpi}\nui wait 300\nui read\n")


def save_picture(bmp):
    if os.path.exists(bmp) and shutil.which("convert"):
        subprocess.run(["convert", bmp, "-strip", bmp[:-4] + ".png"], check=True)
        os.unlink(bmp)


def within(value, design, ratio):
    return abs(value - design * ratio) <= TOLERANCE * design * ratio


def scales(name, window, design, ratio):
    """The window's client area and its controls' fonts are the design's times ratio."""
    faults = []
    for axis, (got, base) in enumerate(zip(window["client"], design["client"])):
        if not within(got, base, ratio):
            faults.append(f"client {'wh'[axis]} {got}, {base} at 96 DPI")
    fonts = {(c["class"], c["id"]): c.get("fontHeight", 0) for c in design["controls"]}
    for c in window["controls"]:
        base = fonts.get((c["class"], c["id"]), 0)
        if base and not within(c.get("fontHeight", 0), base, ratio):
            faults.append(f"{c['class']} {c['id']} font {c.get('fontHeight')} px, {base} px at 96 DPI")
    assert not faults, f"{name} at {window['dpi']} DPI: " + "; ".join(faults)


def nothing_cut(name, window):
    assert window["captionWidth"] <= window["captionRoom"], (
        f"{name} at {window['dpi']} DPI: caption {window['caption']!r} needs {window['captionWidth']} px, "
        f"the title bar has {window['captionRoom']}")
    for c in window["controls"]:
        if c.get("textWidth", 0) > c["size"][0]:
            raise AssertionError(f"{name} at {window['dpi']} DPI: {c['class']} {c['text']!r} needs "
                                 f"{c['textWidth']} px, has {c['size'][0]}")


def check():
    try:
        at = {dpi: opened_at(dpi) for dpi in DPIS}
        moved = moved_to(DPIS[-1])
    finally:
        reset_dpi()
    # What was measured, for a failure's reader.
    with open(os.path.join(e2e.OUTDIR, "dpi_windows.json"), "w", encoding="utf-8") as f:
        json.dump({"opened": at, "moved": moved}, f, ensure_ascii=False, indent=1)
    for name, *_ in EDITORS:
        design = at[DESIGN_DPI][name]
        for dpi in DPIS:
            window = at[dpi][name]
            nothing_cut(name, window)
            scales(name, window, design, dpi / DESIGN_DPI)
        nothing_cut(name + " (moved)", moved[name])
        scales(name + " (moved)", moved[name], design, DPIS[-1] / DESIGN_DPI)
        e2e.uses_common_controls_6(at[DPIS[-1]][name])


CASES = e2e.Cases()
CASES.add("the editors scale with the DPI and nothing is cut", check)

if __name__ == "__main__":
    sys.exit(CASES.run())
