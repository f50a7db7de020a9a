#!/usr/bin/env bash
# Holds the Wine prefix's desktop open for the tests (see wine_desktop_keeper.cpp).
#   wine_desktop.sh start PREFIX ARCH KEEPER FLAG   starts the keeper, detached; waits for the desktop
#   wine_desktop.sh stop FLAG                       lets the keeper end
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "$1" = stop ]; then
  rm -f "$2"
  exit
fi
prefix=$2 arch=$3 keeper=$4 flag=$5
touch "$flag"
rm -f "$flag.ready"
p=$(realpath "$flag")
setsid "$here/../scripts/wine-run.sh" "$prefix" "$arch" "$keeper" "Z:${p//\//\\}" >/dev/null 2>&1 </dev/null &
for _ in $(seq 600); do
  [ -e "$flag.ready" ] && exit 0
  sleep 0.1
done
echo "the desktop did not start within a minute"
exit 1
