#!/usr/bin/env bash
# Builds and runs every test: installs what is missing, then the warnings-
# as-errors build and the sanitizer build, each with its whole test suite,
# the fuzz targets for a bounded time each, the 32-bit Windows build with
# its tests under Wine, and the release packages' quick check (built from a
# clean clone of HEAD, installed and run).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
for preset in ci asan; do
  echo "== $preset: configure, build, test"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

# The fuzz targets, each for a bounded time (clang's libFuzzer).
echo "== fuzz: configure, build, bounded runs"
cmake --workflow --preset fuzz

# The 32-bit Windows program and its tests under Wine.
scripts/test-windows.sh

# The packages, made from HEAD and smoke-tested (one build; the full
# reproducibility run is scripts/release.sh without --check).
scripts/release.sh --check
