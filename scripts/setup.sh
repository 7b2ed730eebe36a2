#!/usr/bin/env bash
# Installs what Vantilo's build and tests need, and only what is missing:
# Debian packages (when run as root) and the npm packages of the peer tests.
# Safe to run again and again. With --native, skips what only the tests use;
# with --release, what only the tests use but adds what scripts/release.sh
# needs (the full run installs that too, since the tests run its quick check).
set -euo pipefail
native_only=0
release=1
[[ ${1:-} == --native ]] && native_only=1 && release=0
[[ ${1:-} == --release ]] && native_only=1
cd "$(dirname "$0")/.."

missing=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || missing+=(cmake)
have_cmd g++ || missing+=(g++)
have_cmd make || missing+=(make)
have_cmd gnuplot || missing+=(gnuplot-nox)  # scripts/plot.sh, which the demo runs
if ((release)); then
  have_cmd git || missing+=(git)
  have_cmd file || missing+=(file)                      # CPack's .deb: which files are ELF
  have_cmd dpkg-shlibdeps || missing+=(dpkg-dev)        # the .deb's library dependencies
  have_cmd lintian || missing+=(lintian)
  have_cmd man || missing+=(man-db)                     # man pages checked as lintian does
  have_cmd node || missing+=(nodejs)                    # the smoke test compares traces
fi
if ((!native_only)); then
  have_pkg libgtest-dev || missing+=(libgtest-dev)
  have_pkg libbenchmark-dev || missing+=(libbenchmark-dev)
  have_cmd clang-format-16 || missing+=(clang-format-16)
  have_cmd clang++ || missing+=(clang)
  have_pkg libclang-rt-14-dev || missing+=(libclang-rt-14-dev)
  have_cmd npm || missing+=(npm)
fi

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup: missing Debian packages: ${missing[*]}" >&2
    echo "setup: run this script as root, or: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  scripts/apt-install.sh "${missing[@]}"
fi

# node-simconnect, pinned in tests/peer/package-lock.json, as a peer client.
if ((!native_only)) && [[ ! -d tests/peer/node_modules/node-simconnect ]]; then
  echo "setup: installing the peer tests' npm packages"
  (cd tests/peer && npm ci --no-audit --no-fund --loglevel=error)
fi
