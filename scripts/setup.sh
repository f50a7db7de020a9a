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
  libwine-dev wine wine64 wine32:i386
  xvfb xauth x11-apps imagemagick fonts-dejavu-core fonts-wine
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
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_if_needed dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  sudo_if_needed apt-get update -qq
  sudo_if_needed apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Hebrew locale gives Wine the ANSI code page 1255.
if ! locale -a 2>/dev/null | grep -qi '^he_IL\.utf-\?8$'; then
  if ! grep -q '^he_IL.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'he_IL.UTF-8 UTF-8' | sudo_if_needed tee -a /etc/locale.gen >/dev/null
  fi
  sudo_if_needed locale-gen >/dev/null
fi
