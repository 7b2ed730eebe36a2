#!/usr/bin/env bash
# Line coverage of the program (control/, run/), its host links (hostlink/)
# and its platform peer (platform/) from the native test suite: builds the
# coverage preset, runs every test in it and prints gcovr's table. Extra arguments go to ctest,
# e.g. `scripts/coverage.sh -L program`.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v gcovr >/dev/null 2>&1; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "coverage: gcovr is missing: sudo apt-get install gcovr" >&2
    exit 1
  fi
  scripts/apt-install.sh gcovr
fi
jobs=$(nproc 2>/dev/null || echo 2)
cmake --preset coverage >/dev/null
find build/coverage -name '*.gcda' -delete
cmake --build --preset coverage -j "$jobs"
ctest --preset coverage -j "$jobs" "$@" || echo "coverage: some tests failed; the figures cover what ran" >&2
gcovr --root . --object-directory build/coverage \
  --filter 'control/' --filter 'run/' --filter 'hostlink/' --filter 'platform/' \
  --exclude-directories 'build/coverage/CMakeFiles/[0-9.]+' --print-summary build/coverage
