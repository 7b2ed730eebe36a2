#!/usr/bin/env bash
# Builds the bench preset and prints one table: CameraDispatch per record
# (Google Benchmark), then end-to-end latency, frames without a command, CPU
# and peak memory at 60, 240 and 1000 fps for vantilo beside the
# node-simconnect baseline, both against the stand-in in the same run; then
# a node-simconnect follower's records a second beside 0, 20 and 63 clients
# flooding the stand-in.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat <<'EOF'
usage: scripts/bench.sh [--seconds N] [--rates 60,240,1000] [--apart] [--build-dir DIR]
  --seconds N      rolling seconds per frame rate (default 20; more for steadier figures)
  --rates LIST     frame rates to run (default 60,240,1000)
  --apart          run vantilo and the baseline one after the other, not side by side
  --build-dir DIR  build the bench preset in DIR instead of build/bench
EOF
}

seconds=20
rates=60,240,1000
apart=()
build_dir=build/bench
while (($#)); do
  case $1 in
    --seconds) seconds=${2:?}; shift 2 ;;
    --rates) rates=${2:?}; shift 2 ;;
    --apart) apart=(--apart); shift ;;
    --build-dir) build_dir=${2:?}; shift 2 ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done

command -v node >/dev/null || { echo "bench: node is needed for the baseline (scripts/setup.sh)" >&2; exit 1; }
[[ -d tests/peer/node_modules/node-simconnect ]] ||
  { echo "bench: node-simconnect is missing: run scripts/setup.sh" >&2; exit 1; }

echo "== building the bench preset in $build_dir" >&2
cmake --preset bench -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j2 --target vantilo-dispatch-bench vantilo-latency-bench \
  vantilo-sleep-floor vantilo-standin >/dev/null

work=$(mktemp -d /tmp/vantilo-bench.XXXXXX)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

echo "== CameraDispatch per record (median of 5 repetitions)" >&2
"$build_dir/vantilo-dispatch-bench" --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_format=csv >"$work/dispatch.csv" 2>/dev/null
# CSV: name,iterations,real_time,cpu_time,time_unit,...; the name is quoted.
median_ns() {
  awk -F, -v name="\"$1_median\"" '$1 == name && $5 == "ns" { printf "%.2f", $4 }' "$work/dispatch.csv"
}
attitude_ns=$(median_ns BM_AttitudeRecord)
event_ns=$(median_ns BM_EventRecord)
[[ -n $attitude_ns && -n $event_ns ]] ||
  { echo "bench: no figures from the dispatch benchmark (see $work/dispatch.csv)" >&2; exit 1; }

echo "== the polling loop's pause alone: Sleep(1) for 5 s" >&2
floor_cpu=$("$build_dir/vantilo-sleep-floor" 5 | cut -f1)

echo "== end to end, $seconds s per rate at $rates fps (files in $work)" >&2
status=0
"$build_dir/vantilo-latency-bench" --seconds "$seconds" --rates "$rates" "${apart[@]}" \
  --work "$work" >"$work/latency.tsv" || status=$?
echo "== a follower beside flooding clients, 5 s per run at 60 and 1000 fps" >&2
node bench/flood_bench.js "$build_dir/vantilo-standin" --seconds 5 --rates 60,1000 \
  --flooders 0,20,63 >"$work/flood.tsv" || status=$?
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
os=$(. /etc/os-release && echo "$PRETTY_NAME")
mode="side by side, one stand-in"
((${#apart[@]})) && mode="one after the other, a stand-in each"
{
  printf 'figure\tVantilo\tnode-simconnect baseline\n'
  printf 'CameraDispatch, ns per attitude record\t%s\tn/a\n' "$attitude_ns"
  printf 'CameraDispatch, ns per event record\t%s\tn/a\n' "$event_ns"
  printf 'bare Sleep(1) loop: CPU (%% of one core)\t%s\tn/a\n' "$floor_cpu"
  cat "$work/latency.tsv"
} | awk -F'\t' '{ printf "%-50s %-26s %s\n", $1, $2, $3 }'
echo
awk -F'\t' '{ printf "%-6s %-10s %-28s %s\n", $1, $2, $3, $4 }' "$work/flood.tsv"
echo
echo "clients: $mode; $seconds s of rolling per rate at --speed 1; latency from the"
echo "attitude record queued to the camera command applied, in the stand-in"
echo "machine: $cpu, $(nproc) cores, $os, Linux $(uname -r)"
echo "load average (1, 5, 15 min): $load_before before, $load_after after"
((status == 0)) || echo "bench: some runs failed (status $status); see $work" >&2
exit "$status"
