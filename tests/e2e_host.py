"""What the end-to-end tests share: the test host run under Wine with the
server registered in the tests' prefix, its JSON report read, and a table of
named cases run in order.

A test file is called as: NAME.py ROOT PREFIX ARCH TESTHOST SERVER [OUTDIR]."""
import json
import os
import subprocess
import sys
import tempfile

import wine_program

ROOT, PREFIX, ARCH, TESTHOST, SERVER = sys.argv[1:6]
OUTDIR = sys.argv[6] if len(sys.argv) > 6 else os.path.dirname(os.path.abspath(PREFIX))
S_OK = "0x00000000"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def script_path(path):
    """A Windows path as a quoted script token writes it."""
    return windows_path(path).replace("\\", "\\\\")


def wine(*args, timeout=180):
    return wine_program.run(PREFIX, ARCH, args, timeout=timeout, text=True, env={"VORN_TESTHOST_TRACE": "1"})


def run_host(script):
    return run_hosts([script])[0]


def run_hosts(scripts):
    """The reports of scripts run one after another in one test host process,
    each in a COM session of its own: what a process of its own would give,
    without a process start each."""
    if not scripts:
        return []
    files = []
    try:
        for script in scripts:
            with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False, encoding="utf-8") as f:
                f.write(script)
            files.append(f.name)
        try:
            out = wine(TESTHOST, *[windows_path(name) for name in files], timeout=120 + 10 * len(scripts))
        except subprocess.TimeoutExpired as e:
            partial = e.stdout or b""
            done = (partial.decode("utf-8", "replace") if isinstance(partial, bytes) else partial).count('"commands":')
            steps = e.stderr or b""
            steps = (steps.decode("utf-8", "replace") if isinstance(steps, bytes) else steps).splitlines()[-30:]
            raise AssertionError(f"testhost timed out in script {done + 1} of {len(scripts)}:\n"
                                 f"{scripts[done] if done < len(scripts) else ''}\n"
                                 "its last steps:\n" + "\n".join(steps)) from None
    finally:
        for name in files:
            os.unlink(name)
    if out.returncode != 0:
        raise AssertionError(wine_program.failure(out))
    reports = json.loads(out.stdout)
    return reports if len(scripts) > 1 else [reports]


def config_folder():
    """The server's configuration folder in the prefix (the user's application data)."""
    users = os.path.join(PREFIX, "drive_c", "users")
    for user in sorted(os.listdir(users)) if os.path.isdir(users) else []:
        if user != "Public" and os.path.isdir(os.path.join(users, user, "AppData")):
            return os.path.join(users, user, "AppData", "Roaming", "Sulmoro", "Vorn")
    return os.path.join(users, "root", "AppData", "Roaming", "Sulmoro", "Vorn")


def outcome(command):
    """(code, source, description) of a command: a late-bound call reports a
    failure as an exception whose information carries them."""
    info = command.get("excepinfo")
    if command["hr"] == "0x80020009" and info:
        return info["scode"], info["source"], info["description"]
    return command["hr"], command["errorSource"], command["errorDescription"]


def hrs(report):
    return [outcome(c)[0] for c in report["commands"]]


def called(report, obj, member):
    return [c for c in report["calls"] if c["object"] == obj and c["member"] == member]


def read_windows(report):
    return [w for w in report["windows"] if w["event"] == "read"]


def control_text(window, cid):
    return next(c["text"] for c in window["controls"] if c["id"] == cid)


# The classes of the common controls (comctl32) that the editors use.
COMMON_CONTROLS = {"ToolbarWindow32", "msctls_statusbar32", "SysListView32", "msctls_updown32"}


def uses_common_controls_6(window):
    """Every common control of the window is drawn by version 6 of the common
    controls (the 6.0 side-by-side assembly), whatever the host's manifest."""
    common = [c for c in window["controls"] if c["class"] in COMMON_CONTROLS]
    assert common, f"no common control in {window['caption']}"
    for c in common:
        module = c.get("module", "").lower()
        assert "common-controls" in module and "_6.0." in module, f"{c['class']} is drawn by {module or 'nothing'}"


def failed_steps(report):
    return [w["event"] for w in report["windows"] if w["event"].startswith("failed")]


def no_references_left(report):
    left = [r for r in report["references"] if r["outstanding"] != 0]
    assert not left, f"references left: {left}"


class Cases:
    """Named cases, each a function of no arguments that runs and checks."""

    def __init__(self):
        self.cases = []

    def add(self, name, run):
        self.cases.append((name, run))

    def run(self, before=None, after=None):
        """Registers the server, runs every case (or those whose name holds
        $E2E_ONLY), unregisters it; the exit code."""
        registered = wine("regsvr32", "/s", windows_path(SERVER))
        if registered.returncode != 0:
            print(f"FAILED registering the server: {wine_program.failure(registered)}")
            return 1
        passed = failed = 0
        only = os.environ.get("E2E_ONLY")
        try:
            if before:
                before()
            for name, run in self.cases:
                if only and only not in name:
                    continue
                try:
                    run()
                    passed += 1
                    print(f"ok     {name}", flush=True)
                except (AssertionError, ValueError, KeyError, StopIteration, OSError,
                        subprocess.TimeoutExpired) as e:
                    failed += 1
                    print(f"FAILED {name}: {type(e).__name__}: {e}", flush=True)
        finally:
            wine("regsvr32", "/s", "/u", windows_path(SERVER))
            if after:
                after()
        print(f"{passed} passed, {failed} failed")
        return 1 if failed else 0
