#!/usr/bin/env bash
# Puts the editors' pictures that the end-to-end tests take into docs/images/
# as PNG files, so that the user guide shows the windows as they are now.
#
#   bash scripts/update-guide-images.sh [BUILD]            copy them (BUILD: a 64-bit
#                                                          cross build whose tests have run;
#                                                          default build/win-x86_64)
#   bash scripts/update-guide-images.sh --check [BUILD]    fail when a picture in docs/images/
#                                                          no longer matches the tests' own
set -euo pipefail
cd "$(dirname "$0")/.."
check=false
if [ "${1:-}" = "--check" ]; then check=true; shift; fi
build=${1:-build/win-x86_64}

# picture in the guide <- the file name the tests save it under
pictures=(
  "line-editor.png line_editor.bmp"
  "attribute-editor.png e2e_grid_shot.png"
  "multiline-editor.png mtext_editor.bmp"
  "line-editor-150.png dpi_line_editor_144.png"
)
# A blinking caret and font smoothing may differ between runs: a colour
# within 5% counts as the same, and up to 0.5% of the pixels may differ.
fuzz=5%
max_share=0.005

shot_of() {  # NAME -> the newest file of that name in the build folder
  find "$build" -maxdepth 3 -name "$1" -newer "$build/CMakeCache.txt" -printf '%T@ %p\n' 2>/dev/null |
    sort -n | tail -1 | cut -d' ' -f2-
}

mkdir -p docs/images
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
for entry in "${pictures[@]}"; do
  read -r picture shot <<<"$entry"
  source=$(shot_of "$shot")
  if [ -z "$source" ]; then
    echo "no $shot in $build: run the end-to-end tests first" >&2
    status=1
    continue
  fi
  # -strip: no time stamps, so an unchanged window gives an unchanged file.
  convert "$source" -strip "$tmp/$picture"
  if ! $check; then
    if [ -f "docs/images/$picture" ] && cmp -s "$tmp/$picture" "docs/images/$picture"; then
      echo "unchanged docs/images/$picture"
    else
      cp "$tmp/$picture" "docs/images/$picture"
      echo "updated   docs/images/$picture (from $source)"
    fi
    continue
  fi
  committed=docs/images/$picture
  if [ ! -f "$committed" ]; then
    echo "FAILED $picture: not in docs/images" >&2
    status=1
    continue
  fi
  if [ "$(identify -format %wx%h "$committed")" != "$(identify -format %wx%h "$tmp/$picture")" ]; then
    echo "FAILED $picture: $(identify -format %wx%h "$committed") in the guide, $(identify -format %wx%h "$tmp/$picture") now" >&2
    status=1
    continue
  fi
  differing=$(compare -metric AE -fuzz "$fuzz" "$committed" "$tmp/$picture" null: 2>&1 >/dev/null || true)
  pixels=$(identify -format '%[fx:w*h]' "$committed")
  if ! awk -v d="$differing" -v n="$pixels" -v m="$max_share" 'BEGIN { exit !(d ~ /^[0-9.e+]+$/ && d <= n * m) }'; then
    echo "FAILED $picture: $differing of $pixels pixels differ from the tests' picture; run scripts/update-guide-images.sh" >&2
    status=1
    continue
  fi
  echo "ok     $picture ($differing pixels differ)"
done
exit $status
