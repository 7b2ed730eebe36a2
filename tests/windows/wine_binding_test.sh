#!/usr/bin/env bash
# Runs vantilo.exe under Wine where the SimConnect assembly is not installed
# and no SimConnect.dll lies beside it: Wine's loader must read the manifest
# from the exe's resource 1, look for exactly the SimConnect assembly, and
# refuse to start the program (status 53), as Windows would.
# Usage: wine_binding_test.sh WINEPREFIX EXE
set -uo pipefail

prefix=$1
exe=$2
# shellcheck source-path=SCRIPTDIR source=../support/shell_checks.sh
source "$(dirname "$0")/../support/shell_checks.sh"

if [[ -e "$prefix/drive_c/windows/winsxs/manifests" ]] &&
  ls "$prefix/drive_c/windows/winsxs/manifests" | grep -qi 'flightsimulator.simconnect'; then
  echo "the prefix $prefix has the SimConnect assembly; this test needs one without it"
  exit 1
fi

# A folder of its own, so no SimConnect.dll can lie beside the exe.
cp "$exe" "$work/vantilo.exe"
WINEPREFIX=$prefix WINEDEBUG=trace+actctx,err+module WINEDLLOVERRIDES="mscoree,mshtml=" \
  timeout 60 wine "$work/vantilo.exe" >"$work/out" 2>"$work/trace" </dev/null
status=$?

[[ $status -eq 53 ]] || fail "status $status, wanted 53 (the program must not start)"
[[ ! -s "$work/out" ]] || fail "the program printed: $(head -c 200 "$work/out")"

# Only the lines of the program's own thread: Wine's helper processes, which
# may start with it, have manifests of their own.
thread=$(grep -F 'get_manifest_in_module looking for res #0001 in module' "$work/trace" |
  grep -F 'vantilo.exe"' | head -n 1 | cut -d: -f1)
if [[ -z "$thread" ]]; then
  fail "Wine did not look for the manifest in vantilo.exe's resource 1"
fi
grep "^${thread:-none}:" "$work/trace" >"$work/mine"

expect_trace() {
  grep -qF -- "$1" "$work/mine" || fail "no trace line with: $1"
}
expect_trace 'parse_dependent_assembly_elem adding name=L"Microsoft.FlightSimulator.SimConnect " version=10.0.60905.0 arch=L"x86"'
expect_trace 'lookup_assembly looking for name=L"Microsoft.FlightSimulator.SimConnect " version=10.0.60905.0 arch=L"x86"'
expect_trace 'Library SimConnect.dll (which is needed by'

# The SimConnect assembly is the only one looked for.
others=$(grep -F 'lookup_assembly looking for' "$work/mine" | grep -vF 'name=L"Microsoft.FlightSimulator.SimConnect "')
[[ -z "$others" ]] || fail "other assemblies looked for: $others"

if ((failures)); then
  echo "--- Wine trace"
  cut -c1-300 "$work/trace" | grep -v 'RtlFindActivationContextSectionString' | tail -40
  exit 1
fi
echo "ok: Wine reads the manifest, looks for the SimConnect assembly and refuses to start"
