#!/usr/bin/env bash
# Draws the sample legacy drawing (samples/legacy-drawing.dxf) before and
# after vornmigrate with a DXF viewer from Debian (ezdxf's drawing add-on with
# matplotlib) and puts the two pictures into docs/images/ for the user guide.
# The viewer lays out no right-to-left text, so the drawing is migrated
# --for visual, the form that such viewers show right.
#
#   bash scripts/migrate-pictures.sh [BUILD]    BUILD: the native build that holds
#                                               vornmigrate (default build/native)
#
# Needs python3-ezdxf and python3-matplotlib (Debian's /usr/bin/python3 sees them).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
python=/usr/bin/python3

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target vornmigrate >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The committed sample is the one its generator makes.
"$python" samples/make_legacy_drawing.py "$work/legacy-drawing.dxf"
if ! cmp -s "$work/legacy-drawing.dxf" samples/legacy-drawing.dxf; then
  echo "samples/legacy-drawing.dxf differs from what samples/make_legacy_drawing.py makes now:" \
       "run it and commit the drawing" >&2
  exit 1
fi

"$build/vornmigrate" --map packaging/HebFonts.txt --for visual --report "$work/report.tsv" --quiet \
  samples/legacy-drawing.dxf "$work/migrated.dxf"

# Every text of the migrated drawing holds Hebrew letters or plain ASCII,
# none of the old letter codes.
"$python" - "$work/migrated.dxf" <<'PY'
import sys
import ezdxf
doc = ezdxf.readfile(sys.argv[1])
texts = [e.text if e.dxftype() == "MTEXT" else e.dxf.text
         for layout in [doc.modelspace(), *doc.blocks] for e in layout
         if e.dxftype() in ("TEXT", "MTEXT", "ATTRIB", "ATTDEF")]
texts += [a.dxf.text for insert in doc.modelspace().query("INSERT") for a in insert.attribs]
odd = [t for t in texts if any(0x80 <= ord(c) < 0x590 or 0x5FF < ord(c) < 0x2000 for c in t)]
hebrew = [t for t in texts if any(0x5D0 <= ord(c) <= 0x5EA for c in t)]
if odd or not hebrew:
    sys.exit(f"the migrated drawing still holds old letter codes: {odd}" if odd else "no Hebrew in it")
PY

draw() {  # DXF PNG
  MPLBACKEND=Agg "$python" -m ezdxf draw -o "$work/picture.png" --dpi 100 "$1" 2>&1 |
    grep -v -e '^findfont' -e '^loading file' -e '^exporting to' -e 'Audit process found' || true
  [ -s "$work/picture.png" ] || { echo "ezdxf drew nothing for $1" >&2; exit 1; }
  # -strip: no time stamps, so an unchanged drawing gives an unchanged file.
  convert "$work/picture.png" -strip "$2"
  rm "$work/picture.png"
  echo "drawn     $2"
}
mkdir -p docs/images
draw samples/legacy-drawing.dxf docs/images/migrate-before.png
draw "$work/migrated.dxf" docs/images/migrate-after.png
