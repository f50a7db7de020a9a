#!/usr/bin/python3
"""Makes samples/legacy-drawing.dxf: a small R2000 drawing whose Hebrew is in
the legacy forms that only vorn2020 reads - a title block with attributes in
DOS letter codes, room names in DOS codes and in Windows letter codes (one
style drawn backwards), a note as multiline text - beside English texts that
need no migration. The strings are the bytes the old fonts draw, as such
drawings hold them ($DWGCODEPAGE ANSI_1255). Needs python3-ezdxf.

    /usr/bin/python3 samples/make_legacy_drawing.py [OUT.dxf]"""
import io
import os
import sys

import ezdxf

HEBREW = "אבגדהוזחטיךכלםמןנסעףפץצקרשת"


def dos(display_order):
    """Hebrew letters as the DOS letter codes 128 to 154, the bytes of the
    old DOS Hebrew fonts; the text is given as the font draws it, left to
    right."""
    return "".join(chr(0x80 + HEBREW.index(c)) if c in HEBREW else c for c in display_order)


def backwards(display_order):
    return display_order[::-1]


def windows(display_order):
    """Hebrew letters as the Windows-1255 codes 224 to 250."""
    return "".join(chr(0xE0 + HEBREW.index(c)) if c in HEBREW else c for c in display_order)


def make(path):
    ezdxf.options.write_fixed_meta_data_for_testing = True
    doc = ezdxf.new("R2000")
    doc.encoding = "cp1255"
    doc.header["$INSUNITS"] = 4
    doc.styles.new("HEB_DOS", dxfattribs={"font": "hebsimp.shx", "bigfont": "hebbig.shx"})
    doc.styles.new("HEB_WIN", dxfattribs={"font": "dravik1.shx"})
    doc.styles.new("HEB_MIRROR", dxfattribs={"font": "hebsimp.shx", "generation_flags": 2})
    doc.styles.new("LATIN", dxfattribs={"font": "arial.ttf"})
    msp = doc.modelspace()

    # The plan: two rooms and a frame.
    msp.add_lwpolyline([(0, 0), (120, 0), (120, 70), (0, 70)], close=True)
    msp.add_line((60, 0), (60, 70))
    msp.add_text(dos("ןולס"), dxfattribs={"style": "HEB_DOS", "height": 5, "insert": (18, 45)})
    msp.add_text(windows("הניש רדח"), dxfattribs={"style": "HEB_WIN", "height": 5, "insert": (72, 45)})
    msp.add_text(dos("ר\"מ 24.5"), dxfattribs={"style": "HEB_DOS", "height": 3.5, "insert": (18, 35)})
    msp.add_text(backwards(dos("ר\"מ 12")), dxfattribs={"style": "HEB_MIRROR", "height": 3.5,
                                                          "insert": (75, 35)})
    msp.add_text("Room 12", dxfattribs={"style": "LATIN", "height": 3.5, "insert": (75, 25)})
    msp.add_mtext(dos("ןולחה דיל עקש\\Pתוירוקמ תודימ"),
                  dxfattribs={"style": "HEB_DOS", "char_height": 3, "insert": (118, -8), "width": 115,
                              "attachment_point": 3})

    # The title block, its texts as attributes.
    title = doc.blocks.new("TITLE")
    title.add_lwpolyline([(0, 0), (120, 0), (120, -30), (0, -30)], close=True)
    title.add_attdef("PROJECT", (115, -10), text="", dxfattribs={"style": "HEB_DOS", "height": 5,
                                                                  "prompt": dos("טקיורפ")})
    title.add_attdef("SHEET", (115, -22), text="", dxfattribs={"style": "HEB_DOS", "height": 3.5,
                                                                "prompt": dos("ןוילג")})
    insert = msp.add_blockref("TITLE", (0, -30))
    insert.add_attrib("PROJECT", dos("הנבי בוחר תיב"), (115, -40),
                      dxfattribs={"style": "HEB_DOS", "height": 5, "halign": 2})
    insert.add_attrib("SHEET", dos("1 רפסמ תינכות"), (115, -52),
                      dxfattribs={"style": "HEB_DOS", "height": 3.5, "halign": 2})
    for attrib in insert.attribs:
        attrib.dxf.align_point = attrib.dxf.insert

    stream = io.StringIO()
    doc.write(stream)
    with open(path, "wb") as f:
        # Each character is the byte of its number: the strings are the bytes the fonts draw.
        f.write(stream.getvalue().encode("latin-1"))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    make(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "legacy-drawing.dxf"))
