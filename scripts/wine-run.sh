#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine, the way the tests need it:
# a Hebrew locale (ANSI code page 1255), no debug output (or the channels
# that $VORN_WINEDEBUG names), and a prefix that belongs to the build folder.
#   Usage: wine-run.sh PREFIX ARCH PROGRAM [ARGS...]
set -euo pipefail
prefix=$1 arch=$2; shift 2
export WINEPREFIX=$prefix WINEDEBUG=${VORN_WINEDEBUG:--all} LC_ALL=he_IL.UTF-8 LANG=he_IL.UTF-8
export WINEDLLOVERRIDES="mscoree=;mshtml="
if [ "$arch" = win64 ]; then loader=/usr/lib/wine/wine64; else loader=/usr/lib/wine/wine; export WINEARCH=win32; fi
[ -x "$loader" ] || loader=wine
# The background server inherits our output streams; start it detached first
# so that the caller does not wait for it after the program has ended.
/usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null || true
exec "$loader" "$@"
