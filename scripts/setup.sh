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
  locales time python3 xz-utils
  python3-ezdxf python3-matplotlib
  wixl msitools
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
    sudo_if_needed apt-get update -o DPkg::Lock::Timeout=300 -qq && break
    echo "apt-get update failed (attempt $attempt)"; sleep $((attempt * 10))
  done
  sudo_if_needed apt-get install -o DPkg::Lock::Timeout=300 -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine's 32-bit half runs the 32-bit tests (the kernel runs 32-bit programs
# through its IA32 emulation). Without it the 32-bit build is still made, only
# not run, so a failed install is reported and is not fatal.
#
# A mirror in mid-sync can serve an index whose size differs from the one its
# signed Release file names; apt then drops that index. For the i386 half that
# is fatal: the amd64 libraries come from the newer index, multiarch needs the
# same versions on both sides, and wine32 cannot be resolved. The fallback
# takes such an index as the mirror serves it, and says so.
take_unsized_indexes() {
  local log=$1 url list tmp
  while read -r url; do
    list=/var/lib/apt/lists/$(printf '%s' "${url#*://}" | sed -e 's/\.\(xz\|gz\|bz2\|lz4\)$//' -e 's|/|_|g')
    [ -s "$list" ] && continue
    tmp=$(mktemp)
    if /usr/lib/apt/apt-helper download-file "$url" "$tmp" >/dev/null 2>&1 && decompress_index "$url" "$tmp" "$tmp.txt" &&
       head -c 9 "$tmp.txt" | grep -q '^Package: '; then
      sudo_if_needed install -m 644 "$tmp.txt" "$list"
      echo "setup: $url did not match its Release file (mirror in mid-sync); took it as served, unverified, as $list"
    else
      echo "setup: $url did not match its Release file and could not be taken as served"
    fi
    rm -f "$tmp" "$tmp.txt"
  done < <(sed -n 's/^E: Failed to fetch \([^ ]*\)  *File has unexpected size.*/\1/p' "$log")
}

decompress_index() {
  case $1 in
    *.xz) xz -dc "$2" >"$3" ;;
    *.gz) gzip -dc "$2" >"$3" ;;
    *.bz2) bzip2 -dc "$2" >"$3" ;;
    *) cp "$2" "$3" ;;
  esac
}

wine32_installed() { dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; }

install_wine32() {
  wine32_installed && return 0
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || sudo_if_needed dpkg --add-architecture i386
  local log; log=$(mktemp)
  sudo_if_needed apt-get update -o DPkg::Lock::Timeout=300 -qq >"$log" 2>&1 || true
  if ! apt-get install -s -qq --no-install-recommends wine32:i386 >/dev/null 2>&1; then
    take_unsized_indexes "$log" || true
  fi
  rm -f "$log"
  log=$(mktemp)
  if sudo_if_needed apt-get install -o DPkg::Lock::Timeout=300 -y -qq --no-install-recommends wine32:i386 >"$log" 2>&1; then
    echo "setup: installed Wine's 32-bit half (wine32:i386)"
  else
    echo "setup: wine32:i386 could not be installed; the 32-bit tests will not run. apt says:"
    grep '^E:\|Depends:\|but' "$log" | head -8 | sed 's/^/  /'
  fi
  rm -f "$log"
}
install_wine32

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
