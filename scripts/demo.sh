#!/usr/bin/env bash
# Builds the converter and shows the conversions on sample drawing strings of
# each font type: the stored string, the editor text, and the string stored
# back from it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/native -G Ninja >/dev/null
cmake --build build/native --target vornconv
conv=build/native/vornconv
show() {  # show TYPE FILE [OPTIONS...]
  local type=$1 file=$2; shift 2
  echo "== $type ($file)"
  while IFS= read -r line; do
    edited=$(printf '%s\n' "$line" | "$conv" --to-editor --type "$type" "$@")
    back=$(printf '%s\n' "$edited" | "$conv" --to-drawing --type "$type" "$@")
    printf '  stored  %s\n  editor  %s\n  stored  %s\n\n' "$line" "$edited" "$back"
  done < "$file"
}
show DosHebrew samples/doshebrew.txt
show DosEnglish samples/dosenglish.txt
show Windows samples/windows.txt
show TrueType samples/truetype.txt
show Windows samples/windows.txt --backwards
