#!/usr/bin/env bash
# The demo: builds the server and the test host for 64-bit Windows and runs
# the server's commands under Wine, with the test host playing the CAD
# program (samples/demo.script): the line text editor opens on Hebrew texts,
# typing is written into the drawing as it goes; the attribute and multiline
# editors open on a block and a multiline text; a picture of each is saved.
# Then the conversions on sample strings of each font type, and a sample
# legacy drawing migrated by vornmigrate, with its report.
# With a display of your own and --interactive, the windows wait for you
# (samples/demo-interactive.script).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
interactive=""
[ "${1:-}" = "--interactive" ] && interactive=--interactive
if [ -n "$interactive" ] && [ -z "${DISPLAY:-}" ]; then
  echo "--interactive needs a display (DISPLAY is not set)" >&2
  exit 2
fi
bash scripts/setup.sh

dir=build/win-x86_64
out=$root/build/demo
mkdir -p "$out"
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-mingw.cmake" >/dev/null
cmake --build "$dir" -j "$(nproc)" --target vorn2020 testhost
prefix=$root/$dir/wineprefix
scripts/wine-prefix.sh "$prefix" win64

xvfb_pid=""
cleanup() {
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:${VORN_XVFB_DISPLAY:-98}
  Xvfb "$DISPLAY" -screen 0 2560x1600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
fi
run() { scripts/wine-run.sh "$prefix" win64 "$@"; }
run cmd /c exit >/dev/null 2>&1 </dev/null || true

winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }
dll=$(winpath "$root/$dir/automation/vorn2020.dll")
run regsvr32 /s "$dll"
script=samples/demo.script
[ -n "$interactive" ] && script=samples/demo-interactive.script
sed "s|@SHOTS@|$(winpath "$out" | sed 's/\\/\\\\/g')|" "$script" > "$out/demo.script"
echo "== the server's commands, with the test host as the CAD program"
run "$root/$dir/testhost/testhost.exe" $interactive "$(winpath "$out/demo.script")" > "$out/report.json"
run regsvr32 /s /u "$dll"
status=0
python3 scripts/demo_report.py "$out/report.json" || status=1
for bmp in "$out"/*.bmp; do
  [ -f "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp" && echo "  picture: build/demo/$(basename "${bmp%.bmp}.png")"
done
echo "  the whole report: build/demo/report.json"

echo
echo "== the conversions on sample strings (vornconv)"
cmake -S . -B build/native -G Ninja >/dev/null
cmake --build build/native --target vornconv >/dev/null
conv=build/native/vornconv
show() {  # show TYPE FILE [OPTIONS...]
  local type=$1 file=$2; shift 2
  echo "-- $type ($file)"
  while IFS= read -r line; do
    edited=$(printf '%s\n' "$line" | "$conv" --to-editor --type "$type" "$@")
    back=$(printf '%s\n' "$edited" | "$conv" --to-drawing --type "$type" "$@")
    printf '  stored  %s\n  editor  %s\n  stored  %s\n\n' "$line" "$edited" "$back"
  done < "$file"
}
show DosHebrew samples/doshebrew.txt
show Windows samples/windows.txt
show Windows samples/windows.txt --backwards

echo
echo "== a whole legacy drawing migrated (vornmigrate)"
cmake --build build/native --target vornmigrate >/dev/null
build/native/vornmigrate --map packaging/HebFonts.txt --report "$out/migrate-report.tsv" \
  samples/legacy-drawing.dxf "$out/legacy-drawing-migrated.dxf" || status=1
python3 - "$out/migrate-report.tsv" <<'PY'
import sys
# The report's rows, old and new text side by side; control characters (old
# DOS letter codes among them) shown by their numbers.
def shown(text):
    return "".join(c if c.isprintable() else f"<{ord(c)}>" for c in text)
with open(sys.argv[1], encoding="utf-8") as f:
    rows = [line.rstrip("\r\n").split("\t") for line in f]
if rows and rows[0][1].lower() == "handle":
    rows = rows[1:]
for row in rows:
    file, handle, kind, block, style, font, font_type, backwards, status, old, new = (row + [""] * 11)[:11]
    print(f"  {handle:>4} {kind:<13} {block:<12} {style:<10} {font_type:<9} {status:<9} {shown(old)}")
    if new != old:
        print(f"  {'':>4} {'':<13} {'':<12} {'':<10} {'':<9} {'->':<9} {shown(new)}")
PY
echo "  the migrated drawing: build/demo/legacy-drawing-migrated.dxf, its report: build/demo/migrate-report.tsv"
exit $status
