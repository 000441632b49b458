#!/usr/bin/env bash
# The kezq tour: creates the demo SQLite database afresh in the build folder,
# then runs the tour's queries and two walks over rows. When
# KEZDCQR_TEST_PG_URI names a reachable PostgreSQL server (`make demo-pg`
# starts a throwaway one), the tour runs again over a copy of the demo
# tables in its schema kez_demo.
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

pg="${KEZDCQR_TEST_PG_URI:-}"
if [ -n "$pg" ] && command -v psql >/dev/null && psql "$pg" -qAtc 'SELECT 1' >/dev/null 2>&1; then
  case "$pg" in *\?*) pgdemo="$pg&options=-csearch_path%3Dkez_demo" ;; *) pgdemo="$pg?options=-csearch_path%3Dkez_demo" ;; esac
  psql "$pg" -q -v ON_ERROR_STOP=1 >/dev/null <<'SQL'
DROP SCHEMA IF EXISTS kez_demo CASCADE;
CREATE SCHEMA kez_demo;
SET search_path = kez_demo;
CREATE TABLE customers (id int8 PRIMARY KEY, name varchar(40) NOT NULL, city varchar(30) NOT NULL);
CREATE TABLE products (id int8 PRIMARY KEY, name varchar(40) NOT NULL, price float8 NOT NULL, stock int4 NOT NULL);
CREATE TABLE orders (id int8 PRIMARY KEY, customer_id int8 NOT NULL, product_id int8 NOT NULL, quantity int4 NOT NULL,
                     amount float8 NOT NULL, day varchar(10) NOT NULL);
CREATE TABLE visits (customer varchar(40), note varchar(80));
SQL
  for table in customers products orders; do
    sqlite3 -csv "$db" "SELECT * FROM $table ORDER BY id" | psql "$pgdemo" -q -c "\\copy $table FROM STDIN CSV"
  done
  section "The same tour on PostgreSQL: kezq -e -s demo=${pg}... -f examples/demo/tour.kq"
  "$kezq" -e -s "demo=$pgdemo" -f "$here/examples/demo/tour.kq"
fi
