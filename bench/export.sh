#!/bin/sh
# CSV export speed: kezq against sqlite3 -csv over the same table, side by
# side in one run (each twice, best of each).
# Usage: bench/export.sh [build folder] [rows]   (defaults: build, 1000000)
set -eu
build=${1:-build}
rows=${2:-1000000}
kezq="$build/tools/kezq/kezq"
[ -x "$kezq" ] || { echo "export.sh: no kezq at $kezq (build first)" >&2; exit 2; }
command -v sqlite3 >/dev/null || { echo "export.sh: sqlite3 is not installed" >&2; exit 2; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
db="$dir/exp.db"
sqlite3 "$db" <<SQL
CREATE TABLE t(item VARCHAR(32), amount INTEGER, price REAL);
WITH RECURSIVE n(v) AS (SELECT 0 UNION ALL SELECT v + 1 FROM n WHERE v + 1 < $rows)
INSERT INTO t SELECT 'item-' || v, v % 1000, (v % 100000) / 100.0 FROM n;
SQL
printf 'Get(@e:main:t:{*}:1000:item)\nGet(@e:main:t:{*}:1000:amount)\nGet(@e:main:t:{*}:1000:price)\n' >"$dir/q.kq"

# Seconds of wall time of one run of the command, its output discarded.
seconds() {
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
best() { if [ "$(echo "$1 < $2" | bc)" = 1 ]; then echo "$1"; else echo "$2"; fi; }

k1=$(seconds "$kezq" -s "e=sqlite:$db?readonly=1" -r '@e:main:t:{*}:1000' -o csv -f "$dir/q.kq")
s1=$(seconds sqlite3 -csv -header "$db" 'select item,amount,price from t')
k2=$(seconds "$kezq" -s "e=sqlite:$db?readonly=1" -r '@e:main:t:{*}:1000' -o csv -f "$dir/q.kq")
s2=$(seconds sqlite3 -csv -header "$db" 'select item,amount,price from t')
k=$(best "$k1" "$k2")
s=$(best "$s1" "$s2")
# Both print a header and one line per row (reals may differ in form: the
# shell writes 1.0 where the SQLite access layer gives kezq the shortest text, 1).
lines_k=$("$kezq" -s "e=sqlite:$db?readonly=1" -r '@e:main:t:{*}:1000' -o csv -f "$dir/q.kq" | wc -l)
lines_s=$(sqlite3 -csv -header "$db" 'select item,amount,price from t' | wc -l)
printf 'rows %s  kezq %.3f s  sqlite3 -csv %.3f s  ratio %.2f  lines %s / %s\n' "$rows" "$k" "$s" \
  "$(echo "$k / $s" | bc -l)" "$lines_k" "$lines_s"
