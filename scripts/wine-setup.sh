#!/usr/bin/env bash
# Installs what the Windows build and its Wine tests need, and only what is
# missing: the mingw-w64 i686 cross compilers and tools, and 32-bit Wine
# (which needs Debian's i386 architecture). Safe to run again and again.
set -euo pipefail

have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
have_pkg g++-mingw-w64-i686 || missing+=(g++-mingw-w64-i686)
have_pkg mingw-w64-tools || missing+=(mingw-w64-tools)
have_pkg wine || missing+=(wine)
have_pkg wine32:i386 || missing+=(wine32:i386)
have_pkg googletest || missing+=(googletest)
have_cmd cmake || missing+=(cmake)
have_cmd make || missing+=(make)

if ((${#missing[@]} == 0)); then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "wine-setup: missing Debian packages: ${missing[*]}" >&2
  echo "wine-setup: run this script as root, or: sudo dpkg --add-architecture i386 &&" \
    "sudo apt-get update && sudo apt-get install ${missing[*]}" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "wine-setup: adding the i386 architecture"
  dpkg --add-architecture i386
fi
echo "wine-setup: installing ${missing[*]}"
"$(dirname "$0")/apt-install.sh" "${missing[@]}"
