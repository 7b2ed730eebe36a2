#!/usr/bin/env bash
# Runs the libFuzzer targets for as long as asked: scripts/fuzz.sh [SECONDS]
# [TARGET] (default 300 s each, every target). Builds the fuzz preset, runs
# each target over a fresh copy of its seed corpus (fuzz/run_fuzzer.cmake),
# prints executions and coverage, and fails if any target found a fault.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
only=${2:-}
# The targets are the folders of fuzz/corpus: each runs over its own seeds.
targets=()
for corpus in fuzz/corpus/*/; do
  targets+=("$(basename "$corpus")")
done
if [[ -n $only ]]; then
  [[ " ${targets[*]} " == *" $only "* ]] || { echo "unknown target '$only' (${targets[*]})" >&2; exit 2; }
  targets=("$only")
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2 >/dev/null
build=build/fuzz/fuzz

failed=0
results=()
for target in "${targets[@]}"; do
  echo "== $target: ${seconds} s"
  log=$build/long/$target.log
  mkdir -p "$build/long"
  status=ok
  cmake -D FUZZER="$build/$target" -D SEEDS="fuzz/corpus/$target" -D WORK="$build/long/$target" \
        -D SECONDS="$seconds" -P fuzz/run_fuzzer.cmake >"$log" 2>&1 || { status=FOUND; failed=1; }
  runs=$(grep -o 'number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  cov=$(grep -o 'DONE *cov: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  if [[ $status == FOUND ]]; then
    grep -E 'SUMMARY|Test unit written' "$log" || true
    echo "   findings in $build/long/$target/findings/ (full log: $log)"
  fi
  results+=("$(printf '%-22s %12s %6s  %s' "$target" "$runs" "$cov" "$status")")
done

printf '\n%-22s %12s %6s  %s\n' target executions cov result
printf '%s\n' "${results[@]}"
exit $failed
