#!/usr/bin/env bash
# Builds the 32-bit Windows program with mingw-w64 and runs its tests under
# Wine: installs what is missing (as root), then the windows-x86 preset's
# configure, build and test. The Wine prefixes live in the build tree. The
# end-to-end test also runs the native vantilo and vantilo-standin, taken
# from the native ci build (scripts/test.sh builds it first) unless the
# environment variable VANTILO_NATIVE_BUILD_DIR names another native build.
# Usage: test-windows.sh [BUILD_DIR]   (default: the preset's build/windows-x86)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/wine-setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
native_build=${VANTILO_NATIVE_BUILD_DIR:-$PWD/build/ci}
if [[ ! -x "$native_build/vantilo-standin" ]]; then
  echo "test-windows: no native vantilo-standin in $native_build; the end-to-end test will" \
    "fail (build the ci preset first, or set VANTILO_NATIVE_BUILD_DIR)" >&2
fi
echo "== windows-x86: configure, build, test"
if (($# == 0)); then
  cmake --preset windows-x86 -DVANTILO_NATIVE_BUILD_DIR="$native_build" >/dev/null
  cmake --build --preset windows-x86 -j "$jobs"
  ctest --preset windows-x86 -j "$jobs"
else
  cmake --preset windows-x86 -B "$1" -DVANTILO_NATIVE_BUILD_DIR="$native_build" >/dev/null
  cmake --build "$1" -j "$jobs"
  ctest --test-dir "$1" --output-on-failure -j "$jobs"
fi
