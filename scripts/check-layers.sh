#!/usr/bin/env bash
# Checks that includes between the library's folders point one way: a file
# may include headers of its own layer or of a layer below it, never above.
# Also keeps each backend's own client-library headers inside its folder.
# Prints every offending include and exits 1 if there is any.
set -euo pipefail
cd "$(dirname "$0")/.."

# Layers from the bottom up; a longer prefix wins over a shorter one.
layers=(
  "foundation"
  "database/access"
  "nodes/base"
  "nodes/database"
  "nodes/expression"
  "factory"
  "query"
  "include/kezdcqr"
  "tools"
)

rank_of() {  # rank of the layer holding path $1, or -1
  local path=$1 best=-1 best_len=0 i
  for i in "${!layers[@]}"; do
    local prefix=${layers[$i]}
    if [[ $path == "$prefix"/* && ${#prefix} -gt $best_len ]]; then
      best=$i
      best_len=${#prefix}
    fi
  done
  echo "$best"
}

failures=0
while IFS= read -r file; do
  from=$(rank_of "$file")
  [[ $from -lt 0 ]] && continue
  while IFS=: read -r line target; do
    to=$(rank_of "$target")
    if [[ $target == kezdcqr/* ]]; then to=$(rank_of "include/$target"); fi
    [[ $to -lt 0 ]] && continue
    if [[ $to -gt $from ]]; then
      echo "$file:$line: includes \"$target\" (${layers[$to]}/ is above ${layers[$from]}/)"
      failures=$((failures + 1))
    fi
  done < <(grep -n -o -E '^#include "[^"]+/[^"]+"' "$file" | sed -E 's/#include "([^"]+)"/\1/')
  # A backend's client library stays inside its folder.
  while IFS=: read -r line header; do
    case $header in
      sqlite3.h) folder=database/access/sqlite ;;
      libpq-fe.h) folder=database/access/postgresql ;;
      *) continue ;;
    esac
    if [[ $file != "$folder"/* ]]; then
      echo "$file:$line: includes <$header> outside $folder/"
      failures=$((failures + 1))
    fi
  done < <(grep -n -o -E '^#include <(sqlite3|libpq-fe)\.h>' "$file" | sed -E 's/#include <([^>]+)>/\1/')
done < <(git ls-files '*.h' '*.cpp')

if [[ $failures -gt 0 ]]; then
  echo "check-layers: $failures include(s) point the wrong way" >&2
  exit 1
fi
echo "check-layers: every include points down or sideways"
