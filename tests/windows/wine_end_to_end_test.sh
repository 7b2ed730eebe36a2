#!/usr/bin/env bash
# vantilo.exe under Wine and the Linux vantilo, each against the native
# stand-in simulator with one scenario. The exe finds the stand-in
# SimConnect.dll only as the side-by-side assembly in this test's own Wine
# prefix, and the stand-in through SimConnect.cfg in its working folder.
# Both must print the same text (Wine's CRLF line ends aside), end with
# status 0 and leave the same calls and camera commands in their traces;
# with no simulator listening both must say so. The traces, linux.trace and
# wine.trace, stay in end_to_end_traces/ of the working folder (ctest's: the
# build tree's tests/windows) for scripts/test-windows.sh --plot to draw.
# Then vantilo-direct.exe, which needs no SimConnect client, finds the
# stand-in each way it can (table below).
# Usage: wine_end_to_end_test.sh WINEPREFIX EXE DLL ASSEMBLY_MANIFEST NODE NATIVE_BUILD_DIR
#          [DIRECT_EXE [PIPE_RELAY_EXE]]
#   NATIVE_BUILD_DIR holds a native vantilo and vantilo-standin; when empty,
#   the environment variable VANTILO_NATIVE_BUILD_DIR is used. With
#   VANTILO_EXE_IN_PLACE=1 the exes run in their own folder (an unpacked
#   release, which must hold no SimConnect.dll) instead of copies. Without
#   PIPE_RELAY_EXE the rows through a named pipe are left out.
set -uo pipefail

prefix=$1
exe=$2
dll=$3
assembly_manifest=$4
node=$5
native=${6:-${VANTILO_NATIVE_BUILD_DIR:-}}
direct=${7:-}
relay=${8:-}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=../support/programs.sh
source "$here/../support/programs.sh"
# shellcheck source-path=SCRIPTDIR source=../support/shell_checks.sh
source "$here/../support/shell_checks.sh"
relay_pid=
trap 'kill $standin_pid $relay_pid 2>/dev/null; rm -rf "$work"' EXIT
traces=$PWD/end_to_end_traces
rm -rf "$traces"
mkdir -p "$traces"

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
# Wine runs none of the exes on a machine that runs no 32-bit x86 program:
# there only the Linux program is tried, saying so.
sides=(linux wine)
if ! WINEDEBUG=-all wine --version >/dev/null 2>&1; then
  sides=(linux)
  echo "Wine cannot run on this machine (it runs no 32-bit x86 program): the exes are not run"
elif [[ ! -f "$prefix/system.reg" ]]; then
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

# Starts the stand-in on a free port with a trace and OPTIONS; sets standin_port.
start_standin() {
  local name=$1
  shift
  standin_start "$work/$name.standin.err" "$native/vantilo-standin" --fps 20 --speed 4 --no-live \
    "$@" --scenario "$work/scenario.txt" --trace "$traces/$name.trace" \
    >"$work/$name.standin.out" </dev/null
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

run_linux() {
  (cd "$work/linux" && timeout 60 "$native/vantilo" >"$work/$1.stdout" </dev/null)
}

wine_env=(env "WINEPREFIX=$prefix" "WINEDLLOVERRIDES=mscoree,mshtml=")
wine_here() { "${wine_env[@]}" WINEDEBUG=-all wine "$@"; }
# run_wine NAME [EXE]: the exe (vantilo.exe) in Wine's folder.
run_wine() {
  (cd "$work/wine" && timeout 120 "${wine_env[@]}" WINEDEBUG=-all,+loaddll \
    wine "${2:-vantilo.exe}" >"$work/$1.stdout.crlf" 2>"$work/$1.stderr.crlf" </dev/null)
  local status=$?
  sed 's/\r$//' "$work/$1.stdout.crlf" >"$work/$1.stdout"
  sed 's/\r$//' "$work/$1.stderr.crlf" >"$work/$1.stderr"
  return $status
}

# Each program in a folder of its own; nothing but the exe in Wine's, or
# the exe where it was unpacked.
mkdir -p "$work/linux"
if [[ ${VANTILO_EXE_IN_PLACE:-0} == 1 ]]; then
  ln -s "$(cd "$(dirname "$exe")" && pwd)" "$work/wine"
  if [[ -e "$work/wine/SimConnect.dll" || $(basename "$exe") != vantilo.exe ||
    (-n "$direct" && "$(dirname "$direct")" != "$(dirname "$exe")") ]]; then
    echo "FAIL the exes' folder must hold vantilo.exe and no SimConnect.dll: $(ls "$work/wine")"
    exit 1
  fi
else
  mkdir -p "$work/wine"
  cp "$exe" "$work/wine/vantilo.exe"
  if [[ -n "$direct" ]]; then cp "$direct" "$work/wine/vantilo-direct.exe"; fi
fi

# 1. Against the stand-in.
for side in "${sides[@]}"; do
  start_standin "$side" || {
    fail "$side: the stand-in did not start"
    continue
  }
  write_cfg "$work/$side" "$standin_port" $'\r\n'
  "run_$side" "$side"
  status=$?
  [[ $status -eq 0 ]] || fail "$side: vantilo ended with status $status, wanted 0"
  stop_standin "$side"
done
free_port=$standin_port  # nothing listens there any more

grep -qx 'Vantilo is ready!' "$work/linux.stdout" ||
  fail "the Linux program did not connect: $(cat "$work/linux.stdout")"
if [[ ${sides[*]} == linux ]]; then
  ((failures == 0)) && echo "ok: the Linux program against the stand-in"
  exit $((failures > 0))
fi
cmp -s "$work/linux.stdout" "$work/wine.stdout" || {
  fail "standard output differs (Linux, then Wine):"
  diff "$work/linux.stdout" "$work/wine.stdout" | sed 's/^/  /'
}
console_text banner >"$work/banner" || fail "no banner in the console text"
cmp -s "$work/banner" <(head -c "$(wc -c <"$work/banner")" "$work/wine.stdout") ||
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
  write_cfg "$work/$side" "$free_port" $'\r\n'
  started=$(date +%s%N)
  "run_$side" "$side-missing"
  status=$?
  missing_ms=$((($(date +%s%N) - started) / 1000000))  # the Wine side's, the last
  [[ $status -eq 0 ]] || fail "$side without a simulator: status $status, wanted 0"
done
told=$(console_text 'no simulator')
[[ -n $told && $(tail -c "${#told}" "$work/linux-missing.stdout") == "$told" ]] ||
  fail "the Linux program without a simulator ends: $(tail -c 80 "$work/linux-missing.stdout")"
cmp -s "$work/linux-missing.stdout" "$work/wine-missing.stdout" || {
  fail "standard output without a simulator differs (Linux, then Wine):"
  diff "$work/linux-missing.stdout" "$work/wine-missing.stdout" | sed 's/^/  /'
}

# 3. vantilo-direct.exe, finding the stand-in each way it can. A row:
# NAME|HOW|PERSONA|CHECK. HOW: cfg (SimConnect.cfg, TCP), registry (no file,
# the port under the FSX key), pipe:NAME (no file, the relay serving
# \\.\pipe\NAME), none. CHECK: same (the Linux run's output and calls),
# protocol4 (a refusal of 2, then 4, the camera moved), or a line that
# standard error must hold.
tried='no SimConnect.cfg, no simulator pipe, no port in the registry; 127.0.0.1:500 and 127.0.0.1:2048: connection refused'
direct_rows=(
  'cfg_p3d|cfg|p3d|protocol4'
  'registry|registry|fsx|same'
  'pipe_microsoft|pipe:Microsoft Flight Simulator\SimConnect|fsx|same'
  'pipe_prepar3d|pipe:Lockheed Martin Prepar3D v5\SimConnect|fsx|same'
  'msfs2024|cfg|msfs2024|note: SunRise (Microsoft Flight Simulator 2024) is reported to ignore SimConnect camera commands; the view may not move'
  "nothing_listening|none|fsx|$tried"
)
fsx_key='HKCU\Software\Microsoft\Microsoft Games\Flight Simulator'
for row in "${direct_rows[@]}"; do
  [[ -n "$direct" ]] || break
  IFS='|' read -r name how persona check <<<"$row"
  [[ $how != pipe:* || -n "$relay" ]] || { echo "skipped $name: no pipe relay" && continue; }
  out="$work/direct_$name" trace="$traces/direct_$name.trace"
  rm -f "$work/wine/SimConnect.cfg"
  [[ $how == none ]] || start_standin "direct_$name" --simulator "$persona" || fail "$name: no stand-in"
  case $how in
    cfg) write_cfg "$work/wine" "$standin_port" $'\r\n' ;;
    registry) wine_here reg add "$fsx_key" /v SimConnect_Port_IPv4 /d "$standin_port" /f >/dev/null ;;
    pipe:*)
      wine_here "$relay" "${how#pipe:}" "$standin_port" >"$work/relay.out" 2>&1 </dev/null &
      relay_pid=$!
      for _ in $(seq 300); do grep -q relaying "$work/relay.out" && break || sleep 0.1; done
      ;;
  esac
  started=$(date +%s%N)
  run_wine "direct_$name" vantilo-direct.exe || fail "$name: status $?, wanted 0"
  elapsed_ms=$((($(date +%s%N) - started) / 1000000))
  [[ -z "$relay_pid" ]] || { kill "$relay_pid" && wait "$relay_pid"; } 2>/dev/null
  relay_pid=
  [[ $how != registry ]] || wine_here reg delete "$fsx_key" /f >/dev/null
  [[ $how == none ]] || stop_standin "direct_$name"
  case $check in
    same)
      cmp -s "$work/linux.stdout" "$out.stdout" || fail "$name: output: $(diff "$work/linux.stdout" "$out.stdout")"
      "$node" "$here/compare_traces.js" "$traces/linux.trace" "$trace" || fail "$name: the calls differ"
      ;;
    protocol4)
      grep -q '"protocol":2,"size":296,"type":"Open"' "$trace" && grep -q '"protocol":4,"size":296,"type":"Open"' "$trace" &&
        grep -q '"kind":"camera"' "$trace" && ! grep -q '"ignored":true' "$trace" &&
        grep -qx 'Vantilo is ready!' "$out.stdout" || fail "$name: no Open at 2 then 4, or no camera moved"
      ;;
    *) grep -qxF "$check" "$out.stderr" || fail "$name: standard error: $(cat "$out.stderr")" ;;
  esac
  if [[ $how == none ]]; then
    # The search takes next to nothing: the run lasts as long as vantilo.exe's
    # refused at once (section 2), both mostly Wine's start and the 2 s pause.
    echo "$name: ${elapsed_ms} ms; vantilo.exe refused at once: ${missing_ms} ms"
    ((elapsed_ms < missing_ms + 2500)) || fail "$name: took ${elapsed_ms} ms"
    cmp -s "$work/wine-missing.stdout" "$out.stdout" || fail "$name: output: $(tail -c 80 "$out.stdout")"
  fi
done

if ((failures)); then
  for f in "$work"/*.standin.err "$work"/*.standin.out; do
    [[ -s "$f" ]] && { echo "--- $(basename "$f")"; tail -20 "$f"; }
  done
  exit 1
fi
echo "ok: vantilo.exe under Wine matches the Linux program, with and without a simulator"
[[ -z "$direct" ]] || echo "ok: vantilo-direct.exe found the stand-in each way it was offered"
