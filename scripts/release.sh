#!/usr/bin/env bash
# Builds both servers (64-bit and 32-bit) in release mode and packages, per
# architecture, an installer (scripts/build-msi.sh, from packaging/vorn2020.wxs)
# and a zip: the DLL, the drawing migration tool vornmigrate.exe, the
# install and uninstall scripts for the current user and for the machine, the
# sample font map, the commands for the CAD program (vorn.lsp) and the user
# guide.
#
#   bash scripts/release.sh                 builds in build/rel-x86_64 and build/rel-i686
#   bash scripts/release.sh --from BUILD    packages from BUILD/win-x86_64 and BUILD/win-i686
#                                           (Release builds, as the test command makes them),
#                                           bringing them up to date first
#
# The zips and installers go to build/rel-packages (or BUILD/rel-packages);
# their names are printed, one a line, at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
from=""
if [ "${1:-}" = "--from" ]; then from=$2; shift 2; fi
out=${from:-build}/rel-packages
jobs=$(nproc)

version=$(sed -n 's/^ *VALUE "ProductVersion", "\([0-9]*\.[0-9]*\.[0-9]*\)\..*/\1/p' automation/vorn2020.rc)
[ -n "$version" ] || { echo "release: no ProductVersion in automation/vorn2020.rc" >&2; exit 1; }

build_server() {  # ARCH -> prints the build folder
  local arch=$1 dir
  if [ -n "$from" ]; then
    dir=$from/win-$arch
    if ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$dir/CMakeCache.txt" 2>/dev/null; then
      echo "release: $dir is not a Release build" >&2
      return 1
    fi
  else
    dir=build/rel-$arch
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" >/dev/null
  fi
  cmake --build "$dir" -j "$jobs" --target vorn2020 vornmigrate >&2
  echo "$dir"
}

mkdir -p "$out"
rm -f "$out"/vorn2020-*.zip "$out"/vorn2020-*.msi
for arch in x86_64 i686; do
  bits=64; [ "$arch" = i686 ] && bits=32
  dir=$(build_server "$arch")
  python3 - "$dir/automation/vorn2020.dll" "$dir/vornmigrate.exe" "$bits" "$version" \
            "$out/vorn2020-$version-win$bits.zip" <<'PY'
import glob, os, struct, subprocess, sys, time, zipfile

dll, tool, bits, version, target = sys.argv[1:6]
folder = f"vorn2020-{version}-win{bits}"


def windows_image(path):
    """The file, which must be a PE image of the architecture the zip is named after."""
    with open(path, "rb") as f:
        image = f.read()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    machine = struct.unpack_from("<H", image, pe + 4)[0]
    if image[pe:pe + 4] != b"PE\0\0" or machine != {"64": 0x8664, "32": 0x14C}[bits]:
        sys.exit(f"release: {path} is not a {bits}-bit Windows image")
    return image

# Every entry carries the time of the last commit, so the same sources give the same zip.
stamp = subprocess.run(["git", "log", "-1", "--format=%ct"], capture_output=True, text=True).stdout.strip()
when = time.gmtime(int(stamp)) if stamp else time.gmtime(315532800)
date_time = tuple(when[:6])

def crlf(data):
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")

def text(path, substitute=False):
    data = open(path, "rb").read()
    if substitute:
        data = data.replace(b"@BITS@", bits.encode())
    return crlf(data)

entries = [("vorn2020.dll", windows_image(dll)), ("vornmigrate.exe", windows_image(tool))]
for name in ("install-user.cmd", "uninstall-user.cmd", "install-machine.cmd", "uninstall-machine.cmd",
             "regsvr.cmd", "config.cmd", "HebFonts.txt", "README.txt", "vorn.lsp"):
    entries.append((name, text(os.path.join("packaging", name), substitute=name.endswith(".cmd"))))
entries.append(("user-guide.md", text("docs/user-guide.md")))
for picture in sorted(glob.glob("docs/images/*.png")):
    entries.append(("images/" + os.path.basename(picture), open(picture, "rb").read()))

with zipfile.ZipFile(target + ".part", "w", zipfile.ZIP_DEFLATED) as z:
    for name, data in entries:
        info = zipfile.ZipInfo(f"{folder}/{name}", date_time)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        z.writestr(info, data)
os.replace(target + ".part", target)
PY
  echo "$out/vorn2020-$version-win$bits.zip"
  bash scripts/build-msi.sh "$arch" "$dir/automation/vorn2020.dll" "$dir/vornmigrate.exe" "$version" \
    "$out/vorn2020-$version-win$bits.msi"
  echo "$out/vorn2020-$version-win$bits.msi"
done
