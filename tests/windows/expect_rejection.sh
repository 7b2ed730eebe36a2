# Sourced by the inspection self-tests. expect_rejection NAME EXPECTED_TEXT
# COMMAND...: the command must exit 1 and print EXPECTED_TEXT; counts a
# failure in $failures otherwise.
failures=0
expect_rejection() {
  local name=$1 expected=$2
  shift 2
  local out status
  out=$("$@" 2>&1)
  status=$?
  if [[ $status -ne 1 ]] || ! grep -qF -- "$expected" <<<"$out"; then
    echo "FAIL $name: status $status, wanted 1 and \"$expected\"; output:"
    sed 's/^/  /' <<<"$out"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}
