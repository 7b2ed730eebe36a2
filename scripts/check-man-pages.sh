#!/usr/bin/env bash
# Renders man pages (plain or gzipped) the way groff and lintian do and
# fails on any warning: groff -ww (every warning), then man --warnings as
# lintian runs it. Usage: check-man-pages.sh PAGE...
set -uo pipefail
if (($# == 0)); then
  echo "usage: check-man-pages.sh PAGE..." >&2
  exit 2
fi
failures=0
for page in "$@"; do
  if [[ ! -s $page ]]; then
    echo "FAIL $page: missing or empty"
    failures=$((failures + 1))
    continue
  fi
  warnings=$(
    { zcat -f -- "$page" | groff -ww -z -man -Tutf8; } 2>&1
    LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null
  )
  if [[ -n $warnings ]]; then
    echo "FAIL $page:"
    echo "$warnings"
    failures=$((failures + 1))
  else
    echo "ok: $page"
  fi
done
((failures == 0))
