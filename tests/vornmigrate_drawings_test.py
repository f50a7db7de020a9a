#!/usr/bin/env python3
"""vornmigrate over drawings that other programs wrote, none holding legacy
Hebrew: after every --for, with no font map and with the shipped one, each
comes out byte for byte as it went in; the binary drawing is refused. And a
table of one of them, its style's font made one of the Hebrew keyboard's Latin
keys, has its cell migrated alike wherever the drawing keeps it.

    vornmigrate_drawings_test.py VORNMIGRATE DRAWINGS_FOLDER SHIPPED_MAP"""
import os
import subprocess
import sys
import tempfile

TOOL, FOLDER, SHIPPED_MAP = sys.argv[1:4]
REFUSED = {"ezdxf__bin_dxf_r12.dxf"}
TABLE = "ezdxf__acad_table_simple.dxf"


def table_cells_migrate_everywhere(work):
    """The table's title cell stands in the table entity (its value and its
    formatted string), in its TABLECONTENT object (the same two) and in its
    block's MTEXT: all five change alike, and no other line but the font."""
    lines = open(os.path.join(FOLDER, TABLE), "rb").read().split(b"\n")
    value = [line.rstrip(b"\r") for line in lines]
    fonts = [i for i, v in enumerate(value) if v == b"arial.ttf"]
    titles = [i for i, v in enumerate(value) if v == b"Title"]
    if len(fonts) != 1 or len(titles) != 5:
        return [f"{TABLE}: {len(fonts)} font lines and {len(titles)} title cells, not 1 and 5"]
    lines[fonts[0]] = lines[fonts[0]].replace(b"arial.ttf", b"keys.shx")
    drawing, out, keys_map = (os.path.join(work, name) for name in ("table.dxf", "table-out.dxf", "keys.txt"))
    open(drawing, "wb").write(b"\n".join(lines))
    open(keys_map, "w").write("[Fonts]\nKEYS=DosEnglish\n")
    run = subprocess.run([TOOL, "--quiet", "--map", keys_map, "--for", "logical", drawing, out],
                         capture_output=True, text=True, timeout=60)
    if run.returncode != 0:
        return [f"{TABLE} with Latin keys: exit {run.returncode}: {run.stderr[-600:]}"]
    migrated = open(out, "rb").read().split(b"\n")
    changed = [i for i, (a, b) in enumerate(zip(lines, migrated)) if a != b]
    new_titles = {migrated[i] for i in titles}
    failures = []
    if len(migrated) != len(lines) or changed != sorted(fonts + titles):
        failures.append(f"{TABLE} with Latin keys: lines changed {changed}, not the font's and the titles' "
                        f"{sorted(fonts + titles)}")
    if len(new_titles) != 1 or lines[titles[0]] in new_titles:
        failures.append(f"{TABLE} with Latin keys: the title cells became {sorted(new_titles)}")
    # Its TABLECONTENT owned by no table: the table is not migrated, and its
    # style, whose texts read as Hebrew, stays.
    content = value.index(b"TABLECONTENT", value.index(b"OBJECTS"))
    owner = next(i for i in range(content + 1, len(value), 2) if value[i].strip() == b"330") + 1
    lines[owner] = lines[owner].replace(value[owner], b"FFFF")
    open(drawing, "wb").write(b"\n".join(lines))
    run = subprocess.run([TOOL, "--quiet", "--map", keys_map, "--for", "logical", drawing, out],
                         capture_output=True, text=True, timeout=60)
    if run.returncode != 0 or open(out, "rb").read() != b"\n".join(lines):
        failures.append(f"{TABLE} with Latin keys, its TABLECONTENT owned by no table: changed, exit {run.returncode}")
    return failures


def main():
    drawings = sorted(f for f in os.listdir(FOLDER) if f.lower().endswith(".dxf"))
    failures = []
    with tempfile.TemporaryDirectory(prefix="vornmigrate-drawings-") as work:
        empty_map = os.path.join(work, "empty.txt")
        open(empty_map, "w").close()
        for map_name, map_path in (("no map", empty_map), ("the shipped map", SHIPPED_MAP)):
            for target in ("host", "logical", "visual"):
                out = os.path.join(work, f"{target}-{len(failures)}-{map_name[0]}")
                run = subprocess.run([TOOL, "--quiet", "--map", map_path, "--for", target, "--out-dir", out, FOLDER],
                                     capture_output=True, text=True, timeout=300)
                refused = {d for d in drawings if f"{d}:" in run.stderr}
                if run.returncode != (1 if REFUSED else 0) or refused != REFUSED:
                    failures.append(f"--for {target}, {map_name}: exit {run.returncode}, refused {sorted(refused)}: "
                                    f"{run.stderr[-600:]}")
                for d in drawings:
                    if d in REFUSED:
                        continue
                    migrated = os.path.join(out, d)
                    if not os.path.exists(migrated):
                        failures.append(f"{d} --for {target}, {map_name}: no output")
                    elif open(migrated, "rb").read() != open(os.path.join(FOLDER, d), "rb").read():
                        failures.append(f"{d} --for {target}, {map_name}: changed")
        failures += table_cells_migrate_everywhere(work)
    for failure in failures:
        print("FAILED", failure)
    if not failures:
        print(f"ok     {len(drawings) - len(REFUSED)} drawings unchanged after every --for, with and without a map")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
