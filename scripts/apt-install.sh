#!/usr/bin/env bash
# Installs Debian packages by name (as root), retrying: a mirror caught in
# the middle of a sync fails `apt-get update` for a while ("has unexpected
# size"), and so may a download. An update that fails for one index still
# refreshes the others, so the install is tried after it all the same. Five
# tries, waiting longer each time.
# Usage: apt-install.sh PACKAGE...
set -uo pipefail
for try in 1 2 3 4 5; do
  apt-get update -qq || echo "apt-install: apt-get update failed; trying the install anyway" >&2
  if DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"; then
    exit 0
  fi
  if ((try < 5)); then
    echo "apt-install: try $try of 5 failed; trying again in $((try * 15)) s" >&2
    sleep $((try * 15))
  fi
done
echo "apt-install: could not install $*" >&2
exit 1
