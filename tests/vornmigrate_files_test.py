#!/usr/bin/env python3
"""vornmigrate on a small file system of its own: a disk that fills up, runs
ended at random points, and a folder that cannot be read. After each run
every input is as it was, every output is the earlier file or the complete
new one, and so is the report.

    vornmigrate_files_test.py VORNMIGRATE DRAWING

Mounting needs root, and the unreadable folder a user other than root
(runuser); where they are not to be had the test says so and is skipped
(exit 77)."""
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TOOL, DRAWING = sys.argv[1:3]
SKIPPED = 77
DRAWINGS = 40
EARLIER = b"an earlier output\n"
EARLIER_REPORT = b"an earlier report\n"


def sh(*args):
    return subprocess.run(args, capture_output=True, text=True)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


class Disk:
    """A tmpfs of a given size, mounted at a folder of the test's."""

    def __init__(self, where, size):
        self.path = os.path.join(where, "disk")
        os.makedirs(self.path)
        out = sh("mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", self.path)
        self.mounted = out.returncode == 0
        self.why = out.stderr.strip()

    def clear(self):
        for name in os.listdir(self.path):
            full = os.path.join(self.path, name)
            shutil.rmtree(full) if os.path.isdir(full) and not os.path.islink(full) else os.unlink(full)

    def free(self):
        s = os.statvfs(self.path)
        return s.f_bavail * s.f_frsize

    def fill_to(self, left):
        """Takes the space of the disk but for about left bytes."""
        with open(os.path.join(self.path, "filler"), "wb") as f:
            f.write(b"\0" * max(0, self.free() - left))

    def unmount(self):
        if self.mounted:
            sh("umount", self.path)


def expected_outputs(work):
    """The complete outputs and report of the run, made on a roomy disk."""
    inputs = os.path.join(work, "reference-in")
    for i in range(DRAWINGS):
        write(os.path.join(inputs, f"d{i:02}.dxf"), read(DRAWING))
    out, report = os.path.join(work, "reference-out"), os.path.join(work, "reference.tsv")
    run = subprocess.run([TOOL, "--quiet", "-j", "2", "--report", report, "--out-dir", out, inputs],
                         capture_output=True)
    assert run.returncode == 0, run.stderr
    outputs = {name: read(os.path.join(out, name)) for name in os.listdir(out)}
    return outputs, read(report).replace(inputs.encode(), b"@IN@")


def prepare(disk):
    """Inputs on the disk, an earlier output of each and an earlier report."""
    disk.clear()
    inputs, out = os.path.join(disk.path, "in"), os.path.join(disk.path, "out")
    for i in range(DRAWINGS):
        write(os.path.join(inputs, f"d{i:02}.dxf"), read(DRAWING))
        write(os.path.join(out, f"d{i:02}.dxf"), EARLIER)
    write(os.path.join(disk.path, "report.tsv"), EARLIER_REPORT)
    return inputs, out, os.path.join(disk.path, "report.tsv")


def command(inputs, out, report):
    return [TOOL, "--quiet", "-j", "2", "--report", report, "--out-dir", out, inputs]


def check_files(what, inputs, out, report, reference, report_reference):
    """Every input as it was; every output and the report earlier or complete."""
    drawing = read(DRAWING)
    for i in range(DRAWINGS):
        assert read(os.path.join(inputs, f"d{i:02}.dxf")) == drawing, f"{what}: input d{i:02}.dxf changed"
    migrated = []
    for name in sorted(os.listdir(out)):
        if name.startswith("."):
            continue
        data = read(os.path.join(out, name))
        assert data in (EARLIER, reference[name]), f"{what}: {name} is neither the earlier output nor complete"
        if data != EARLIER:
            migrated.append(name)
    # A complete report has the rows of the drawings this run migrated.
    header, *rows = report_reference.splitlines(True)
    complete = header.encode() if isinstance(header, str) else header
    complete += b"".join(r for r in rows if r.split(b"\t", 1)[0].split(b"/")[-1].decode() in migrated)
    data = read(report).replace(inputs.encode(), b"@IN@")
    assert data in (EARLIER_REPORT, complete), f"{what}: the report is neither the earlier one nor complete"


def temporaries(folder):
    return [os.path.join(d, n) for d, _, names in os.walk(folder) for n in names if ".vornmigrate-" in n]


def full_disk(disk, reference, report_reference):
    """The disk full at several points of the run: the run fails with the
    cause, or succeeds, and leaves nothing half written."""
    size = len(read(DRAWING))
    for left in (0, 4096, size // 2, 3 * size, 10 * size, 30 * size):
        inputs, out, report = prepare(disk)
        disk.fill_to(left)
        run = subprocess.run(command(inputs, out, report), capture_output=True, text=True)
        what = f"{left} bytes left"
        check_files(what, inputs, out, report, reference, report_reference)
        if run.returncode != 0:
            assert run.returncode == 1, f"{what}: exit {run.returncode}: {run.stderr[-500:]}"
            assert "No space left on device" in run.stderr, f"{what}: no cause named: {run.stderr[-500:]}"
        assert not temporaries(disk.path), f"{what}: left {temporaries(disk.path)}"
        print(f"ok     disk full with {left} bytes left: exit {run.returncode}")


def ended_runs(disk, reference, report_reference):
    """Runs ended by SIGTERM or SIGKILL at random points: SIGTERM leaves no
    temporary file; either leaves every file earlier or complete."""
    inputs, out, report = prepare(disk)
    started = time.monotonic()
    subprocess.run(command(inputs, out, report), capture_output=True, check=True)
    whole = time.monotonic() - started
    chooser = random.Random(17)
    for trial in range(24):
        inputs, out, report = prepare(disk)
        how = signal.SIGTERM if trial % 2 == 0 else signal.SIGKILL
        process = subprocess.Popen(command(inputs, out, report), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE)
        time.sleep(chooser.uniform(0, whole))
        process.send_signal(how)
        _, err = process.communicate(timeout=60)
        what = f"{how.name} after {trial}"
        check_files(what, inputs, out, report, reference, report_reference)
        if how == signal.SIGTERM and process.returncode != 0:
            # Before it has set its handler (as it starts) the signal ends it
            # at once, with nothing of its own written yet.
            assert process.returncode in (128 + signal.SIGTERM, -signal.SIGTERM), \
                f"{what}: exit {process.returncode} {err[-300:]}"
            assert not temporaries(disk.path), f"{what}: left {temporaries(disk.path)}"
        # A later run names what a killed one left and does not touch it.
        left = temporaries(disk.path)
        later = subprocess.run(command(inputs, out, report), capture_output=True, text=True)
        assert later.returncode == 0, f"{what}: the later run: {later.stderr[-500:]}"
        for path in left:
            assert os.path.exists(path) and path in later.stderr, f"{what}: {path} not named or removed"
        check_files(what + ", the later run", inputs, out, report, reference, report_reference)
    print(f"ok     24 runs ended at random points (a whole run takes {whole * 1000:.0f} ms)")


def unreadable_folder(work):
    """A folder its user cannot read is named with its own path and counted,
    and the rest of the tree is done."""
    if not shutil.which("runuser") or sh("runuser", "-u", "nobody", "--", "true").returncode != 0:
        print("skipped an unreadable folder: runuser cannot run a command as nobody here")
        return
    tree = os.path.join(work, "tree")
    for name in ("a/one.dxf", "b/locked/two.dxf", "c/three.dxf"):
        write(os.path.join(tree, name), read(DRAWING))
    out = os.path.join(work, "tree-out")
    os.makedirs(out)
    for d, dirs, files in os.walk(work):
        os.chmod(d, 0o777)
        for f in files:
            os.chmod(os.path.join(d, f), 0o644)
    locked = os.path.join(tree, "b", "locked")
    os.chmod(locked, 0)
    run = sh("runuser", "-u", "nobody", "--", TOOL, "--out-dir", out, tree)
    os.chmod(locked, 0o755)
    assert run.returncode == 1, f"exit {run.returncode}: {run.stderr}"
    assert f"{locked}: the folder could not be read: Permission denied" in run.stderr, run.stderr
    assert "2 of 3 drawings migrated, 1 failed" in run.stdout, run.stdout
    assert os.path.isfile(os.path.join(out, "a", "one.dxf")) and os.path.isfile(os.path.join(out, "c", "three.dxf"))
    print("ok     an unreadable folder is named and counted, and the rest is done")


def main():
    if os.geteuid() != 0:
        print("skipped: mounting a small file system needs root")
        return SKIPPED
    work = tempfile.mkdtemp(prefix="vornmigrate-files-")
    os.chmod(work, 0o755)
    disk = Disk(work, "4m")
    try:
        if not disk.mounted:
            print(f"skipped: no tmpfs could be mounted here ({disk.why})")
            return SKIPPED
        reference, report_reference = expected_outputs(work)
        full_disk(disk, reference, report_reference)
        ended_runs(disk, reference, report_reference)
        unreadable_folder(work)
        return 0
    except AssertionError as e:
        print(f"FAILED {e}")
        return 1
    finally:
        disk.unmount()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
