#!/usr/bin/env bash
# Applies .clang-format to every C++ file of the repository, or with --check
# lists the files that it would change and exits 1 if there is any.
#   scripts/format.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --check ]]; then
  unformatted=0
  for file in "${files[@]}"; do
    if ! clang-format --dry-run -Werror "$file" >/dev/null 2>&1; then
      echo "$file"
      unformatted=$((unformatted + 1))
    fi
  done
  if [[ $unformatted -gt 0 ]]; then
    echo "format: $unformatted file(s) differ from .clang-format (scripts/format.sh applies it)" >&2
    exit 1
  fi
  echo "format: every file follows .clang-format"
  exit 0
fi
clang-format -i "${files[@]}"
