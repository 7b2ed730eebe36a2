# Shared by inspect_exe.sh and inspect_dll.sh (sourced, not run): counting
# faults, comparing lists, reading objdump's headers, the PE32 i386 checks,
# and the SimConnect operations the program calls, read from the .def. The
# sourcing script sets `label` (the word before each fault) and `work` (a
# scratch folder) first.

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

# read_operations [DEF]: the names DEF's EXPORTS give the operations (the
# default .def when DEF is empty), as the exe imports them and the DLL
# exports them, into $work/operations, sorted. Takes "; comments", CRLF
# lines, keywords in any case, the other sections (skipped), entries on the
# EXPORTS line itself, the stdcall decoration (the @N that -k and --kill-at
# drop), "@N" ordinals and "entry=internal" (the entry is the export).
# Stops, naming the line, on NONAME, PRIVATE or DATA (which would make the
# imports and the exports differ, or leave an export without its name), on
# any other word it does not know, on a line before any section, on an
# operation listed twice and on a .def with none.
read_operations() {
  local def=${1:-$default_simconnect_def}
  LC_ALL=C awk '
    function stop(why) {
      printf "%s:%d: %s: %s\n", FILENAME, FNR, why, line > "/dev/stderr"
      failed = 1
      exit 1
    }
    function entry(first,    name, i) {
      name = $first
      sub(/=.*/, "", name)         # entry=internal: the entry is the export
      gsub(/"/, "", name)
      sub(/@[0-9]+$/, "", name)    # the stdcall decoration
      if (name !~ /^[A-Za-z_][A-Za-z0-9_]*$/) stop("not an export name")
      for (i = first + 1; i <= NF; i++) {
        if ($i ~ /^@[0-9]+$/) continue                   # @N: an ordinal
        if ($i == "@" && $(i + 1) ~ /^[0-9]+$/) { i++; continue }
        if ($i == "NONAME" || $i == "PRIVATE" || $i == "DATA") stop($i " is not supported here")
        stop("cannot read \"" $i "\"")
      }
      if (name in seen) stop(name " listed twice")
      seen[name] = 1
      print name
      count++
    }
    {
      sub(/\r$/, "")
      line = $0
      sub(/;.*/, "")
      if (NF == 0) next
      keyword = toupper($1)
      if (keyword == "EXPORTS") {
        section = keyword
        if (NF > 1) entry(2)
        next
      }
      if (keyword ~ /^(NAME|LIBRARY|DESCRIPTION|STACKSIZE|HEAPSIZE|CODE|DATA|SECTIONS|SEGMENTS|VERSION|IMPORTS|STUB)$/) {
        section = keyword  # its lines are none of the operations
        next
      }
      if (section == "") stop("not in any section")
      if (section == "EXPORTS") entry(1)
    }
    END {
      if (failed) exit 1
      if (!count) { printf "%s: no EXPORTS entries\n", FILENAME > "/dev/stderr"; exit 1 }
    }
  ' "$def" >"$work/operations.unsorted" 2>"$work/def_errors" || {
    [[ -s "$work/def_errors" ]] || echo "cannot read $def" >"$work/def_errors"
    sed "s/^/$label: /" "$work/def_errors"
    echo "$label: cannot take the SimConnect operations from $def"
    exit 1
  }
  LC_ALL=C sort "$work/operations.unsorted" >"$work/operations"
}

# The SimConnect operations, sorted, as read_operations read them.
simconnect_operations() {
  cat "$work/operations"
}

# Exits 1 after any fault, else says the file is fine.
finish() {
  if ((faults)); then
    exit 1
  fi
  echo "$label: ok"
}
