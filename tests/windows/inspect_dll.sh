#!/usr/bin/env bash
# Inspects the stand-in SimConnect.dll as Windows would see it: a PE32 i386
# DLL that exports exactly the operations vantilo.exe imports, under their
# plain names, and imports nothing but Windows' own DLLs (no runtime DLL
# from the compiler). Prints each fault; exit 1.
# Usage: inspect_dll.sh OBJDUMP DLL
set -euo pipefail

objdump=$1
dll=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

faults=0
fault() {
  echo "dll: $*"
  faults=$((faults + 1))
}

# Compares two newline-separated lists; on a difference prints both sides.
same_list() {
  local what=$1 expected=$2 actual=$3
  if [[ "$expected" != "$actual" ]]; then
    fault "$what differ:"
    diff <(echo "$expected") <(echo "$actual") | sed 's/^/  /' || true
  fi
}

"$objdump" -p "$dll" >"$work/headers" 2>&1 || {
  cat "$work/headers"
  echo "dll: objdump cannot read $dll"
  exit 1
}

# The image: PE32 for i386, with the DLL flag among its characteristics.
grep -q 'file format pei-i386$' "$work/headers" || fault "not a pei-i386 image"
grep -qP '^Magic\t+010b\t\(PE32\)$' "$work/headers" || fault "not PE32 (optional header magic)"
awk '/^Characteristics / { inside = 1; next } inside && /^\t/ { print; next } { inside = 0 }' \
  "$work/headers" | grep -qx $'\tDLL' || fault "not a DLL (characteristics)"

# The exports: the names listed under "[Ordinal/Name Pointer] Table".
exports=$(awk '
  /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
  inside && /^\t\[/ { print $NF; next }
  { inside = 0 }
' "$work/headers" | LC_ALL=C sort)
expected_exports=$(
  LC_ALL=C sort <<'NAMES'
SimConnect_AddClientEventToNotificationGroup
SimConnect_AddToDataDefinition
SimConnect_CallDispatch
SimConnect_CameraSetRelative6DOF
SimConnect_Close
SimConnect_MapClientEventToSimEvent
SimConnect_MapInputEventToClientEvent
SimConnect_MenuAddItem
SimConnect_MenuAddSubItem
SimConnect_MenuDeleteItem
SimConnect_MenuDeleteSubItem
SimConnect_Open
SimConnect_RequestDataOnSimObject
SimConnect_SetInputGroupState
SimConnect_SubscribeToSystemEvent
NAMES
)
same_list "exported names" "$expected_exports" "$exports"
awk '$1 == "Name" && $3 == "SimConnect.dll" { found = 1 } END { exit !found }' "$work/headers" ||
  fault "the export directory does not name SimConnect.dll"

# The imported DLLs: Windows' kernel, C runtime and sockets, nothing else.
dlls=$(grep -P '^\tDLL Name: ' "$work/headers" | awk '{ print $3 }' | LC_ALL=C sort)
same_list "imported DLLs" "$(printf '%s\n' KERNEL32.dll WS2_32.dll msvcrt.dll)" "$dlls"

if ((faults)); then
  exit 1
fi
echo "dll: ok"
