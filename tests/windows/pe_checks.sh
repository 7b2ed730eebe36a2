# Shared by inspect_exe.sh and inspect_dll.sh (sourced, not run): counting
# faults, comparing lists, reading objdump's headers, the PE32 i386 checks,
# and the SimConnect operations the program calls. The sourcing script sets
# `label` (the word before each fault) and `work` (a scratch folder) first.

faults=0
fault() {
  echo "$label: $*"
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

# objdump -p of a file into $work/headers; stops when objdump cannot read it.
read_headers() {
  local objdump=$1 file=$2
  "$objdump" -p "$file" >"$work/headers" 2>&1 || {
    cat "$work/headers"
    echo "$label: objdump cannot read $file"
    exit 1
  }
}

check_pe32_i386() {
  grep -q 'file format pei-i386$' "$work/headers" || fault "not a pei-i386 image"
  grep -qP '^Magic\t+010b\t\(PE32\)$' "$work/headers" || fault "not PE32 (optional header magic)"
}

# The DLLs named in the import tables, sorted.
imported_dlls() {
  grep -P '^\tDLL Name: ' "$work/headers" | awk '{ print $3 }' | LC_ALL=C sort
}

# The SimConnect operations the program calls, sorted: what the exe imports
# and the stand-in DLL exports.
simconnect_operations() {
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
}

# Exits 1 after any fault, else says the file is fine.
finish() {
  if ((faults)); then
    exit 1
  fi
  echo "$label: ok"
}
