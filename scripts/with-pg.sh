#!/usr/bin/env bash
# Runs a command beside a throwaway PostgreSQL server:
#
#   scripts/with-pg.sh COMMAND [ARGS...]
#
# initdb (as the unprivileged system user kezpg when run as root, created
# when missing) makes a cluster in a fresh temporary folder; the server
# listens on a Unix socket in that folder and on a free port of 127.0.0.1,
# with fsync off. COMMAND runs with KEZDCQR_TEST_PG_URI
# (postgresql://kez@127.0.0.1:PORT/kez) and PGHOST, PGPORT, PGUSER and
# PGDATABASE set (and KEZDCQR_TEST_PG_BIN, _DATA and _OWNER, for a test
# that stops the server on purpose). The server is stopped and the folder removed on every
# way out (exit, failure, Ctrl-C); the exit status is COMMAND's.
# The Debian postgresql package is installed when missing (as root).
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: scripts/with-pg.sh COMMAND [ARGS...]" >&2
  exit 2
fi

find_bin() { ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1; }
bin=$(find_bin)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "with-pg: PostgreSQL is missing; install it with: sudo apt-get install -y postgresql" >&2
    exit 1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends postgresql >/dev/null
  bin=$(find_bin)
fi

as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  # initdb refuses to run as root: the cluster belongs to kezpg.
  id -u kezpg >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin kezpg
  as_owner=(runuser -u kezpg --)
fi

folder=$(mktemp -d "${TMPDIR:-/tmp}/kezpg.XXXXXX")
[ ${#as_owner[@]} -gt 0 ] && chown kezpg "$folder"
chmod 700 "$folder"

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  if [ -f "$folder/data/postmaster.pid" ]; then
    "${as_owner[@]}" "$bin/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$folder"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A free port of 127.0.0.1: one that nothing answers on.
port=""
for candidate in $(shuf -i 20000-60000 -n 50); do
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
    port=$candidate
    break
  fi
done
[ -n "$port" ] || { echo "with-pg: no free port found" >&2; exit 1; }

"${as_owner[@]}" "$bin/initdb" -D "$folder/data" -U kez --auth=trust --encoding=UTF8 --locale=C.UTF-8 --no-sync \
  >"$folder/initdb.log" 2>&1 || { cat "$folder/initdb.log" >&2; exit 1; }
"${as_owner[@]}" "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
  -o "-c listen_addresses=127.0.0.1 -p $port -k $folder -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
  start >/dev/null || { cat "$folder/server.log" >&2; exit 1; }
"$bin/createdb" -h 127.0.0.1 -p "$port" -U kez kez

export KEZDCQR_TEST_PG_URI="postgresql://kez@127.0.0.1:$port/kez"
export PGHOST=127.0.0.1 PGPORT=$port PGUSER=kez PGDATABASE=kez
# What a test needs to stop the server itself.
export KEZDCQR_TEST_PG_BIN="$bin" KEZDCQR_TEST_PG_DATA="$folder/data" KEZDCQR_TEST_PG_OWNER="${as_owner[*]:+kezpg}"
echo "with-pg: PostgreSQL $("$bin/postgres" --version | awk '{print $3}') at $KEZDCQR_TEST_PG_URI (folder $folder)" >&2
set +e
"$@"
status=$?
set -e
exit "$status"
