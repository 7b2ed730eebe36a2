#!/usr/bin/env bash
# The main job: builds Vantilo and the stand-in simulator, starts the
# stand-in with its default scenario, and runs vantilo against it in this
# terminal. Ends with vantilo's exit status.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup.sh --native
cmake --preset demo >/dev/null
cmake --build --preset demo -j "$(nproc 2>/dev/null || echo 2)" --target vantilo vantilo-standin

work=$(mktemp -d)
standin_pid=
cleanup() {
  [[ -n $standin_pid ]] && kill "$standin_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A free port, so the demo does not meet a simulator already on 2048. On a
# terminal the stand-in reads its keys from it (h hat, v view, p pause, ...).
standin=(build/demo/vantilo-standin --port 0 "$@")
if [[ -t 0 ]]; then
  "${standin[@]}" 2> >(tee "$work/standin.err" >&2) </dev/tty &
else
  "${standin[@]}" 2> >(tee "$work/standin.err" >&2) &
fi
standin_pid=$!
for _ in $(seq 100); do
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/standin.err" 2>/dev/null)
  [[ -n $port ]] && break
  sleep 0.1
done
if [[ -z ${port:-} ]]; then
  echo "demo: the stand-in simulator did not start" >&2
  exit 1
fi
printf '[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=%s\n' "$port" >"$work/SimConnect.cfg"

status=0
(cd "$work" && "$root/build/demo/vantilo") || status=$?
wait "$standin_pid" || true
standin_pid=
echo
echo "demo: vantilo exited with status $status"
exit "$status"
