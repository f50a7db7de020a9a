#!/usr/bin/env bash
# Builds everything and runs every test: natively, the fuzz targets for a
# bounded time, and the cross-built tests of both architectures under Wine.
#
#   bash scripts/test.sh            everything
#   bash scripts/test.sh --native   the native build and its tests only (the quick loop)
#
# The two architectures' Wine suites run at the same time, each in a prefix
# and on a virtual display of its own, while the fuzzers run beside them.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native_only=""
case ${1:-} in
  "") ;;
  --native) native_only=1 ;;
  *) echo "usage: bash scripts/test.sh [--native]" >&2; exit 2 ;;
esac
bash scripts/setup.sh

jobs=$(nproc)
build=${VORN_BUILD:-build}
logs=$build/test-logs
mkdir -p "$logs"
started=$SECONDS
stage() { echo "== $* ($((SECONDS - started)) s)"; }

stage "native build and tests"
cmake -S . -B "$build/native" -G Ninja >/dev/null
cmake --build "$build/native" -j "$jobs"
ctest --test-dir "$build/native" --output-on-failure -j "$jobs"
[ -n "$native_only" ] && { stage "native tests passed"; exit 0; }

# --- What runs in the background, and its clean-up ---------------------------
pids=() xvfbs=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "$build"/win*/wineprefix; do [ -d "$p" ] && WINEPREFIX=$root/$p /usr/lib/wine/wineserver -k 2>/dev/null || true; done
  for p in "${xvfbs[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT

# A virtual display of its own for each suite: the editors' tests drive
# windows, and two suites on one display would take each other's focus.
# Prints the display's number.
start_xvfb() {
  local n=$1
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfbs+=($!)
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  echo "$n"
}

# Why 32-bit Windows programs cannot run here, or nothing when they can.
# The loader is checked first; the real check runs a program in the prefix.
why_no_32bit() {
  local out
  if [ ! -x /usr/lib/wine/wine ]; then
    echo "Wine's 32-bit half (wine32:i386) is not installed; scripts/setup.sh says why"
    return
  fi
  if ! out=$(/usr/lib/wine/wine --version 2>&1); then
    case $out in
      *"Exec format error"*) echo "the kernel does not run 32-bit programs (no IA32 emulation)" ;;
      *) echo "Wine's 32-bit loader does not start: ${out:0:200}" ;;
    esac
  fi
}

# --- Cross builds --------------------------------------------------------------
archs=()
no32=$(why_no_32bit)
for arch in x86_64 i686; do
  dir="$build/win-$arch"
  stage "cross build $arch"
  # Release builds: the tests run against what ships (scripts/release.sh packages these).
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" >/dev/null
  if [ "$arch" = i686 ] && [ -n "$no32" ]; then
    # Only what ships and what packaging needs: its tests could not run.
    cmake --build "$dir" -j "$jobs" --target vorn2020 testhost
    continue
  fi
  cmake --build "$dir" -j "$jobs"
  archs+=("$arch")
done

stage "release packages"
zips_made=$(bash scripts/release.sh --from "$build")
mapfile -t zips <<<"$zips_made"
zip_of() { local z; for z in "${zips[@]}"; do case $z in *-win"$1".zip) echo "$z" ;; esac; done; }

# --- Wine suites and fuzzing, side by side -------------------------------------
# One architecture: its prefix, a program that must run in it, its tests,
# then its release zip installed and removed by the zip's own scripts.
wine_suite() {
  local arch=$1 display=$2 dir="$build/win-$1" winearch=win64 bits=64
  [ "$arch" = i686 ] && winearch=win32 bits=32
  local prefix=$root/$dir/wineprefix
  export DISPLAY=:$display
  scripts/wine-prefix.sh "$prefix" "$winearch"
  # Wine's background services start with the first program and keep its
  # output streams: start them here, away from ctest's. This is also the
  # check that a program of this architecture runs at all.
  if ! scripts/wine-run.sh "$prefix" "$winearch" cmd /c exit >/dev/null 2>&1 </dev/null; then
    echo "a $bits-bit program did not run under Wine in $prefix"
    return 1
  fi
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
  python3 tests/release_install_test.py "$root" "$(zip_of "$bits")" "$prefix" "$winearch" \
    "$root/$dir/testhost/testhost.exe"
}

fuzz() {
  cmake -S . -B "$build/fuzz" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DVORN_FUZZ=ON -DVORN_BENCH=OFF >/dev/null
  cmake --build "$build/fuzz" -j 1 --target conversions_fuzz profile_fuzz
  mkdir -p "$build/fuzz/corpus" "$build/fuzz/profile-corpus"
  echo "-- the conversions"
  "$build/fuzz/fuzz/conversions_fuzz" -runs=300000 -max_total_time=60 -max_len=512 \
    -artifact_prefix="$build/fuzz/" "$build/fuzz/corpus" 2>&1 | tail -2
  echo "-- the profile reader"
  # Its files live in the temporary folder: in memory where there is one.
  local fuzz_tmp=${TMPDIR:-/tmp}
  [ -d /dev/shm ] && [ -w /dev/shm ] && fuzz_tmp=/dev/shm
  TMPDIR=$fuzz_tmp "$build/fuzz/fuzz/profile_fuzz" -max_total_time=30 -max_len=2048 \
    -artifact_prefix="$build/fuzz/" "$build/fuzz/profile-corpus" 2>&1 | tail -2
}

stage "under Wine: ${archs[*]}; fuzzing beside them"
names=() outputs=()
# background NAME LOG COMMAND...: runs the command with its output in LOG.
background() {
  local name=$1 log=$2; shift 2
  "$@" >"$log" 2>&1 &
  pids+=($!) names+=("$name") outputs+=("$log")
}
display=${VORN_XVFB_DISPLAY:-97}
for arch in "${archs[@]}"; do
  d=$(start_xvfb "$display"); display=$((d + 1))
  background "$arch tests under Wine" "$logs/wine-$arch.log" wine_suite "$arch" "$d"
done
background "fuzzing (bounded)" "$logs/fuzz.log" fuzz
# A 32-bit zip that cannot be installed here is still checked for its contents.
[ -n "$no32" ] && background "32-bit zip contents" "$logs/zip-32.log" \
  python3 tests/release_install_test.py "$root" "$(zip_of 32)"

failed=()
for i in "${!pids[@]}"; do
  status=0
  wait "${pids[$i]}" || status=$?
  echo "== ${names[$i]}"
  cat "${outputs[$i]}"
  [ "$status" -eq 0 ] || failed+=("${names[$i]}")
done
pids=()

echo "== summary ($((SECONDS - started)) s)"
for arch in "${archs[@]}"; do
  echo "$arch: $(grep -h 'tests passed' "$logs/wine-$arch.log" | tail -1)"
done
[ -n "$no32" ] && echo "i686: the server built; its tests not run: $no32"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}"
  exit 1
fi
