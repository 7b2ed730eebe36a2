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
source "$here/expect_rejection.sh"
inspect=("$here/inspect_dll.sh" "$objdump")

expect_rejection decorated_exports "exported names differ" "${inspect[@]}" "$decorated_dll"
expect_rejection decorated_exports_named "> SimConnect_Open@24" "${inspect[@]}" "$decorated_dll"
expect_rejection exe_is_no_dll "not a DLL (characteristics)" "${inspect[@]}" "$exe"
expect_rejection exe_imports "imported DLLs differ" "${inspect[@]}" "$exe"

echo "$failures failure(s)"
[[ $failures -eq 0 ]]
