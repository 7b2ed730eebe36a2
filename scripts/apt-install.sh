#!/usr/bin/env bash
# Installs Debian packages by name (as root), retrying: a mirror caught in
# the middle of a sync fails `apt-get update` for a while ("File has
# unexpected size ... Mirror sync in progress?"), and so may a download. An
# update that fails for one index still refreshes the others, so the
# install is tried after it all the same. Five tries, waiting longer each
# time; then one line says what failed and what to run again.
# Usage: apt-install.sh PACKAGE...
set -uo pipefail
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for try in 1 2 3 4 5; do
  apt-get update -qq 2>&1 | tee "$log" ||
    echo "apt-install: apt-get update failed; trying the install anyway" >&2
  if DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" \
    2> >(tee -a "$log" >&2); then
    exit 0
  fi
  if ((try < 5)); then
    echo "apt-install: try $try of 5 failed; trying again in $((try * 15)) s" >&2
    sleep $((try * 15))
  fi
done
cause=$(grep -E '^(E|Err):' "$log" | tail -1)
echo "apt-install: could not install $* (${cause:-apt-get failed}); run this command again" \
  "once the package mirror has synced, or install them yourself: apt-get update &&" \
  "apt-get install $*" >&2
exit 1
