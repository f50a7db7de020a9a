#!/usr/bin/env bash
# Builds the installer of one architecture from packaging/vorn2020.wxs with
# wixl (Debian's msitools), then mends what this wixl writes otherwise than
# the package says: HKMU as the registry root, the per-user folder's action
# run at once, the sample map's component kept and never written over, and
# the package's scope left to the user (ALLUSERS=2).
#
#   bash scripts/build-msi.sh ARCH DLL TOOL VERSION OUT.msi
#
# ARCH is x86_64 or i686; VERSION has three parts (a later one upgrades).
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 5 ] || { echo "usage: bash scripts/build-msi.sh ARCH DLL TOOL VERSION OUT.msi" >&2; exit 2; }
arch=$1 dll=$2 tool=$3 version=$4 out=$5
command -v wixl >/dev/null || { echo "build-msi: wixl is missing (apt-get install wixl msitools)" >&2; exit 1; }

# Identities that never change: an architecture's upgrade code and components.
case $arch in
  x86_64) wixarch=x64 win64=yes programs=ProgramFiles64Folder platform=win64
          upgrade=80C311D3-3BD8-49F7-BEFE-C4FD38E6472F server=C5B056F3-895C-47BF-A998-7DE58B560D61
          files=C7ED2608-3C36-4D62-9299-C22F1D01FB22 images=0532351E-BF77-4C36-A553-9CA47A39CE7F ;;
  i686)   wixarch=x86 win64=no programs=ProgramFilesFolder platform=win32
          upgrade=6D323D83-9F4B-4C47-9744-9262C11B956F server=363F275E-C81C-4C59-91CB-879FF2452F32
          files=3E99AF6B-31AF-4B46-B44E-D2CA2A02F12D images=409EF900-A6EB-4B19-AC2A-AEEE232F987D ;;
  *) echo "build-msi: no architecture $arch" >&2; exit 2 ;;
esac
# One sample map for both architectures' packages: the same component.
map=EF5587FE-4E75-4BD4-8C48-2302A05CFDAC

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# wixl takes the files by names relative to the source: they are gathered beside it.
mkdir -p "$work/files/images"
cp "$dll" "$work/files/vorn2020.dll"
cp "$tool" "$work/files/vornmigrate.exe"
# Text files with CR LF line ends, as in the zip.
for text in packaging/vorn.lsp packaging/README.txt packaging/HebFonts.txt docs/user-guide.md; do
  python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); open(sys.argv[2], "wb").write(d.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))' \
    "$text" "$work/files/$(basename "$text")"
done
cp docs/images/*.png "$work/files/images/" 2>/dev/null || true
# The guide's pictures, one component.
python3 - "$work/vorn2020.wxs" "$images" "$win64" <<'PY'
import glob, os, sys
target, guid, win64 = sys.argv[1:4]
source = open("packaging/vorn2020.wxs", encoding="utf-8").read()
pictures = sorted(os.path.basename(p) for p in glob.glob(os.path.join(os.path.dirname(target), "files", "images", "*.png")))
key = ' KeyPath="yes"'
files = "\n".join(f'              <File Id="image{i}" Name="{p}" Source="files/images/{p}"'
                  f'{key if i == 0 else ""}/>' for i, p in enumerate(pictures))
images = (f'<Directory Id="IMAGESDIR" Name="images">\n'
          f'            <Component Id="Images" Guid="{guid}" Win64="{win64}">\n{files}\n'
          f'            </Component>\n          </Directory>') if pictures else ""
source = source.replace("<!-- @IMAGES@ -->", images)
source = source.replace("<!-- @IMAGEREFS@ -->", '<ComponentRef Id="Images"/>' if pictures else "")
open(target, "w", encoding="utf-8").write(source)
PY
wixl -a "$wixarch" -o "$work/out.msi" \
  -D Version="$version" -D Win64="$win64" -D ProgramFiles="$programs" -D PlatformKey="$platform" \
  -D UpgradeCode="$upgrade" -D GuidServer="$server" -D GuidFiles="$files" -D GuidMap="$map" \
  -D Dll=files/vorn2020.dll -D Tool=files/vornmigrate.exe -D Packaging=files -D Docs=files \
  "$work/vorn2020.wxs" 2> >(grep -v "GLib-GObject-WARNING\|^$" >&2)
for query in \
  "UPDATE Registry SET Root=-1 WHERE Root=4" \
  "UPDATE CustomAction SET Type=51 WHERE Action='PerUserFolder'" \
  "UPDATE Component SET Attributes=144 WHERE Component='SampleMap'" \
  "UPDATE Property SET Value='2' WHERE Property='ALLUSERS'"; do
  msibuild "$work/out.msi" -q "$query"
done
mv "$work/out.msi" "$out"
