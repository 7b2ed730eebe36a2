#!/usr/bin/env bash
# Builds the 32-bit Windows program with mingw-w64 and runs its tests under
# Wine: installs what is missing (as root), then the windows-x86 preset's
# configure, build and test. The Wine prefix lives in the build tree.
# Usage: test-windows.sh [BUILD_DIR]   (default: the preset's build/windows-x86)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/wine-setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
echo "== windows-x86: configure, build, test"
if (($# == 0)); then
  cmake --preset windows-x86 >/dev/null
  cmake --build --preset windows-x86 -j "$jobs"
  ctest --preset windows-x86 -j "$jobs"
else
  cmake --preset windows-x86 -B "$1" >/dev/null
  cmake --build "$1" -j "$jobs"
  ctest --test-dir "$1" --output-on-failure -j "$jobs"
fi
