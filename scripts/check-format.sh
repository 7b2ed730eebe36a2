#!/usr/bin/env bash
# Fails when a tracked C++ source differs from what clang-format makes of it
# (the style is in .clang-format). Run with --fix to reformat instead.
set -euo pipefail
cd "$(dirname "$0")/.."
# InsertBraces needs clang-format 15 or later; Debian 12's plain one is 14.
format=$(command -v clang-format-16 || command -v clang-format)
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
  "$format" -i "${sources[@]}"
else
  "$format" --dry-run --Werror "${sources[@]}"
  echo "format: ${#sources[@]} files as clang-format makes them"
fi
