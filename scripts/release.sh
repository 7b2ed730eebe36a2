#!/usr/bin/env bash
# Makes Vantilo's release packages from a clean clone of HEAD: the Windows
# zip, the Linux .deb and tarball, into dist/ with SHA256SUMS. Builds a
# second time in another folder and fails if any package differs, then
# smoke-tests what it packaged (not the build tree): lintian and the man
# pages; the .deb unpacked into a temporary root (and, as root, installed
# with apt-get and removed again), its vantilo running a whole scenario
# against its vantilo-standin; the zip unpacked and its vantilo.exe run under
# Wine against the same stand-in, through the stand-in SimConnect.dll
# installed as the side-by-side assembly, and its vantilo-direct.exe.
# Usage: release.sh [--check]
#   --check  one build and the smoke tests, no second build (the test
#            command runs this)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
check_only=0
case ${1:-} in
  --check) check_only=1 ;;
  "") ;;
  *)
    echo "usage: release.sh [--check]" >&2
    exit 2
    ;;
esac

scripts/setup.sh --release
scripts/wine-setup.sh
jobs=$(nproc 2>/dev/null || echo 2)

commit=$(git rev-parse HEAD)
if [[ -n $(git status --porcelain --untracked-files=no) ]]; then
  echo "release: packaging HEAD ${commit:0:12}; uncommitted changes are not in it" >&2
fi
# Archive and package entries carry the commit's time, in UTC (a zip stores
# local time).
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C.UTF-8

work=$(mktemp -d)
installed=0
cleanup() {
  if ((installed)); then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq vantilo >/dev/null || true
  fi
  if [[ -d $work/wineprefix ]]; then
    WINEPREFIX=$work/wineprefix wineserver -k >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# build_packages DIR: clones the commit into DIR and makes every package
# there; the packages end up in DIR/packages.
build_packages() {
  local dir=$1
  echo "== release: building ${commit:0:12} in $dir"
  git clone -q "$root" "$dir"
  git -C "$dir" checkout -q --detach "$commit"
  (
    cd "$dir"
    cmake --preset release-linux >/dev/null
    cmake --build --preset release-linux -j "$jobs" >/dev/null
    cpack --preset release-linux >/dev/null
    cmake --preset windows-x86 -DVANTILO_TESTS=OFF >/dev/null
    cmake --build --preset windows-x86 -j "$jobs" >/dev/null
    cpack --preset windows-x86 >/dev/null
    mkdir packages
    cp build/release-linux/vantilo_*.deb build/release-linux/vantilo-*.tar.gz \
      build/windows-x86/vantilo-*-win32.zip packages/
  )
}

first="$work/first/vantilo"
build_packages "$first"
mapfile -t packages < <(cd "$first/packages" && ls)
if ((${#packages[@]} != 3)); then
  echo "release: expected three packages, made: ${packages[*]}" >&2
  exit 1
fi

if ((!check_only)); then
  # Another folder (another path length too), a little later.
  sleep 2
  build_packages "$work/second-build/src"
  differ=0
  for package in "${packages[@]}"; do
    if ! cmp "$first/packages/$package" "$work/second-build/src/packages/$package"; then
      differ=1
    fi
  done
  if ((differ)); then
    echo "release: the two builds differ (above); the packages are not reproducible" >&2
    exit 1
  fi
  echo "release: the two builds are byte for byte identical"
fi

rm -rf dist
mkdir dist
cp "$first/packages/"* dist/
(cd dist && sha256sum "${packages[@]}" >SHA256SUMS)

echo "== release: smoke tests of the packages in dist/"
deb=$(ls dist/vantilo_*.deb)
zip=$(ls dist/vantilo-*-win32.zip)
version=$(dpkg-deb -f "$deb" Version)

echo "-- lintian"
lintian --fail-on error --info "$deb"

echo "-- the .deb unpacked into a temporary root"
dpkg-deb -x "$deb" "$work/root"
scripts/check-man-pages.sh "$work/root/usr/share/man/man1/"*.1.gz
said=$("$work/root/usr/bin/vantilo-standin" --version)
if [[ $said != "vantilo-standin $version" ]]; then
  echo "release: vantilo-standin --version says '$said', the package is $version" >&2
  exit 1
fi

echo "-- the zip unpacked into a fresh folder"
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$root/$zip")
exe=$(ls "$work/zip/"*/vantilo.exe)
direct=$(dirname "$exe")/vantilo-direct.exe
if [[ ! -f $direct ]]; then
  echo "release: vantilo-direct.exe is missing from the zip" >&2
  exit 1
fi
for file in README.txt LICENSE.txt SimConnect.cfg.example; do
  if ! grep -q $'\r$' "$(dirname "$exe")/$file"; then
    echo "release: $file is missing from the zip or lacks CRLF line ends" >&2
    exit 1
  fi
done

# A Wine prefix of its own, with no SimConnect assembly until the end-to-end
# script installs the stand-in DLL as one.
prefix="$work/wineprefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if wine --version >/dev/null 2>&1; then
  WINEPREFIX=$prefix wineboot --init >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w
else
  echo "release: Wine cannot run on this machine (it runs no 32-bit x86 program):" \
    "the zip's exes are not run" >&2
fi

# end_to_end BIN_DIR: vantilo and vantilo-standin from BIN_DIR through the
# scenario, and the zip's vantilo.exe and vantilo-direct.exe under Wine
# beside them (without the test tool that serves a pipe).
# It keeps its traces in the folder it runs in: the work folder.
end_to_end() {
  (cd "$work" && VANTILO_EXE_IN_PLACE=1 bash "$root/tests/windows/wine_end_to_end_test.sh" \
    "$prefix" "$exe" "$first/build/windows-x86/hostlink/net/SimConnect.dll" \
    "$root/tests/windows/simconnect_assembly.manifest" node "$1" "$direct")
}
echo "-- a scenario with the unpacked vantilo and vantilo-standin; the zip's exes under Wine"
end_to_end "$work/root/usr/bin"

if [[ $(id -u) -eq 0 ]]; then
  echo "-- the .deb installed with apt-get"
  if dpkg-query -W -f='${Status}' vantilo 2>/dev/null | grep -q 'install ok installed'; then
    echo "release: a vantilo package is installed already; not installing over it" >&2
    exit 1
  fi
  installed=1
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$root/$deb" >/dev/null
  [[ $(command -v vantilo) == /usr/bin/vantilo ]] || {
    echo "release: vantilo is not on the PATH after the install" >&2
    exit 1
  }
  man -P cat vantilo >"$work/man.txt" 2>&1 || true
  grep -q "turn a flight simulator's virtual cockpit camera" "$work/man.txt" || {
    echo "release: man vantilo does not show the page after the install:" >&2
    head -5 "$work/man.txt" >&2
    exit 1
  }
  end_to_end /usr/bin
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq vantilo >/dev/null
  installed=0
  if [[ -e /usr/bin/vantilo ]]; then
    echo "release: /usr/bin/vantilo is still there after apt-get remove" >&2
    exit 1
  fi
else
  echo "-- not root: the .deb was not installed with apt-get"
fi

echo
echo "release: packages of ${commit:0:12}, version $version, in dist/:"
(cd dist && for package in "${packages[@]}"; do
  printf '  %-36s %9d bytes  %s\n' "$package" "$(stat -c %s "$package")" \
    "$(sha256sum "$package" | cut -d' ' -f1)"
done)
echo "release: smoke tests passed"
