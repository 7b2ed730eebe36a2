# Sourced by the shell tests: $work, a folder of their own removed on exit,
# and fail, which prints a failed check and counts it in $failures.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
