# Sourced by the inspection self-tests, with shell_checks.sh's $work and
# fail. expect_rejection NAME EXPECTED_TEXT COMMAND...: the command must
# exit 1 and print EXPECTED_TEXT, or the check fails.
# shellcheck source-path=SCRIPTDIR source=../support/shell_checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/shell_checks.sh"
expect_rejection() {
  local name=$1 expected=$2
  shift 2
  local out status
  out=$("$@" 2>&1)
  status=$?
  if [[ $status -ne 1 ]] || ! grep -qF -- "$expected" <<<"$out"; then
    fail "$name: status $status, wanted 1 and \"$expected\"; output:"
    sed 's/^/  /' <<<"$out"
  else
    echo "ok   $name"
  fi
}
