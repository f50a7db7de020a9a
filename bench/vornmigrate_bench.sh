#!/bin/bash
# Times vornmigrate on generated R2000 drawings of 25,000 to 200,000 texts
# (about 7 to 56 MB): the best of five whole-process runs, the CPU time
# (user + system) and the peak memory of each size, and the time per MB,
# which stays the same when the time is linear in the size.
#
#   bench/vornmigrate_bench.sh [build/native/vornmigrate] [--for host|logical|visual]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=${1:-$here/../build/native/vornmigrate}
target=${3:-host}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '[Fonts]\nHEBSIMP=DosHebrew\nHEBKEYS=DosEnglish\nTXT=TrueType\n' > "$work/HebFonts.txt"

printf '%-8s %8s %10s %10s %10s %12s\n' texts MB "wall s" "cpu s" "peak MB" "cpu ms/MB"
for texts in 25000 50000 100000 200000; do
  python3 "$here/make_drawing.py" "$work/in.dxf" "$texts"
  mb=$(awk -v b="$(stat -c %s "$work/in.dxf")" 'BEGIN { printf "%.1f", b / 1000000 }')
  best_wall=999 best_cpu=999 peak=0
  for run in 1 2 3 4 5; do
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" \
      "$tool" --quiet --map "$work/HebFonts.txt" --for "$target" "$work/in.dxf" "$work/out.dxf"
    read -r wall user sys kb < "$work/time"
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
    best_wall=$(awk -v a="$best_wall" -v b="$wall" 'BEGIN { print (b < a ? b : a) }')
    best_cpu=$(awk -v a="$best_cpu" -v b="$cpu" 'BEGIN { print (b < a ? b : a) }')
    peak=$(awk -v a="$peak" -v b="$kb" 'BEGIN { print (b > a ? b : a) }')
  done
  printf '%-8s %8s %10s %10s %10.1f %12.1f\n' "$texts" "$mb" "$best_wall" "$best_cpu" \
    "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "$(awk -v c="$best_cpu" -v m="$mb" 'BEGIN { print c * 1000 / m }')"
done
