#!/usr/bin/env bash
# The main job: builds the driver and the stand-in server, starts a throwaway
# MariaDB server, and lets the stand-in server load the driver and use it as
# far as the driver goes. The database is stopped and removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target kq230maria kq230vm kqhost_main

db_dir=$(mktemp -d /tmp/kq230maria-db.XXXXXX)
trap 'bash scripts/mariadb-server.sh stop "$db_dir" >/dev/null 2>&1 || true' EXIT
bash scripts/mariadb-server.sh start "$db_dir"

runner=$(sed -n 's/^KQ_I386_RUNNER:STRING=//p' build/CMakeCache.txt)
KQ_MARIADB_ENV="$db_dir/server.env" $runner build/host/kqhost "$@"
