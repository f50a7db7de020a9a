#!/usr/bin/env python3
"""A release zip checked and, where Wine runs its architecture, installed and
removed by its own scripts: for the current user and for the machine, each
registration checked by its keys, and the registry afterwards compared with
the registry before, so that no key is left behind; its vornmigrate.exe
migrates the sample drawing.

    release_install_test.py ROOT ZIP [PREFIX ARCH [TESTHOST]]

Without PREFIX only the zip's contents are checked; a 32-bit zip with a
64-bit PREFIX (where Wine cannot run 32-bit programs) is checked for its
choice of regsvr32, not installed."""
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

import wine_program

CLSID = "{209EEE94-38F8-46A3-8272-FD39D25CD2A3}"
LIBID = "{CB168047-B8B3-4920-8DE9-1E294E2C9E03}"
IID = "{410A2C99-2B03-43BA-AC87-5EE6A9F3A47D}"
PROGID = "vorn2017.Keltrav"
SCRIPTS = ["install-user.cmd", "uninstall-user.cmd", "install-machine.cmd", "uninstall-machine.cmd",
           "regsvr.cmd", "config.cmd"]
TEXTS = SCRIPTS + ["HebFonts.txt", "README.txt", "user-guide.md", "vorn.lsp"]
FONT_TYPES = {"DOSHEBREW", "DOSENGLISH", "DOSENGLISHR", "WINDOWS", "TRUETYPE"}

ROOT, ZIP = sys.argv[1:3]
PREFIX, ARCH = (sys.argv[3:5] + [None, None])[:2]
TESTHOST = sys.argv[5] if len(sys.argv) > 5 else None
MSI = sys.argv[6] if len(sys.argv) > 6 else None
BITS = "32" if ZIP.endswith("-win32.zip") else "64"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(*args, env=None):
    return wine_program.run(PREFIX, ARCH, args, env=env)


# --- The zip's contents -------------------------------------------------------

def check_contents(z):
    names = z.namelist()
    top = {n.split("/")[0] for n in names}
    assert len(top) == 1, f"one top folder: {top}"
    folder = top.pop()
    assert folder.endswith(f"-win{BITS}"), folder
    files = {n[len(folder) + 1:] for n in names}
    missing = {"vorn2020.dll", "vornmigrate.exe", *TEXTS} - files
    assert not missing, f"missing from the zip: {missing}"
    pictures = [f for f in files if f.startswith("images/")]
    guide = z.read(f"{folder}/user-guide.md").decode("utf-8")
    for picture in pictures:
        assert picture in guide, f"{picture} is packed but the guide does not show it"
    for line in guide.splitlines():
        if "](images/" in line:
            shown = line.split("](", 1)[1].split(")", 1)[0]
            assert shown in files, f"the guide shows {shown}, which is not packed"

    for name in ("vorn2020.dll", "vornmigrate.exe"):
        image = z.read(f"{folder}/{name}")
        pe = struct.unpack_from("<I", image, 0x3C)[0]
        machine = struct.unpack_from("<H", image, pe + 4)[0]
        assert machine == {"64": 0x8664, "32": 0x14C}[BITS], f"{name}: machine type {machine:#x}"
    image = z.read(f"{folder}/vorn2020.dll")
    for export in (b"DllGetClassObject", b"DllCanUnloadNow", b"DllRegisterServer", b"DllUnregisterServer",
                   b"DllInstall"):
        assert export in image, f"{export} is not exported"

    for name in TEXTS:
        data = z.read(f"{folder}/{name}")
        assert b"\n" not in data.replace(b"\r\n", b""), f"{name} has a line without CR LF"
        assert b"@BITS@" not in data, f"{name} still holds a placeholder"
    regsvr = z.read(f"{folder}/regsvr.cmd").decode("ascii")
    assert f'if "{BITS}"=="32"' in regsvr, "regsvr.cmd is not made for this architecture"

    fonts = z.read(f"{folder}/HebFonts.txt").decode("cp1255").splitlines()
    section, entries = None, {}
    for line in fonts:
        if line.startswith("["):
            section = line.strip("[]")
        elif section == "Fonts" and "=" in line:
            name, value = line.split("=", 1)
            entries[name.strip().upper()] = value.strip()
    assert {"HEBSIMP", "DRAVIK1"} <= set(entries), entries
    unknown = {k: v for k, v in entries.items() if v.upper() not in FONT_TYPES}
    assert not unknown, f"fonts with no type: {unknown}"
    return folder


# --- The registry -------------------------------------------------------------

def registry_keys():
    """Every key below HKCU\\Software and HKLM\\Software, with its values."""
    keys = {}
    for root in ("HKCU\\Software", "HKLM\\Software"):
        with tempfile.NamedTemporaryFile(suffix=".reg", delete=False) as f:
            path = f.name
        try:
            out = wine("reg", "export", root, windows_path(path), "/y", env={"LC_ALL": "C"})
            assert out.returncode == 0, f"reg export {root}: {wine_program.failure(out)}"
            raw = open(path, "rb").read()
        finally:
            os.unlink(path)
        text = raw.decode("utf-16") if raw.startswith(b"\xff\xfe") else raw.decode("utf-8", "replace")
        key = None
        for line in text.splitlines():
            if line.startswith("[") and line.endswith("]"):
                key = line[1:-1].upper()
                keys[key] = []
            elif key and line:
                keys[key].append(line)
    return keys


def ours(key):
    return any(mark in key for mark in (CLSID, LIBID, IID, PROGID.upper()))


def value(keys, key, name="@"):
    for line in keys.get(key.upper(), []):
        if line.split("=", 1)[0].strip('"').upper() == name.upper():
            return line.split("=", 1)[1]
    return None


def run_script(folder, name):
    out = wine("cmd", "/c", windows_path(os.path.join(folder, name)))
    if out.returncode != 0:
        return out.returncode, wine_program.failure(out)
    return 0, out.stdout.decode("utf-8", "replace") + out.stderr.decode("utf-8", "replace")


def classes_root(scope):
    if scope == "user":
        return "HKEY_CURRENT_USER\\SOFTWARE\\CLASSES"
    # A 32-bit server's machine registration lands in the 32-bit view.
    return "HKEY_LOCAL_MACHINE\\SOFTWARE\\" + ("WOW6432NODE\\" if BITS == "32" and ARCH == "win64" else "") + "CLASSES"


def check_registered(keys, scope, dll_folder, short_path=True):
    base = classes_root(scope)
    server = value(keys, f"{base}\\CLSID\\{CLSID}\\InprocServer32")
    assert server, f"{scope}: no InprocServer32 for the class"
    assert "vorn2020.dll" in server.lower(), server
    # The folder's name holds a blank: the scripts register the path in its short form.
    assert not short_path or " " not in server, f"{scope}: the server's path has a blank: {server}"
    assert value(keys, f"{base}\\CLSID\\{CLSID}\\InprocServer32", "ThreadingModel") == '"Apartment"'
    assert value(keys, f"{base}\\{PROGID}\\Clsid") == f'"{CLSID}"'
    assert value(keys, f"{base}\\CLSID\\{CLSID}\\ProgID") == f'"{PROGID}"'
    other = "HKEY_LOCAL_MACHINE" if scope == "user" else "HKEY_CURRENT_USER"
    elsewhere = [k for k in keys if ours(k) and k.startswith(other) and "TYPELIB" not in k and "INTERFACE" not in k]
    assert not elsewhere, f"{scope} registration also wrote {elsewhere[:5]}"


def check_gone(before, after, scope):
    left = sorted(k for k in after if k not in before)
    assert not [k for k in left if ours(k)], f"{scope}: keys left behind: {[k for k in left if ours(k)]}"
    changed = [k for k in before if ours(k) and before[k] != after.get(k)]
    assert not changed, f"{scope}: keys changed: {changed}"
    assert not left, f"{scope}: new keys after uninstalling: {left[:10]}"


def host_runs_installed_server():
    """The installed server answers a command: with no host running it shows
    the connection message and returns success."""
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False, encoding="utf-8") as f:
        f.write("rot none\ncall late Edit\n")
    try:
        out = wine(TESTHOST, windows_path(f.name))
    finally:
        os.unlink(f.name)
    assert out.returncode == 0, wine_program.failure(out)
    report = json.loads(out.stdout.decode("utf-8"))
    command = report["commands"][0]
    assert command["hr"] == "0x00000000", command
    assert [m["text"] for m in report["messages"]] == ["Can't get Gstar oleobj, ver =20"], report["messages"]


def install_cycle(folder, scope):
    before = registry_keys()
    assert not [k for k in before if ours(k)], f"registered before the test: {[k for k in before if ours(k)][:5]}"
    code, text = run_script(folder, f"install-{scope}.cmd")
    assert code == 0, f"install-{scope}.cmd: exit {code}: {text}"
    installed = registry_keys()
    check_registered(installed, scope, folder)
    if scope == "machine" and TESTHOST:
        host_runs_installed_server()
    code, text = run_script(folder, f"uninstall-{scope}.cmd")
    assert code == 0, f"uninstall-{scope}.cmd: exit {code}: {text}"
    check_gone(before, registry_keys(), scope)


def config_folder():
    users = os.path.join(PREFIX, "drive_c", "users")
    for user in sorted(os.listdir(users)):
        if user != "Public" and os.path.isdir(os.path.join(users, user, "AppData", "Roaming")):
            return os.path.join(users, user, "AppData", "Roaming", "Sulmoro", "Vorn")
    raise AssertionError("no user profile in the prefix")


def check_config_folder(folder):
    """The install puts the sample map into a new configuration folder and
    never replaces the user's own."""
    config = config_folder()
    saved = config + ".saved"
    if os.path.isdir(config):
        shutil.move(config, saved)
    try:
        code, text = run_script(folder, "install-user.cmd")
        assert code == 0, text
        sample = open(os.path.join(folder, "HebFonts.txt"), "rb").read()
        assert open(os.path.join(config, "HebFonts.txt"), "rb").read() == sample, "the sample map is copied"
        mine = b"[Fonts]\r\nMYFONT=Windows\r\n"
        open(os.path.join(config, "HebFonts.txt"), "wb").write(mine)
        code, text = run_script(folder, "install-user.cmd")
        assert code == 0, text
        assert open(os.path.join(config, "HebFonts.txt"), "rb").read() == mine, "the user's map is kept"
        code, text = run_script(folder, "uninstall-user.cmd")
        assert code == 0, text
        assert os.path.isfile(os.path.join(config, "HebFonts.txt")), "uninstalling keeps the settings"
    finally:
        shutil.rmtree(config, ignore_errors=True)
        if os.path.isdir(saved):
            shutil.move(saved, config)


def check_regsvr_choice(folder):
    """The scripts pick the regsvr32 of the DLL's bitness: on 64-bit Windows
    a 32-bit DLL needs the one in SysWOW64."""
    probe = os.path.join(folder, "choice.cmd")
    with open(probe, "w", newline="\r\n") as f:
        f.write('@echo off\ncall "%~dp0regsvr.cmd"\necho REGSVR=%REGSVR%\n')
    # A 64-bit prefix without Wine's 32-bit half has no SysWOW64: a stand-in
    # file is enough for the scripts to choose it.
    wow64 = os.path.join(PREFIX, "drive_c", "windows", "syswow64")
    stand_in = None if os.path.exists(os.path.join(wow64, "regsvr32.exe")) or ARCH != "win64" \
        else os.path.join(wow64, "regsvr32.exe")
    if stand_in:
        os.makedirs(wow64, exist_ok=True)
        open(stand_in, "wb").close()
    try:
        code, text = run_script(folder, "choice.cmd")
    finally:
        os.unlink(probe)
        if stand_in:
            os.unlink(stand_in)
            if not os.listdir(wow64):
                os.rmdir(wow64)
    assert code == 0, text
    chosen = text.split("REGSVR=", 1)[1].strip().lower()
    expected = "syswow64" if BITS == "32" and ARCH == "win64" else "system32"
    assert chosen == f"c:\\windows\\{expected}\\regsvr32.exe", f"{BITS}-bit DLL under {ARCH}: {chosen}"


def check_missing_dll(folder):
    """A script run without the DLL beside it says so and fails."""
    broken = folder + " broken"
    shutil.copytree(folder, broken)
    try:
        os.unlink(os.path.join(broken, "vorn2020.dll"))
        for script in ("install-user.cmd", "install-machine.cmd"):
            code, text = run_script(broken, script)
            assert code != 0, f"{script} without the DLL succeeded"
            assert "vorn2020.dll is not in" in text, text
    finally:
        shutil.rmtree(broken)


def check_migration_tool(folder):
    """vornmigrate.exe answers --help and migrates the sample drawing with the
    zip's font map, leaving the drawing itself as it was."""
    tool = os.path.join(folder, "vornmigrate.exe")
    out = wine(tool, "--help")
    assert out.returncode == 0, f"vornmigrate.exe --help: {wine_program.failure(out)}"
    assert b"--for" in out.stdout + out.stderr, "the help names no --for"
    drawing = os.path.join(ROOT, "samples", "legacy-drawing.dxf")
    before = open(drawing, "rb").read()
    migrated = os.path.join(folder, "migrated.dxf")
    out = wine(tool, "--quiet", "--map", windows_path(os.path.join(folder, "HebFonts.txt")), "--for", "logical",
               windows_path(drawing), windows_path(migrated))
    assert out.returncode == 0, f"vornmigrate.exe: {wine_program.failure(out)}"
    assert open(drawing, "rb").read() == before, "the input drawing changed"
    # Before R2007 Hebrew letters are written as \U+05D0 to \U+05EA escapes.
    assert b"\\U+05" in open(migrated, "rb").read(), "no Hebrew letter in the migrated drawing"


# --- The installer --------------------------------------------------------------

def msiexec(*args, scope):
    """msiexec, quiet; per user with ALLUSERS empty, as Windows Installer
    before 5 chooses it and Wine's still does (MSIINSTALLPERUSER is Windows 7's)."""
    extra = ["ALLUSERS="] if scope == "user" else []
    return wine("msiexec", *args, "/qn", *extra)


def installed_folder(scope):
    if scope == "machine":
        return os.path.join(PREFIX, "drive_c", "Program Files", "vorn2020")
    appdata = os.path.dirname(os.path.dirname(os.path.dirname(config_folder())))  # the profile's AppData
    return os.path.join(appdata, "Local", "Programs", "vorn2020")


def products(keys, scope):
    """The packages Windows Installer holds for the scope."""
    base = ("HKEY_CURRENT_USER\\SOFTWARE\\MICROSOFT\\INSTALLER\\PRODUCTS\\" if scope == "user"
            else "HKEY_LOCAL_MACHINE\\SOFTWARE\\CLASSES\\INSTALLER\\PRODUCTS\\")
    return {k for k in keys if k.startswith(base) and "\\" not in k[len(base):]}


def upgrade_package(folder, work):
    """The same package one version later, built from the same source."""
    major, minor, patch = os.path.basename(MSI).split("-")[1].split(".")
    later = os.path.join(work, f"vorn2020-{major}.{minor}.{int(patch) + 1}-win{BITS}.msi")
    arch = "x86_64" if BITS == "64" else "i686"
    out = subprocess.run(["bash", os.path.join(ROOT, "scripts", "build-msi.sh"), arch,
                          os.path.join(folder, "vorn2020.dll"), os.path.join(folder, "vornmigrate.exe"),
                          f"{major}.{minor}.{int(patch) + 1}", later], capture_output=True, text=True)
    assert out.returncode == 0, f"build-msi.sh: {out.stderr}"
    return later


def msi_cycle(folder, work, scope):
    """Install, a command of the installed server, an upgrade that keeps the
    user's font map, and an uninstall that leaves no key of ours."""
    config = config_folder()
    saved = config + ".saved"
    if os.path.isdir(config):
        shutil.move(config, saved)
    later = MSI
    try:
        before = registry_keys()
        assert not [k for k in before if ours(k)], f"registered before the test: {[k for k in before if ours(k)][:5]}"
        out = msiexec("/i", windows_path(MSI), scope=scope)
        assert out.returncode == 0, f"msiexec /i: {wine_program.failure(out)}"
        installed = registry_keys()
        check_registered(installed, scope, None, short_path=False)
        target = installed_folder(scope)
        for name in ("vorn2020.dll", "vornmigrate.exe", "vorn.lsp", "user-guide.md", "README.txt"):
            assert os.path.isfile(os.path.join(target, name)), f"{scope}: {name} is not in {target}"
        server = value(installed, f"{classes_root(scope)}\\CLSID\\{CLSID}\\InprocServer32").strip('"')
        assert server.lower().replace("\\\\", "\\").endswith("\\vorn2020\\vorn2020.dll"), server
        # Wine's COM reads no class of the user's own, as the zip's test finds too.
        if scope == "machine" and TESTHOST:
            host_runs_installed_server()
        sample = open(os.path.join(folder, "HebFonts.txt"), "rb").read()
        assert open(os.path.join(config, "HebFonts.txt"), "rb").read() == sample, "the sample map is installed"
        mine = b"[Fonts]\r\nMYFONT=Windows\r\n"
        open(os.path.join(config, "HebFonts.txt"), "wb").write(mine)
        held = products(installed, scope)
        assert len(held) == len(products(before, scope)) + 1, f"{scope}: packages held: {held}"

        later = upgrade_package(folder, work)
        out = msiexec("/i", windows_path(later), scope=scope)
        assert out.returncode == 0, f"msiexec /i (upgrade): {wine_program.failure(out)}"
        upgraded = registry_keys()
        assert products(upgraded, scope) != held and len(products(upgraded, scope)) == len(held), \
            f"{scope}: the upgrade did not replace the earlier package: {products(upgraded, scope)}"
        check_registered(upgraded, scope, None, short_path=False)
        assert open(os.path.join(config, "HebFonts.txt"), "rb").read() == mine, "the upgrade kept the user's map"

        out = msiexec("/x", windows_path(later), scope=scope)
        assert out.returncode == 0, f"msiexec /x: {wine_program.failure(out)}"
        after = registry_keys()
        mine_left = [k for k in after if ours(k)]
        assert not mine_left, f"{scope}: keys of ours left: {mine_left[:5]}"
        assert products(after, scope) == products(before, scope), f"{scope}: packages left: {products(after, scope)}"
        assert not os.path.exists(os.path.join(target, "vorn2020.dll")), f"{scope}: the server's file is left"
        assert open(os.path.join(config, "HebFonts.txt"), "rb").read() == mine, "uninstalling keeps the settings"
        later = None
    finally:
        # After a failure, whatever was installed goes, for the steps after this one.
        for package in ([MSI, later] if later else []):
            msiexec("/x", windows_path(package), scope=scope)
        shutil.rmtree(config, ignore_errors=True)
        if os.path.isdir(saved):
            shutil.move(saved, config)


def main():
    with zipfile.ZipFile(ZIP) as z:
        folder_name = check_contents(z)
        print(f"ok     contents of {os.path.basename(ZIP)}")
        if not PREFIX:
            return 0
        # A folder with a blank in its name: the server is registered by its short path.
        work = os.path.join(os.path.dirname(os.path.abspath(ZIP)), f"install test {BITS}")
        shutil.rmtree(work, ignore_errors=True)
        z.extractall(work)
    folder = os.path.join(work, folder_name)
    failed = 0
    steps = [("the regsvr32 of the DLL's bitness", lambda: check_regsvr_choice(folder))]
    if ARCH == "win32" or BITS == "64":
        # A 32-bit DLL is registered only where Wine runs 32-bit programs.
        steps += [("install and uninstall for the current user", lambda: install_cycle(folder, "user")),
                  ("install and uninstall for the machine", lambda: install_cycle(folder, "machine")),
                  ("the configuration folder and the sample map", lambda: check_config_folder(folder)),
                  ("scripts without the DLL", lambda: check_missing_dll(folder)),
                  ("vornmigrate.exe on the sample drawing", lambda: check_migration_tool(folder))]
        if MSI:
            steps += [("the installer for the machine: install, upgrade, uninstall",
                       lambda: msi_cycle(folder, work, "machine")),
                      ("the installer for the current user: install, upgrade, uninstall",
                       lambda: msi_cycle(folder, work, "user"))]
    for name, step in steps:
        try:
            step()
            print(f"ok     {name}")
        except AssertionError as e:
            failed += 1
            print(f"FAILED {name}: {e}")
    shutil.rmtree(work, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
