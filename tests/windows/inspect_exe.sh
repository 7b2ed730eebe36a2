#!/usr/bin/env bash
# Inspects vantilo.exe as Windows would see it: a PE32 i386 console image
# that imports the SimConnect operations by plain name from SimConnect.dll,
# no runtime DLL beyond the system's, and its manifest (resource 1 of type
# RT_MANIFEST) checked by check_manifest.sh. The operations are those
# hostlink/win32/SimConnect.def lists, or DEF's. With --direct, the same of
# vantilo-direct.exe: no SimConnect.dll among its imports but Winsock, the
# registry's and the shell's, and a manifest that binds nothing. Prints
# each fault; exit 1.
# Usage: inspect_exe.sh [--direct] OBJDUMP OBJCOPY EXE [DEF]
set -euo pipefail

direct=0
if [[ $1 == --direct ]]; then
  direct=1
  shift
fi
objdump=$1
objcopy=$2
exe=$3
def=${4:-}
here=$(cd "$(dirname "$0")" && pwd)

label=exe
source "$here/pe_checks.sh"
read_operations "$def"
read_headers "$objdump" "$exe"

# The image.
check_pe32_i386
grep -qP '^Subsystem\t+00000003\t\(Windows CUI\)$' "$work/headers" ||
  fault "not a console program (subsystem 3)"

# The imports, as "DLL<TAB>name" lines from objdump's import tables: a
# "DLL Name" line, then one tab-indented line per imported name.
awk '
  /^[^\t]/ { dll = "" }
  /^\tDLL Name: / { dll = $3; next }
  /^\t[0-9a-f]+\t/ && dll != "" { print dll "\t" $3 }
' "$work/headers" >"$work/imports"
dlls=$(imported_dlls)
if ((direct)); then
  same_list "imported DLLs" "$(printf '%s\n' ADVAPI32.dll KERNEL32.dll SHELL32.dll WINMM.DLL \
    WS2_32.dll msvcrt.dll)" "$dlls"
  manifest_mode=--no-dependency
else
  same_list "imported DLLs" "$(printf '%s\n' KERNEL32.dll SimConnect.dll WINMM.DLL msvcrt.dll)" "$dlls"
  simconnect=$(awk -F'\t' '$1 == "SimConnect.dll" { print $2 }' "$work/imports" | LC_ALL=C sort)
  same_list "SimConnect.dll imports" "$operations" "$simconnect"
  manifest_mode=
fi

winmm=$(awk -F'\t' '$1 == "WINMM.DLL" { print $2 }' "$work/imports" | LC_ALL=C sort)
same_list "WINMM.DLL imports" "$(printf '%s\n' timeBeginPeriod timeEndPeriod)" "$winmm"

# The manifest: the resource tree's type 24 (RT_MANIFEST), name 1, first
# language. objdump indents each level two more; the leaf gives RVA and size.
leaf=$(awk '
  /Entry: ID: / { depth = index($0, "Entry"); gsub(",", "") }
  /Entry: ID: / && depth < 8 { type = $4 }
  /Entry: ID: / && depth >= 8 && depth < 10 { name = $4 }
  /Leaf: Addr: / && type == "0x000018" && name == "0x000001" && !found {
    gsub(",", ""); print $4, $6; found = 1
  }
' "$work/headers")
if [[ -z "$leaf" ]]; then
  fault "no manifest resource (type 24, id 1)"
else
  read -r rva size <<<"$leaf"
  image_base=$(awk '$1 == "ImageBase" { print $2 }' "$work/headers")
  rsrc_vma=$("$objdump" -h "$exe" | awk '$2 == ".rsrc" { print $4 }')
  offset=$((rva + 0x$image_base - 0x$rsrc_vma))
  "$objcopy" -O binary --only-section=.rsrc "$exe" "$work/rsrc.bin"
  tail -c +$((offset + 1)) "$work/rsrc.bin" | head -c $((size)) >"$work/manifest.xml"
  "$here/check_manifest.sh" $manifest_mode "$work/manifest.xml" | sed 's/^/exe: /' ||
    faults=$((faults + 1))
fi

finish
