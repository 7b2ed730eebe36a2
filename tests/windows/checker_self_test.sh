#!/usr/bin/env bash
# Shows that the exe inspection can fail: check_manifest.sh must reject each
# one-fault variant of our manifest with the fault named, and inspect_exe.sh
# must reject a program with no manifest and no SimConnect imports, and
# vantilo.exe against a SimConnect.def that lists one operation more, or
# taken for vantilo-direct.exe.
# Usage: checker_self_test.sh MANIFEST OBJDUMP OBJCOPY OTHER_EXE VANTILO_EXE
set -uo pipefail

manifest=$1
tools=("$2" "$3")  # objdump and objcopy, as inspect_exe.sh takes them
other_exe=$4
vantilo_exe=$5
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=expect_rejection.sh
source "$here/expect_rejection.sh"

# variant NAME SED_SCRIPT EXPECTED_TEXT: our manifest edited by SED_SCRIPT.
variant() {
  local name=$1 script=$2 expected=$3
  sed "$script" "$manifest" >"$work/$name.manifest"
  if cmp -s "$manifest" "$work/$name.manifest"; then
    fail "$name: the edit changed nothing"
  else
    expect_rejection "$name" "$expected" "$here/check_manifest.sh" "$work/$name.manifest"
  fi
}

if out=$("$here/check_manifest.sh" "$manifest"); then
  echo "ok   unchanged manifest accepted"
else
  fail "unchanged manifest rejected:"
  sed 's/^/  /' <<<"$out"
fi

differs="dependency identity differs"
variant name_without_blank 's/SimConnect " /SimConnect" /' "$differs"
variant other_version 's/10\.0\.60905\.0/10.0.61259.0/' "$differs"
variant other_architecture 's/processorArchitecture="x86"/processorArchitecture="amd64"/' "$differs"
variant other_token 's/67c7c14424d61b5b/67c7c14424d61b5c/' "$differs"
variant wrong_type 's/type="win32"/type="win32-policy"/' "$differs"
variant extra_attribute 's/type="win32"/type="win32" language="*"/' "$differs"
variant vc90_runtime 's#</dependency>#</dependency><dependency><dependentAssembly><assemblyIdentity type="win32" name="Microsoft.VC90.CRT" version="9.0.21022.8" processorArchitecture="x86" publicKeyToken="1fc8b3b9a1e18e3b"/></dependentAssembly></dependency>#' \
  "Visual C++ 2008 runtime"
variant second_dependency 's#</dependency>#</dependency><dependency><dependentAssembly><assemblyIdentity type="win32" name="Other" version="1.0.0.0" processorArchitecture="x86" publicKeyToken="0000000000000000"/></dependentAssembly></dependency>#' \
  "exactly 1 dependentAssembly, found 2"
variant no_dependency '/<dependency>/,/<\/dependency>/d' "exactly 1 dependentAssembly, found 0"
variant administrator 's/asInvoker/requireAdministrator/' "not asInvoker"
variant no_execution_level '/requestedExecutionLevel/d' "expected one requestedExecutionLevel"

expect_rejection exe_without_manifest "no manifest resource (type 24, id 1)" \
  "$here/inspect_exe.sh" "${tools[@]}" "$other_exe"
expect_rejection exe_without_simconnect "imported DLLs differ" \
  "$here/inspect_exe.sh" "${tools[@]}" "$other_exe"
expect_rejection not_an_exe "objdump cannot read" \
  "$here/inspect_exe.sh" "${tools[@]}" "$manifest"
# vantilo-direct.exe's checks: a manifest that binds SimConnect, and an exe
# that imports it, are rejected.
expect_rejection direct_manifest_with_simconnect "exactly 0 dependentAssembly, found 1" \
  "$here/check_manifest.sh" --no-dependency "$manifest"
expect_rejection direct_exe_with_simconnect "imported DLLs differ" \
  "$here/inspect_exe.sh" --direct "${tools[@]}" "$vantilo_exe"
{ cat "$here/../../hostlink/win32/SimConnect.def"; echo "SimConnect_Text@20 ; one more"; } \
  >"$work/longer.def"
expect_rejection exe_against_a_longer_list "< SimConnect_Text" \
  "$here/inspect_exe.sh" "${tools[@]}" "$vantilo_exe" "$work/longer.def"

echo "$failures failure(s)"
[[ $failures -eq 0 ]]
