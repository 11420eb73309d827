#!/usr/bin/env bash
# The main job: builds the driver and the stand-in server, starts a throwaway
# MariaDB server, and lets the stand-in server load the driver and use it as
# far as the driver goes. The database is stopped and removed at the end.
#
# What the database is for: the main job's later steps, opening connections and
# browsing a table through the driver, need a server to talk to. This build of
# the driver does not connect yet, so today the server only stands ready: its
# facts reach kqhost through KQ_MARIADB_ENV, which nothing reads yet, and it is
# stopped and removed when kqhost ends.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target kq230maria kq230vm kqhost_main

db_dir=$(mktemp -d /tmp/kq230maria-db.XXXXXX)
trap 'bash scripts/mariadb-server.sh stop "$db_dir" >/dev/null 2>&1 || true' EXIT
echo "run-host.sh: starting a throwaway MariaDB server for the steps that connect" \
  "and browse a table; this build of the driver does not connect yet, so the" \
  "server only stands ready and is removed at the end"
bash scripts/mariadb-server.sh start "$db_dir"

runner=$(sed -n 's/^KQ_I386_RUNNER:STRING=//p' build/CMakeCache.txt)
KQ_MARIADB_ENV="$db_dir/server.env" $runner build/host/kqhost "$@"
