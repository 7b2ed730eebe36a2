#!/usr/bin/env bash
# Fails when a tracked C++ source differs from what clang-format makes of it
# (the style is in .clang-format). Run with --fix to reformat instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
  clang-format -i "${sources[@]}"
else
  clang-format --dry-run --Werror "${sources[@]}"
  echo "format: ${#sources[@]} files as clang-format makes them"
fi
