#!/usr/bin/env bash
# Creates the tests' Wine prefix once, under the build folder, with a Hebrew
# locale and without the window manager wait. Usage: wine-prefix.sh PREFIX ARCH
set -euo pipefail
prefix=$1 arch=$2
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  "$here/wine-run.sh" "$prefix" "$arch" wineboot -i >/dev/null 2>&1 || true
  "$here/wine-run.sh" "$prefix" "$arch" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -w || true
fi
