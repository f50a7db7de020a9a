#!/usr/bin/env bash
# Installs everything the native build, the cross build and the Wine tests need
# on a Debian 12 machine. Quick when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libfribidi-dev libfribidi-bin
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
  libwine-dev wine wine64
  xvfb xauth x11-apps imagemagick fonts-dejavu-core
  locales time python3
)

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  name=${p%%:*}; arch=${p#*:}; [ "$arch" = "$p" ] && arch=""
  q=$name; [ -n "$arch" ] && q="$name:$arch"
  if ! dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  # A mirror in mid-sync fails an index now and then: try again, and go on
  # with what was fetched when it keeps failing (the install says if it lacks).
  for attempt in 1 2 3; do
    sudo_if_needed apt-get update -qq && break
    echo "apt-get update failed (attempt $attempt)"; sleep $((attempt * 10))
  done
  sudo_if_needed apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine's 32-bit half runs the 32-bit tests where the kernel runs 32-bit
# programs. Without it the 32-bit build is still made, only not run, so a
# failed install (an i386 index behind the amd64 one, say) is not fatal.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_if_needed dpkg --add-architecture i386
    sudo_if_needed apt-get update -qq || true
  fi
  DEBIAN_FRONTEND=noninteractive sudo_if_needed apt-get install -y -qq --no-install-recommends wine32:i386 \
    >/dev/null 2>&1 || echo "wine32:i386 could not be installed: the 32-bit tests will not run"
fi

# Wine draws the title-bar buttons with Marlett. Only that font is taken from
# fonts-wine: its other faces lack Hebrew. Kept beside the package cache.
marlett=/var/cache/vorn/marlett.ttf
if [ ! -f "$marlett" ]; then
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get download fonts-wine >/dev/null 2>&1 && dpkg-deb -x fonts-wine_*.deb x) || true
  found=$(find "$tmp/x" -iname marlett.ttf 2>/dev/null | head -1)
  if [ -n "$found" ]; then
    sudo_if_needed mkdir -p /var/cache/vorn && sudo_if_needed cp "$found" "$marlett"
  fi
  rm -rf "$tmp"
fi

# The Hebrew locale gives Wine the ANSI code page 1255.
if ! locale -a 2>/dev/null | grep -qi '^he_IL\.utf-\?8$'; then
  if ! grep -q '^he_IL.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'he_IL.UTF-8 UTF-8' | sudo_if_needed tee -a /etc/locale.gen >/dev/null
  fi
  sudo_if_needed locale-gen >/dev/null
fi
