#!/usr/bin/env bash
# Checks an application manifest's text: one dependency, exactly on the
# SimConnect client assembly 10.0.60905.0 (name with its trailing blank), run
# as invoker, and no Visual C++ runtime assembly. With --no-dependency (the
# manifest of vantilo-direct.exe) no dependency at all. Prints each fault;
# exit 1.
# Usage: check_manifest.sh [--no-dependency] MANIFEST_FILE
set -euo pipefail

dependencies_wanted=1
if [[ $1 == --no-dependency ]]; then
  dependencies_wanted=0
  shift
fi
file=$1
label=manifest
source "$(dirname "$0")/pe_checks.sh"

# One line, so elements split over lines match like any other.
text=$(tr '\r\n\t' '   ' <"$file")

if grep -qi 'VC90' <<<"$text"; then
  fault "depends on the Visual C++ 2008 runtime (Microsoft.VC90.CRT)"
fi

levels=$(grep -o '<requestedExecutionLevel[^>]*>' <<<"$text" || true)
if [[ $(grep -c . <<<"$levels") -ne 1 ]]; then
  fault "expected one requestedExecutionLevel, found: ${levels:-none}"
elif ! grep -q ' level="asInvoker"' <<<"$levels"; then
  fault "execution level is not asInvoker: $levels"
fi

dependencies=$(grep -o '<dependentAssembly>.*</dependentAssembly>' <<<"$text" || true)
count=$(grep -o '<dependentAssembly>' <<<"$dependencies" | grep -c . || true)
if [[ $count -ne $dependencies_wanted ]]; then
  fault "expected exactly $dependencies_wanted dependentAssembly, found $count"
elif ((dependencies_wanted)); then
  identity=$(grep -o '<assemblyIdentity[^>]*>' <<<"$dependencies" || true)
  # The attributes as name="value" lines, sorted as the expected ones are:
  # compared as a whole, so a missing, extra or changed attribute all show.
  attributes=$(grep -o '[A-Za-z]*="[^"]*"' <<<"$identity" | LC_ALL=C sort)
  expected='name="Microsoft.FlightSimulator.SimConnect "
processorArchitecture="x86"
publicKeyToken="67c7c14424d61b5b"
type="win32"
version="10.0.60905.0"'
  if [[ "$attributes" != "$expected" ]]; then
    fault "dependency identity differs:"
    diff <(echo "$expected") <(echo "$attributes") | sed 's/^/  /' || true
  fi
fi

finish
