#!/usr/bin/env bash
# Inspects the stand-in SimConnect.dll as Windows would see it: a PE32 i386
# DLL that exports exactly the operations vantilo.exe imports (those
# hostlink/win32/SimConnect.def lists), under their plain names, and imports
# nothing but Windows' own DLLs (no runtime DLL from the compiler). Prints
# each fault; exit 1.
# Usage: inspect_dll.sh OBJDUMP DLL
set -euo pipefail

objdump=$1
dll=$2
here=$(cd "$(dirname "$0")" && pwd)

label=dll
source "$here/pe_checks.sh"
read_operations
read_headers "$objdump" "$dll"

# The image: PE32 for i386, with the DLL flag among its characteristics.
check_pe32_i386
awk '/^Characteristics / { inside = 1; next } inside && /^\t/ { print; next } { inside = 0 }' \
  "$work/headers" | grep -qx $'\tDLL' || fault "not a DLL (characteristics)"

# The exports: the names listed under "[Ordinal/Name Pointer] Table".
exports=$(awk '
  /^\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
  inside && /^\t\[/ { print $NF; next }
  { inside = 0 }
' "$work/headers" | LC_ALL=C sort)
same_list "exported names" "$operations" "$exports"
awk '$1 == "Name" && $3 == "SimConnect.dll" { found = 1 } END { exit !found }' "$work/headers" ||
  fault "the export directory does not name SimConnect.dll"

# The imported DLLs: Windows' kernel, C runtime, sockets, registry and
# shell (the Documents folder), nothing else.
dlls=$(imported_dlls)
same_list "imported DLLs" "$(printf '%s\n' ADVAPI32.dll KERNEL32.dll SHELL32.dll WS2_32.dll \
  msvcrt.dll)" "$dlls"

finish
