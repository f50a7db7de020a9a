#!/usr/bin/env bash
# Builds everything and runs every test: natively, the fuzz target for a
# bounded time, and the cross-built tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup.sh

jobs=$(nproc)
build=${VORN_BUILD:-build}

echo "== native build and tests"
cmake -S . -B "$build/native" -G Ninja >/dev/null
cmake --build "$build/native" -j "$jobs"
ctest --test-dir "$build/native" --output-on-failure -j "$jobs"

echo "== fuzzing the conversions (bounded)"
cmake -S . -B "$build/fuzz" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVORN_FUZZ=ON -DVORN_BENCH=OFF >/dev/null
cmake --build "$build/fuzz" -j "$jobs" --target conversions_fuzz profile_fuzz migrate_fuzz
mkdir -p "$build/fuzz/corpus" "$build/fuzz/profile-corpus"
"$build/fuzz/fuzz/conversions_fuzz" -runs=300000 -max_total_time=60 -max_len=512 \
  -artifact_prefix="$build/fuzz/" "$build/fuzz/corpus" 2>&1 | tail -2
echo "== fuzzing the profile reader (bounded)"
# Its files live in the temporary folder: in memory where there is one.
fuzz_tmp=${TMPDIR:-/tmp}; [ -d /dev/shm ] && [ -w /dev/shm ] && fuzz_tmp=/dev/shm
TMPDIR=$fuzz_tmp "$build/fuzz/fuzz/profile_fuzz" -max_total_time=30 -max_len=2048 \
  -artifact_prefix="$build/fuzz/" "$build/fuzz/profile-corpus" 2>&1 | tail -2
echo "== fuzzing the drawing migrator (bounded)"
mkdir -p "$build/fuzz/migrate-corpus"
"$build/fuzz/fuzz/migrate_fuzz" -max_total_time=20 -max_len=1024 \
  -artifact_prefix="$build/fuzz/" "$build/fuzz/migrate-corpus" 2>&1 | tail -2

# Xvfb for the windows, when no display is set; stopped on exit.
xvfb_pid=""
cleanup() {
  for p in "$build"/win*/wineprefix; do [ -d "$p" ] && WINEPREFIX=$root/$p /usr/lib/wine/wineserver -k 2>/dev/null || true; done
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:${VORN_XVFB_DISPLAY:-97}
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
fi

# 32-bit Windows programs need a kernel that runs 32-bit Linux programs
# (Wine's 32-bit loader is one); where it cannot, they are built, not run.
can_run_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

for arch in x86_64 i686; do
  dir="$build/win-$arch"
  echo "== cross build $arch"
  # Release builds: the tests run against what ships (scripts/release.sh packages these).
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" >/dev/null
  winearch=win64; [ "$arch" = i686 ] && winearch=win32
  if [ "$arch" = i686 ] && ! can_run_32bit; then
    # Only what ships and what packaging needs: its tests could not run.
    cmake --build "$dir" -j "$jobs" --target vorn2020 testhost
    echo "== $arch: the server built; its tests not run: Wine cannot run 32-bit programs on this machine"
    continue
  fi
  cmake --build "$dir" -j "$jobs"
  echo "== $arch tests under Wine"
  scripts/wine-prefix.sh "$root/$dir/wineprefix" "$winearch"
  # Wine's background services start with the first program and keep its
  # output streams: start them here, away from ctest's.
  scripts/wine-run.sh "$root/$dir/wineprefix" "$winearch" cmd /c exit >/dev/null 2>&1 </dev/null || true
  ctest --test-dir "$dir" --output-on-failure
done

echo "== release packages, installed and removed by their own scripts"
zips_made=$(bash scripts/release.sh --from "$build")
mapfile -t zips <<<"$zips_made"
for zip in "${zips[@]}"; do
  case $zip in
    *-win64.zip) python3 tests/release_install_test.py "$root" "$zip" "$root/$build/win-x86_64/wineprefix" win64 \
                   "$root/$build/win-x86_64/testhost/testhost.exe" ;;
    *-win32.zip) if can_run_32bit; then
                   python3 tests/release_install_test.py "$root" "$zip" "$root/$build/win-i686/wineprefix" win32 \
                     "$root/$build/win-i686/testhost/testhost.exe"
                 else
                   # The 64-bit prefix checks which regsvr32 its scripts choose.
                   python3 tests/release_install_test.py "$root" "$zip" "$root/$build/win-x86_64/wineprefix" win64
                   echo "== $zip: checked; not installed: Wine cannot run 32-bit programs on this machine"
                 fi ;;
  esac
done
