#!/usr/bin/env bash
# Creates the tests' Wine prefix once, under the build folder, with a Hebrew
# locale and without the window manager wait. Usage: wine-prefix.sh PREFIX ARCH
set -euo pipefail
prefix=$1 arch=$2
[ -f "$prefix/system.reg" ] && exit 0
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=he_IL.UTF-8 LANG=he_IL.UTF-8
export WINEDLLOVERRIDES="mscoree=;mshtml="
if [ "$arch" = win64 ]; then loader=/usr/lib/wine/wine64; else loader=/usr/lib/wine/wine; export WINEARCH=win32; fi
mkdir -p "$prefix/drive_c/windows/Fonts"
# Fonts are fixed before the prefix first starts: it remembers every font seen.
[ -f /var/cache/vorn/marlett.ttf ] && cp /var/cache/vorn/marlett.ttf "$prefix/drive_c/windows/Fonts/"
"$loader" wineboot -i >/dev/null 2>&1 </dev/null || true
"$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 </dev/null || true
# Let the server write the registry out and end.
/usr/lib/wine/wineserver -w
