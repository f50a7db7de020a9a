#!/usr/bin/env python3
"""vornmigrate over drawings that other programs wrote, none holding legacy
Hebrew: after every --for, with no font map and with the shipped one, each
comes out byte for byte as it went in; the binary drawing is refused.

    vornmigrate_drawings_test.py VORNMIGRATE DRAWINGS_FOLDER SHIPPED_MAP"""
import os
import subprocess
import sys
import tempfile

TOOL, FOLDER, SHIPPED_MAP = sys.argv[1:4]
REFUSED = {"ezdxf__bin_dxf_r12.dxf"}


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
    for failure in failures:
        print("FAILED", failure)
    if not failures:
        print(f"ok     {len(drawings) - len(REFUSED)} drawings unchanged after every --for, with and without a map")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
