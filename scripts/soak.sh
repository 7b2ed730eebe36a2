#!/usr/bin/env bash
# The soak for longer than the test suite runs it: vantilo against the
# stand-in at 1000 fps for SECONDS simulated seconds (default 600), built
# with PRESET (default ci; asan for the sanitizer builds). The stand-in's
# trace takes about 0.7 MB per simulated second in /tmp while it runs.
# Usage: scripts/soak.sh [SECONDS] [PRESET]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
preset=${2:-ci}
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds < 40)); then
  echo "usage: scripts/soak.sh [SECONDS (40 or more)] [PRESET]" >&2
  exit 2
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j 2 --target soak_test vantilo vantilo-standin
VANTILO_SOAK_SECONDS=$seconds "build/$preset/tests/faults/soak_test"
