#!/usr/bin/env bash
# The kezq tour: creates the demo SQLite database afresh in the build folder,
# then runs the tour's queries and two walks over rows.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "$0")/.." && pwd)"
kezq="$build/tools/kezq/kezq"
db="$build/demo/demo.db"

mkdir -p "$build/demo"
rm -f "$db" "$db-wal" "$db-shm"
sqlite3 "$db" < "$here/examples/demo/demo.sql" >/dev/null
source="demo=sqlite:$db"

section() { printf '\n\033[1m== %s ==\033[0m\n\n' "$1"; }

section "The tour: kezq -e -s $source -f examples/demo/tour.kq"
"$kezq" -e -s "$source" -f "$here/examples/demo/tour.kq"

section "Walking rows: the first 8 orders, one record per row (--rows)"
orders='@demo:main:orders:{*}:100'
"$kezq" -s "$source" -r "$orders" -n 8 \
  "Get($orders:id)" "Get($orders:day)" "Get($orders:quantity)" "Get($orders:amount)" \
  "Get(format($orders:amount / $orders:quantity,\"##.##\"))"

section "Reading back the rows the tour inserted, as JSON"
visits='@demo:main:visits:{*}:10'
"$kezq" -s "$source" -r "$visits" -o json "Get($visits:customer)" "Get($visits:note)"

section "Variables live across rows: a running total of the amounts"
"$kezq" -s "$source" -r "$orders" -n 6 \
  "Get($orders:id)" "Get($orders:amount)" "Put(\$total + $orders:amount,\$total)" "Get(\$total)"

section "The same from C++: examples/client/client.cpp"
"$build/examples/kezdcqr_client" "$db"
