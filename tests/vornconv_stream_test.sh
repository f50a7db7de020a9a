#!/usr/bin/env bash
# vornconv streams: 100 MB through it in constant memory, every line out,
# and 10 MB at least as fast as fribidi's own command over the same text.
set -euo pipefail
conv=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

line=$'\u2026\u2019\u2026\u2122 3 \u201e\u2026\u2014 f(x) < y %%130 abc 123\r'
for _ in $(seq 64); do printf '%s\n' "$line"; done > "$work/block"
block_lines=64

# About 100 MB, by doubling: peak memory must not grow with the input.
cp "$work/block" "$work/big"
lines=$block_lines
while [ "$(stat -c %s "$work/big")" -lt $((96 * 1024 * 1024)) ]; do
  cat "$work/big" "$work/big" > "$work/next" && mv "$work/next" "$work/big"
  lines=$((lines * 2))
done
peak_kb() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
small=$(peak_kb "$conv" --type DosHebrew < "$work/block")
big=$(peak_kb "$conv" --type DosHebrew < "$work/big")
out_lines=$("$conv" --type DosHebrew < "$work/big" | wc -l)
echo "lines out: $out_lines of $lines; peak memory: ${small} KB for 3 KB, ${big} KB for $(($(stat -c %s "$work/big") >> 20)) MB"
[ "$out_lines" -eq "$lines" ] || { echo "lines lost"; exit 1; }
[ "$big" -le $((small + 4096)) ] || { echo "memory grows with the input"; exit 1; }

# A tenth of it, 10 MB, against fribidi --nopad --nobreak.
head -n $((lines / 10)) "$work/big" > "$work/ten"
best() {  # best of three wall-clock runs, in milliseconds
  local b=999999 t
  for _ in 1 2 3; do
    t0=$(date +%s%N); "$@" < "$work/ten" > /dev/null; t1=$(date +%s%N)
    t=$(( (t1 - t0) / 1000000 )); [ "$t" -lt "$b" ] && b=$t
  done
  echo "$b"
}
ours=$(best "$conv" --to-editor --type DosHebrew)
theirs=$(best fribidi --nopad --nobreak)
echo "10 MB: vornconv ${ours} ms, fribidi ${theirs} ms"
[ "$ours" -le "$theirs" ] || { echo "slower than fribidi"; exit 1; }
echo "1 passed, 0 failed"
