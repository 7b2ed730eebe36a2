# Shared by inspect_exe.sh, inspect_dll.sh and check_manifest.sh (sourced,
# not run): shell_checks.sh's scratch folder $work, counting faults,
# comparing lists, reading objdump's headers, the PE32 i386 checks, and the
# SimConnect operations the program calls, read from the .def. The
# sourcing script sets `label` (the word before each fault) first.

# shellcheck source-path=SCRIPTDIR source=../support/shell_checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
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

# The one list of the SimConnect operations the program calls:
# vantilo.exe's import library (dlltool -k) and the stand-in SimConnect.dll's
# exports (ld --kill-at) are both made from it.
default_simconnect_def=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../hostlink/win32" && pwd)/SimConnect.def

# read_operations [DEF]: the entries of DEF's EXPORTS (the default .def when
# DEF is empty) into $operations, sorted, without the stdcall @N that -k and
# --kill-at drop: the names the exe imports and the DLL exports.
read_operations() {
  local def=${1:-$default_simconnect_def}
  operations=$(LC_ALL=C awk '{ sub(/\r$/, ""); sub(/;.*/, "") }
                NF == 0 { next }
                toupper($1) == "EXPORTS" { exports = 1; next }
                exports { sub(/@[0-9]+$/, "", $1); print $1 }' "$def" | LC_ALL=C sort)
  [[ -n $operations ]] || {
    echo "$label: no SimConnect operations in the EXPORTS of $def"
    exit 1
  }
}

# Exits 1 after any fault, else says the file is fine.
finish() {
  ((faults == 0)) || exit 1
  echo "$label: ok"
}
