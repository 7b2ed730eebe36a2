#!/usr/bin/env bash
# The main job: builds Vantilo and the stand-in simulator, starts the
# stand-in with its default scenario, and runs vantilo against it in this
# terminal; then draws the run's trace (scripts/plot.sh) as vantilo-demo.svg
# in the current folder, or as FILE with --plot FILE, and says how many
# frames went without a camera command outside the picture's bands and in
# them. Every other option goes to the stand-in. Ends with vantilo's exit
# status.
set -euo pipefail
plot=vantilo-demo.svg
standin_args=()
while (($#)); do
  case $1 in
    --plot)
      [[ $# -ge 2 ]] || {
        echo "demo: --plot needs a file name" >&2
        exit 2
      }
      plot=$2
      shift 2
      ;;
    *)
      standin_args+=("$1")
      shift
      ;;
  esac
done
plot=$(realpath -m -- "$plot")  # from the current folder, before the cd below
cd "$(dirname "$0")/.."
root=$(pwd)
# shellcheck source-path=SCRIPTDIR source=../tests/support/programs.sh
source tests/support/programs.sh

scripts/setup.sh --native
cmake --preset demo >/dev/null
cmake --build --preset demo -j "$(nproc 2>/dev/null || echo 2)" --target vantilo vantilo-standin

work=$(mktemp -d)
cleanup() {
  [[ -n $standin_pid ]] && kill "$standin_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The picture names the scenario and draws the trace the stand-in writes
# (the last --trace wins, so one given to the demo is kept).
trace=$work/demo.trace
scenario="built-in scenario"
for ((i = 0; i + 1 < ${#standin_args[@]}; i++)); do
  case ${standin_args[i]} in
    --scenario) scenario=$(basename "${standin_args[i + 1]}") ;;
    --trace) trace=${standin_args[i + 1]} ;;
  esac
done
# A free port (standin_start gives --port 0), so the demo does not meet a
# simulator already on 2048. On a terminal the stand-in reads its keys from
# it (h hat, v view, p pause, ...).
standin=(build/demo/vantilo-standin --trace "$work/demo.trace" "${standin_args[@]}")
if [[ -t 0 ]]; then
  standin_start --echo "$work/standin.err" "${standin[@]}" </dev/tty
else
  standin_start --echo "$work/standin.err" "${standin[@]}"
fi || {
  echo "demo: the stand-in simulator did not start" >&2
  exit 1
}
write_cfg "$work" "$standin_port"

status=0
(cd "$work" && "$root/build/demo/vantilo") || status=$?
wait "$standin_pid" || true
standin_pid=
echo
echo "demo: vantilo exited with status $status"
if counts=$(scripts/plot.sh --scenario "$scenario" "$trace" "$plot"); then
  # The frames the stand-in's summary counts without a command, split as the
  # picture does: "frames=N outside_bands=N in_bands=N after_quit=N".
  IFS=' =' read -r _ _ _ outside _ held _ after <<<"$counts"
  line="demo: frames without a camera command: $outside outside the bands, $held held on purpose"
  line+=" (hat hold, menu Pause, other views, simulator paused)"
  ((after == 0)) || line+=", $after after vantilo quit"
  echo "$line"
  echo "demo: the picture of this run: $plot"
else
  echo "demo: no picture of this run" >&2
fi
exit "$status"
