#!/usr/bin/env bash
# Shows that the operations the inspections expect come from the .def and
# that comparing with them can fail: the .def in other spellings reads as the
# same list, a .def the reader cannot take stops the inspection, and a .def
# with one operation fewer or one more than the built vantilo.exe imports
# (and the stand-in SimConnect.dll exports) is rejected with that operation
# named. Names no operation of its own: it takes them from the .def.
# Usage: operation_list_self_test.sh OBJDUMP OBJCOPY EXE [DLL]
set -uo pipefail

objdump=$1
objcopy=$2
exe=$3
dll=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
def=$(cd "$here/../../hostlink/win32" && pwd)/SimConnect.def
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# The operations of a .def as the inspections read them, sorted, or the
# reader's messages (and status 1).
operations_of() {
  (
    label=def
    work=$(mktemp -d "$work/read.XXXXXX")
    source "$here/pe_checks.sh"
    read_operations "$1"
    simconnect_operations
  ) 2>&1
}

# variant NAME COMMAND...: the .def through COMMAND (on its standard input)
# as $work/NAME.def, which must differ from the .def.
variant() {
  local name=$1
  shift
  "$@" <"$def" >"$work/$name.def"
  if cmp -s "$def" "$work/$name.def"; then
    fail "$name: the edit changed nothing"
  fi
}

# expect_status NAME WANTED EXPECTED_TEXT COMMAND...: the command must exit
# with status WANTED and print EXPECTED_TEXT.
expect_status() {
  local name=$1 wanted=$2 expected=$3
  shift 3
  local out status
  out=$("$@" 2>&1)
  status=$?
  if [[ $status -eq $wanted ]] && grep -qF -- "$expected" <<<"$out"; then
    echo "ok   $name"
  else
    fail "$name: status $status, wanted $wanted and \"$expected\"; output:"
    sed 's/^/  /' <<<"$out"
  fi
}

inspect_exe() { "$here/inspect_exe.sh" "$objdump" "$objcopy" "$exe" "$@"; }
inspect_dll() { "$here/inspect_dll.sh" "$objdump" "$dll" "$@"; }

# The .def as it is: plain names (no stdcall decoration), and the
# inspections pass with it named as with their default.
if ! expected=$(operations_of "$def"); then
  fail "the .def cannot be read:"
  sed 's/^/  /' <<<"$expected"
  echo "$failures failure(s)"
  exit 1
fi
if grep -qvP '^SimConnect_[A-Za-z0-9]+$' <<<"$expected"; then
  fail "the .def's operations are not all plain SimConnect_ names:"
  sed 's/^/  /' <<<"$expected"
else
  echo "ok   the .def gives $(wc -l <<<"$expected") plain operation names"
fi
expect_status exe_with_the_def 0 "exe: ok" inspect_exe "$def"
if [[ -n "$dll" ]]; then
  expect_status dll_with_the_def 0 "dll: ok" inspect_dll "$def"
fi

# One of the .def's operations, and the pattern of its entry line.
victim=$(tail -n 1 <<<"$expected")
entry="^$victim\(@[0-9]*\)\?\$"
stranger=SimConnect_NoSuchOperation

# The same .def in other spellings, each read as the same list.
same_operations() {
  local name=$1 actual
  actual=$(operations_of "$work/$name.def")
  if [[ "$actual" == "$expected" ]]; then
    echo "ok   $name"
  else
    fail "$name: read differently:"
    diff <(echo "$expected") <(echo "$actual") | sed 's/^/  /'
  fi
}
variant comments sed 's/^\(SimConnect_.*\)$/  ; before\n\t\1 ; after/'
same_operations comments
variant ordinals awk '/^SimConnect_/ { n++; $0 = $0 (n % 2 ? " @" : "\t@ ") n } 1'
same_operations ordinals
variant undecorated sed 's/^\(SimConnect_[A-Za-z0-9]*\)@[0-9]*$/\1/'
same_operations undecorated
variant crlf_lowercase_inline awk '$0 == "EXPORTS" { printf "exports "; next } { print $0 "\r" }'
same_operations crlf_lowercase_inline
variant internal_names sed 's/^\(SimConnect_[A-Za-z0-9]*\)\(@[0-9]*\)$/\1\2=Tcp\1\2/'
same_operations internal_names
variant later_section sed '$a SECTIONS\n  .data READ WRITE'
same_operations later_section
expect_status exe_with_the_respelled_def 0 "exe: ok" inspect_exe "$work/ordinals.def"
if [[ -n "$dll" ]]; then
  expect_status dll_with_the_respelled_def 0 "dll: ok" inspect_dll "$work/ordinals.def"
fi

# A .def the reader cannot take stops the inspection, naming the line.
for word in NONAME PRIVATE DATA; do
  variant "$word" sed "s/$entry/& @1 $word/"
  expect_status "$(tr A-Z a-z <<<"$word")" 1 "$word is not supported here" \
    inspect_exe "$work/$word.def"
done
variant unknown_word sed "s/$entry/& CONSTANT/"
expect_status unknown_word 1 'cannot read "CONSTANT"' inspect_exe "$work/unknown_word.def"
variant listed_twice sed "s/$entry/&\n&/"
expect_status listed_twice 1 "$victim listed twice" inspect_exe "$work/listed_twice.def"
variant no_exports sed '/^EXPORTS$/,$d'
expect_status no_exports 1 "no EXPORTS entries" inspect_exe "$work/no_exports.def"
variant before_any_section sed "1i $stranger@4"
expect_status before_any_section 1 "not in any section" inspect_exe "$work/before_any_section.def"
expect_status missing_def 1 "cannot take the SimConnect operations" inspect_exe "$work/none.def"
if [[ -n "$dll" ]]; then
  expect_status dll_noname 1 "NONAME is not supported here" inspect_dll "$work/NONAME.def"
fi

# A .def that lists one operation fewer, or one more, than the binaries
# have: each inspection fails and names it.
variant one_fewer sed "/$entry/d"
expect_status exe_imports_one_not_listed 1 "> $victim" inspect_exe "$work/one_fewer.def"
expect_status exe_imports_differ 1 "SimConnect.dll imports differ" inspect_exe "$work/one_fewer.def"
variant one_more sed "\$a $stranger@4"
expect_status exe_lacks_one_listed 1 "< $stranger" inspect_exe "$work/one_more.def"
if [[ -n "$dll" ]]; then
  expect_status dll_exports_one_not_listed 1 "> $victim" inspect_dll "$work/one_fewer.def"
  expect_status dll_exports_differ 1 "exported names differ" inspect_dll "$work/one_fewer.def"
  expect_status dll_lacks_one_listed 1 "< $stranger" inspect_dll "$work/one_more.def"
fi

echo "$failures failure(s)"
[[ $failures -eq 0 ]]
