#!/usr/bin/env bash
# Builds the 32-bit Windows program with mingw-w64 and runs its tests under
# Wine: installs what is missing (as root), then the windows-x86 preset's
# configure, build and test. The Wine prefixes live in the build tree. The
# end-to-end test also runs the native vantilo and vantilo-standin, taken
# from the native ci build (scripts/test.sh builds it first) unless the
# environment variable VANTILO_NATIVE_BUILD_DIR names another native build.
# With --plot, draws the end-to-end test's traces (scripts/plot.sh) beside
# them: wine.svg, vantilo.exe's run, and linux.svg, the Linux program's, to
# compare by eye; it prints their paths, also when a test failed.
# Usage: test-windows.sh [--plot] [BUILD_DIR]   (default: the preset's build/windows-x86)
set -euo pipefail
cd "$(dirname "$0")/.."
plot=0
if [[ ${1:-} == --plot ]]; then
  plot=1
  shift
fi
build=${1:-build/windows-x86}

scripts/wine-setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
# Wine runs a 32-bit Windows program as a 32-bit x86 process; some virtual
# machines' kernels run none ("Exec format error"). There the programs are
# built and inspected, and the tests that run them are left out, saying so.
wine=ON
if ! WINEDEBUG=-all wine --version >/dev/null 2>&1; then
  wine=OFF
  echo "test-windows: Wine cannot run on this machine (it runs no 32-bit x86 program):" \
    "the tests that run the Windows programs are left out" >&2
fi
native_build=${VANTILO_NATIVE_BUILD_DIR:-$PWD/build/ci}
if [[ ! -x "$native_build/vantilo-standin" ]]; then
  echo "test-windows: no native vantilo-standin in $native_build; the end-to-end test will" \
    "fail (build the ci preset first, or set VANTILO_NATIVE_BUILD_DIR)" >&2
fi
echo "== windows-x86: configure, build, test"
status=0
if (($# == 0)); then
  cmake --preset windows-x86 -DVANTILO_NATIVE_BUILD_DIR="$native_build" -DVANTILO_WINE=$wine >/dev/null
  cmake --build --preset windows-x86 -j "$jobs"
  ctest --preset windows-x86 -j "$jobs" || status=$?
else
  cmake --preset windows-x86 -B "$1" -DVANTILO_NATIVE_BUILD_DIR="$native_build" \
    -DVANTILO_WINE=$wine >/dev/null
  cmake --build "$1" -j "$jobs"
  ctest --test-dir "$1" --output-on-failure -j "$jobs" || status=$?
fi

if ((plot)); then
  traces=$(realpath -m "$build/tests/windows/end_to_end_traces")
  for side in wine linux; do
    if scripts/plot.sh --scenario "Wine end-to-end test ($side)" "$traces/$side.trace" "$traces/$side.svg"; then
      echo "test-windows: the picture of the $side run: $traces/$side.svg"
    else
      echo "test-windows: no picture of the $side run" >&2
    fi
  done
fi
exit "$status"
