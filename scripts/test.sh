#!/usr/bin/env bash
# Builds everything and runs every test: natively, the fuzz targets for a
# bounded time, and the cross-built tests of both architectures under Wine.
#
#   bash scripts/test.sh            everything
#   bash scripts/test.sh --native   the native build and its tests only (the quick loop)
#   bash scripts/test.sh --soak N   builds, then runs both Wine suites N times back
#                                   to back with a busy process beside them; prints
#                                   each failure with its evidence and a count
#
# Each architecture's Wine suite starts as soon as that architecture is
# built, in a prefix and on a virtual display of its own, so that the two run
# side by side; the fuzzers run beside them. Every part's output is kept in
# build/test-logs/ and printed when it ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
native_only="" soak=""
usage() { echo "usage: bash scripts/test.sh [--native | --soak N]" >&2; exit 2; }
case ${1:-} in
  "") [ $# -le 1 ] || usage ;;
  --native) [ $# -eq 1 ] || usage; native_only=1 ;;
  --soak) [ $# -eq 2 ] && [[ $2 =~ ^[1-9][0-9]*$ ]] || usage; soak=$2 ;;
  *) usage ;;
esac
bash scripts/setup.sh

jobs=$(nproc)
build=${VORN_BUILD:-build}
logs=$root/$build/test-logs
mkdir -p "$logs"
rm -f "$logs"/*.log
started=$SECONDS
stage() { echo "== $* ($((SECONDS - started)) s)"; }

# --- What runs in the background, and its clean-up ---------------------------
pids=() names=() outputs=() xvfbs=() preparing=()
cleanup() {
  local p
  for p in "${pids[@]}" "${preparing[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "$build"/win*/wineprefix; do [ -d "$p" ] && WINEPREFIX=$root/$p /usr/lib/wine/wineserver -k 2>/dev/null || true; done
  for p in "${xvfbs[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT

# background NAME LOG COMMAND...: runs the command with its output in LOG.
background() {
  local name=$1 log=$2; shift 2
  "$@" >"$log" 2>&1 &
  pids+=($!) names+=("$name") outputs+=("$log")
}

# A virtual display for each architecture: the editors' tests drive windows,
# and two suites on one display would take each other's focus. Sets $display to
# the number of a free one, from $display on.
display=${VORN_XVFB_DISPLAY:-97}
start_xvfb() {
  while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
  # Room for the editors at 200 %.
  Xvfb ":$display" -screen 0 2560x1600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfbs+=($!)
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
}

# Why 32-bit Windows programs cannot run here, or nothing when they can.
# The loader is checked here; the suite itself first runs a program in its
# prefix, and says so when that fails.
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

zip_of() { grep -- "-win$1.zip\$" "$logs/zips"; }
msi_of() { grep -- "-win$1.msi\$" "$logs/zips"; }

# One architecture's suite in its prefix, on its display; then its release
# zip installed and removed by the zip's own scripts, once the zips are made.
wine_suite() {
  local arch=$1 display=$2 dir="$build/win-$1" winearch=win64 bits=64 status=0
  [ "$arch" = i686 ] && winearch=win32 bits=32
  local prefix=$root/$dir/wineprefix
  export DISPLAY=:$display
  scripts/wine-prefix.sh "$prefix" "$winearch"
  # A server left running from an earlier run keeps the desktop of its own
  # display: end it first.
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  # Wine's background services start with the first program and keep its
  # output streams: start them here, away from ctest's. This is also the
  # check that a program of this architecture runs at all.
  if ! scripts/wine-run.sh "$prefix" "$winearch" cmd /c exit >/dev/null 2>&1 </dev/null; then
    echo "a $bits-bit program did not run under Wine in $prefix"
    return 1
  fi
  # The DPI test sets the prefix's DPI and puts it back; a run stopped in
  # between would leave every later window at its DPI.
  scripts/wine-run.sh "$prefix" "$winearch" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f \
    >/dev/null 2>&1 </dev/null || true
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" || status=1
  while [ ! -e "$logs/zips" ]; do sleep 1; done
  # The release test's programs run with the desktop held open as the
  # suite's are, not while the desktop that the suite held is ending.
  local flag=$root/$dir/release-desktop.flag
  bash tests/wine_desktop.sh start "$prefix" "$winearch" "$root/$dir/tests/wine_desktop_keeper.exe" "$flag" || status=1
  VORN_EXIT_STATUS=$root/$dir/tests/exit_status.exe python3 tests/release_install_test.py \
    "$root" "$(zip_of "$bits")" "$prefix" "$winearch" "$root/$dir/testhost/testhost.exe" "$(msi_of "$bits")" \
    || status=1
  bash tests/wine_desktop.sh stop "$flag"
  return $status
}

fuzz() {
  cmake -S . -B "$build/fuzz" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DVORN_FUZZ=ON -DVORN_BENCH=OFF >/dev/null
  cmake --build "$build/fuzz" -j "$jobs" --target conversions_fuzz profile_fuzz migrate_fuzz
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
  echo "-- the drawing migrator"
  mkdir -p "$build/fuzz/migrate-corpus"
  "$build/fuzz/fuzz/migrate_fuzz" -max_total_time=20 -max_len=1024 \
    -artifact_prefix="$build/fuzz/" "$build/fuzz/migrate-corpus" 2>&1 | tail -2
}

# soak_suites N: both Wine suites N times back to back, side by side as in a
# normal run, with a busy process beside them as CI machines often have; each
# failure is printed with its log, and a count at the end. A test that fails
# here now and then fails CI now and then.
soak_suites() {
  local runs=$1 run i failures=0 soak_logs=$logs/soak busy
  mkdir -p "$soak_logs"
  rm -f "$soak_logs"/*.log
  sh -c 'while :; do :; done' &
  busy=$!
  pids+=("$busy")
  declare -A failed_in=()
  for run in $(seq "$runs"); do
    stage "soak run $run of $runs"
    pids=("$busy") names=() outputs=()
    for i in "${!archs[@]}"; do
      background "${archs[$i]}" "$soak_logs/run-$run-${archs[$i]}.log" wine_suite "${archs[$i]}" "${displays[$i]}"
    done
    for i in "${!names[@]}"; do
      if wait "${pids[$((i + 1))]}"; then
        echo "   ${names[$i]}: passed"
      else
        failures=$((failures + 1))
        failed_in[${names[$i]}]=$(( ${failed_in[${names[$i]}]:-0} + 1 ))
        echo "   ${names[$i]}: FAILED; its log (${outputs[$i]}):"
        sed 's/^/   | /' "${outputs[$i]}"
      fi
    done
  done
  kill "$busy" 2>/dev/null || true
  wait "$busy" 2>/dev/null || true
  pids=()
  echo "== soak ($((SECONDS - started)) s): $failures failed suite runs in $runs runs of ${#archs[@]} suites"
  for i in "${archs[@]}"; do echo "$i: ${failed_in[$i]:-0} of $runs failed"; done
  [ "$failures" -eq 0 ]
}

# --- Native build and tests; the Wine prefixes made meanwhile ------------------
# A prefix takes half a minute to make, mostly waiting: each architecture's is
# made on its own display while the builds run.
rm -f "$logs/zips"
no32=""
declare -A display_of=()
if [ -z "$native_only" ]; then
  no32=$(why_no_32bit)
  for arch in x86_64 i686; do
    [ "$arch" = i686 ] && [ -n "$no32" ] && continue
    start_xvfb
    display_of[$arch]=$display
    display=$((display + 1))
    winearch=win64
    [ "$arch" = i686 ] && winearch=win32
    mkdir -p "$build/win-$arch"
    DISPLAY=:${display_of[$arch]} scripts/wine-prefix.sh "$root/$build/win-$arch/wineprefix" "$winearch" \
      >"$logs/prefix-$arch.log" 2>&1 &
    preparing+=($!)
  done
fi

stage "native build and tests"
cmake -S . -B "$build/native" -G Ninja >/dev/null
cmake --build "$build/native" -j "$jobs"
ctest --test-dir "$build/native" --output-on-failure -j "$jobs"
[ -n "$native_only" ] && { stage "native tests passed"; exit 0; }

# --- Cross builds, each architecture's suite started once it is built ---------
archs=() displays=()
for p in "${preparing[@]}"; do
  wait "$p" || { echo "a Wine prefix could not be made:"; cat "$logs"/prefix-*.log; exit 1; }
done
preparing=()
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
  displays+=("${display_of[$arch]}")
  [ -n "$soak" ] && continue
  stage "$arch tests under Wine: started"
  background "$arch tests under Wine" "$logs/wine-$arch.log" wine_suite "$arch" "${displays[-1]}"
done

stage "release packages"
bash scripts/release.sh --from "$build" >"$logs/zips.part"
mv "$logs/zips.part" "$logs/zips"
[ -n "$soak" ] && { soak_suites "$soak"; exit; }
# A 32-bit zip that cannot be installed here is still checked for its contents.
if [ -n "$no32" ]; then
  background "32-bit zip contents" "$logs/zip-32.log" python3 tests/release_install_test.py "$root" "$(zip_of 32)"
fi

stage "fuzzing, beside the Wine suites"
background "fuzzing (bounded)" "$logs/fuzz.log" fuzz

failed=()
for i in "${!pids[@]}"; do
  status=0
  wait "${pids[$i]}" || status=$?
  echo "== ${names[$i]} (ended by $((SECONDS - started)) s)"
  cat "${outputs[$i]}"
  [ "$status" -eq 0 ] || failed+=("${names[$i]}")
done
pids=()

echo "== summary ($((SECONDS - started)) s)"
for arch in "${archs[@]}"; do
  echo "$arch under Wine: $(grep -h 'tests passed' "$logs/wine-$arch.log" | tail -1)"
done
[ -n "$no32" ] && echo "i686: the server built and its zip checked; its tests not run: $no32"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}"
  exit 1
fi
