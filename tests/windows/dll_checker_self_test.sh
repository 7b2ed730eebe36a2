#!/usr/bin/env bash
# Shows that the DLL inspection can fail: it must reject a SimConnect.dll
# built without --kill-at and the .def (decorated and extra exports), and a
# program that is not a DLL at all.
# Usage: dll_checker_self_test.sh OBJDUMP DECORATED_DLL EXE
set -uo pipefail

objdump=$1
decorated_dll=$2
exe=$3
here=$(cd "$(dirname "$0")" && pwd)
failures=0

# expect_rejection NAME FILE EXPECTED_TEXT: inspect_dll.sh must exit 1 on
# FILE and print EXPECTED_TEXT.
expect_rejection() {
  local name=$1 file=$2 expected=$3 out status
  out=$("$here/inspect_dll.sh" "$objdump" "$file" 2>&1)
  status=$?
  if [[ $status -ne 1 ]] || ! grep -qF -- "$expected" <<<"$out"; then
    echo "FAIL $name: status $status, wanted 1 and \"$expected\"; output:"
    sed 's/^/  /' <<<"$out"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

expect_rejection decorated_exports "$decorated_dll" "exported names differ"
expect_rejection decorated_exports_named "$decorated_dll" "> SimConnect_Open@24"
expect_rejection exe_is_no_dll "$exe" "not a DLL (characteristics)"
expect_rejection exe_imports "$exe" "imported DLLs differ"

echo "$failures failure(s)"
[[ $failures -eq 0 ]]
