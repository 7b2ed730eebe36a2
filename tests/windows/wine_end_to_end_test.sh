#!/usr/bin/env bash
# vantilo.exe under Wine against the native stand-in simulator, beside the
# Linux vantilo against the same scenario. The exe finds the stand-in
# SimConnect.dll only as the side-by-side assembly installed in a Wine
# prefix of this test's own, and the stand-in through SimConnect.cfg in its
# working folder. Both programs must print the same text (Wine's CRLF line
# ends aside), end with status 0, and leave the same trace of calls and
# camera commands; with no simulator listening both must say so. The two
# traces stay in end_to_end_traces/ of the working folder (ctest's: the
# build tree's tests/windows), linux.trace and wine.trace, for
# scripts/test-windows.sh --plot to draw.
# Usage: wine_end_to_end_test.sh WINEPREFIX EXE DLL ASSEMBLY_MANIFEST NODE NATIVE_BUILD_DIR
#   NATIVE_BUILD_DIR holds a native vantilo and vantilo-standin; when empty,
#   the environment variable VANTILO_NATIVE_BUILD_DIR is used. With
#   VANTILO_EXE_IN_PLACE=1 the exe runs in its own folder (an unpacked
#   release, which must hold no SimConnect.dll) instead of a copy.
set -uo pipefail

prefix=$1
exe=$2
dll=$3
assembly_manifest=$4
node=$5
native=${6:-${VANTILO_NATIVE_BUILD_DIR:-}}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
traces=$PWD/end_to_end_traces
rm -rf "$traces"
mkdir -p "$traces"
standin_pid=
cleanup() {
  if [[ -n "$standin_pid" ]]; then kill "$standin_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

if [[ -z "$native" || ! -x "$native/vantilo" || ! -x "$native/vantilo-standin" ]]; then
  echo "FAIL no native build: this test needs the Linux vantilo and vantilo-standin in" \
    "'${native}' (VANTILO_NATIVE_BUILD_DIR). Build the native ci preset first (scripts/test.sh" \
    "does), or configure this build with -DVANTILO_NATIVE_BUILD_DIR=<native build dir>."
  exit 1
fi
if ! command -v "$node" >/dev/null 2>&1; then
  echo "FAIL node ('$node') is needed to compare the traces"
  exit 1
fi
if [[ ! -f "$prefix/system.reg" ]]; then
  echo "FAIL the Wine prefix $prefix has not been made (build the wine_prefix_simconnect target)"
  exit 1
fi

# The stand-in DLL as the assembly the exe's manifest names.
assembly="x86_microsoft.flightsimulator.simconnect _67c7c14424d61b5b_10.0.60905.0_none_deadbeef"
winsxs="$prefix/drive_c/windows/winsxs"
mkdir -p "$winsxs/manifests" "$winsxs/$assembly"
cp "$assembly_manifest" "$winsxs/manifests/$assembly.manifest"
cp "$dll" "$winsxs/$assembly/SimConnect.dll"

# A few simulated seconds: level, a roll, the hat (camera held for four
# "1sec" ticks), the menu's Pause twice, and the hat again just before the
# menu's Exit, so no camera command can follow the Exit.
cat >"$work/scenario.txt" <<'EOF'
 0.0  pitch up 3 over 1
 2.0  roll right 25 over 2
 4.0  hat
 5.0  roll left 20 over 2
 8.5  menu Pause
 9.5  roll level over 1
10.0  menu Pause
10.5  roll right 10 over 1
11.5  hat
12.0  menu Exit
12.5  end
EOF

# Starts the stand-in on a free port with a trace; sets standin_port.
start_standin() {
  local name=$1
  : >"$work/$name.standin.err"  # there before the loop below reads it
  "$native/vantilo-standin" --port 0 --fps 20 --speed 4 --no-live \
    --scenario "$work/scenario.txt" --trace "$traces/$name.trace" \
    >"$work/$name.standin.out" 2>"$work/$name.standin.err" </dev/null &
  standin_pid=$!
  standin_port=
  for _ in $(seq 100); do
    standin_port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/$name.standin.err")
    [[ -n "$standin_port" ]] && return 0
    sleep 0.1
  done
  cat "$work/$name.standin.err"
  return 1
}

# Waits (at most 30 s) for the stand-in to reach the scenario's end.
stop_standin() {
  local name=$1 status
  for _ in $(seq 300); do
    kill -0 "$standin_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$standin_pid" 2>/dev/null
  wait "$standin_pid"
  status=$?
  standin_pid=
  [[ $status -eq 0 ]] || fail "$name: the stand-in ended with status $status"
}

write_cfg() {
  printf '[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=%s\r\n' "$2" >"$1/SimConnect.cfg"
}

run_linux() {
  (cd "$work/linux" && timeout 60 "$native/vantilo" >"$work/$1.stdout" </dev/null)
}

run_wine() {
  (cd "$work/wine" && WINEPREFIX=$prefix WINEDEBUG=-all,+loaddll \
    WINEDLLOVERRIDES="mscoree,mshtml=" timeout 120 wine vantilo.exe \
    >"$work/$1.stdout.crlf" 2>"$work/$1.stderr" </dev/null)
  local status=$?
  sed 's/\r$//' "$work/$1.stdout.crlf" >"$work/$1.stdout"
  return $status
}

# Each program in a folder of its own; nothing but the exe in Wine's, or
# the exe where it was unpacked.
mkdir -p "$work/linux"
if [[ ${VANTILO_EXE_IN_PLACE:-0} == 1 ]]; then
  ln -s "$(cd "$(dirname "$exe")" && pwd)" "$work/wine"
  if [[ -e "$work/wine/SimConnect.dll" || $(basename "$exe") != vantilo.exe ]]; then
    echo "FAIL the exe's folder must hold vantilo.exe and no SimConnect.dll: $(ls "$work/wine")"
    exit 1
  fi
else
  mkdir -p "$work/wine"
  cp "$exe" "$work/wine/vantilo.exe"
fi

# 1. Against the stand-in.
for side in linux wine; do
  start_standin "$side" || {
    fail "$side: the stand-in did not start"
    continue
  }
  write_cfg "$work/$side" "$standin_port"
  "run_$side" "$side"
  status=$?
  [[ $status -eq 0 ]] || fail "$side: vantilo ended with status $status, wanted 0"
  stop_standin "$side"
done
free_port=$standin_port  # nothing listens there any more

grep -qx 'Vantilo is ready!' "$work/linux.stdout" ||
  fail "the Linux program did not connect: $(cat "$work/linux.stdout")"
cmp -s "$work/linux.stdout" "$work/wine.stdout" || {
  fail "standard output differs (Linux, then Wine):"
  diff "$work/linux.stdout" "$work/wine.stdout" | sed 's/^/  /'
}
# Between the separators, only the author credit and the contact line.
separator='====================================================================='
banner="Welcome to Vantilo ver 1.0"$'\n\n'"$separator"$'\n\n'"By the Vantilo developers."$'\n'
banner+="Contact: the Vantilo project's issue tracker."$'\n'"$separator"$'\n\n'
cmp -s -n "${#banner}" <(printf '%s' "$banner") "$work/wine.stdout" ||
  fail "vantilo.exe's banner: $(head -c 300 "$work/wine.stdout")"
if ! grep -q 'Loaded L"C:\\\\windows\\\\winsxs\\\\x86_microsoft.flightsimulator.simconnect _67c7c14424d61b5b_10.0.60905.0_none_deadbeef\\\\SimConnect.dll"' \
  "$work/wine.stderr"; then
  fail "Wine did not load SimConnect.dll from the assembly; its loads:"
  grep -i 'simconnect' "$work/wine.stderr" | sed 's/^/  /'
fi
if [[ -f "$traces/linux.trace" && -f "$traces/wine.trace" ]]; then
  "$node" "$here/compare_traces.js" "$traces/linux.trace" "$traces/wine.trace" || fail "the traces differ"
else
  fail "a trace is missing"
fi

# 2. No simulator: the banner, the message without a newline, status 0.
for side in linux wine; do
  write_cfg "$work/$side" "$free_port"
  "run_$side" "$side-missing"
  status=$?
  [[ $status -eq 0 ]] || fail "$side without a simulator: status $status, wanted 0"
done
[[ $(tail -c 38 "$work/linux-missing.stdout") == 'You must start Flight Simulator first!' ]] ||
  fail "the Linux program without a simulator ends: $(tail -c 80 "$work/linux-missing.stdout")"
cmp -s "$work/linux-missing.stdout" "$work/wine-missing.stdout" || {
  fail "standard output without a simulator differs (Linux, then Wine):"
  diff "$work/linux-missing.stdout" "$work/wine-missing.stdout" | sed 's/^/  /'
}

if ((failures)); then
  for f in "$work"/*.standin.err "$work"/*.standin.out; do
    [[ -s "$f" ]] && { echo "--- $(basename "$f")"; tail -20 "$f"; }
  done
  exit 1
fi
echo "ok: vantilo.exe under Wine matches the Linux program, with and without a simulator"
