#!/usr/bin/env bash
# The main job: builds the driver and the stand-in server, starts a throwaway
# MariaDB server, and lets the stand-in server load the driver and use it as
# far as the driver goes. The database is stopped and removed at the end.
#
# What kqhost does with the database (its facts reach it through
# KQ_MARIADB_ENV): it connects through the driver's INADriver, first with a
# wrong password (and prints the driver's error dump: the server's code 1045,
# never a password), then rightly by TCP and by the socket, closes; then it
# begins a transaction, locks a table (kqhost_lock, made here; the lock is
# refused outside the transaction first) and commits, all through INADriver;
# it prints the server's version, read with SELECT VERSION() through the
# driver's handle-level SQL interface (INADriverSQL, as the server's own SQL
# programs read a value), and the databases it sees with their base tables
# (INADriver::bGetDatabaseList, flags 0x01, as the server's catalogue browser
# asks for them); then it releases the driver object and terminates the library. It fails unless every counted
# string buffer and every connection description it lent the driver is given
# back.
#
# Then "kqhost describe kqhost_demo" asks the driver for the description of a
# demo table made here (INADriver::piGetTableDesc, as the server reads a
# table's schema) and prints each item tab-separated: name, item type number,
# size, key word, N (takes NULL) or -, V/S (virtual/stored computed) or -.
#
# Last, "kqhost browse" opens the demo table through INATable as the server
# does and runs commands given on its standard input: it browses the table
# forward and backward by its identifier and by a text key, and searches it
# exactly and generically; each record read prints as the mariadb client
# prints a row with --batch. The forward browse is then diffed with the
# client's own rows for the same order.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target kq230maria kq230vm kqhost_main

db_dir=$(mktemp -d /tmp/kq230maria-db.XXXXXX)
trap 'bash scripts/mariadb-server.sh stop "$db_dir" >/dev/null 2>&1 || true' EXIT
echo "run-host.sh: starting a throwaway MariaDB server for kqhost to connect to;" \
  "it is removed at the end"
bash scripts/mariadb-server.sh start "$db_dir"

# The table that kqhost locks inside a transaction (root may log in over the
# server's socket only).
socket=$(sed -n 's/^KQ_MARIADB_SOCKET=//p' "$db_dir/server.env")
mariadb --no-defaults --protocol=socket --socket="$socket" --user=root --batch \
  -e "CREATE TABLE kqtest.kqhost_lock (n INT) ENGINE=InnoDB; INSERT INTO kqtest.kqhost_lock VALUES (1)"

# The table that kqhost describes: an automatic identifier, a two-column
# unique key, a column in a unique and a non-unique index, a nullable unique
# key, generated columns and defaults.
mariadb --no-defaults --protocol=socket --socket="$socket" --user=root --batch -e "
CREATE TABLE kqtest.kqhost_demo (
  id BIGINT AUTO_INCREMENT PRIMARY KEY,
  code CHAR(4) NOT NULL,
  part SMALLINT NOT NULL,
  email VARCHAR(80) NOT NULL,
  nick VARCHAR(20) NULL,
  price DECIMAL(10,2) DEFAULT 1.50,
  label VARCHAR(20) DEFAULT 'it''s',
  created TIMESTAMP NULL DEFAULT current_timestamp(),
  price_x2 DECIMAL(11,2) AS (price * 2) VIRTUAL,
  label_len INT AS (CHAR_LENGTH(label)) STORED,
  UNIQUE KEY code_part (code, part),
  UNIQUE KEY email_u (email),
  KEY email_m (email),
  UNIQUE KEY nick_u (nick)
) ENGINE=InnoDB CHARACTER SET utf8mb4;
INSERT INTO kqtest.kqhost_demo (code, part, email, nick, price, label, created) VALUES
  ('A001', 1, 'ann@example.com', 'ann', 1.50, 'first', '2024-01-02 03:04:05'),
  ('A001', 2, 'bob@example.com', NULL, 2.25, 'tab\there', NULL),
  ('B002', 1, 'cy@example.com', 'cé', NULL, 'third', '2023-12-31 23:59:59')"

runner=$(sed -n 's/^KQ_I386_RUNNER:STRING=//p' build/CMakeCache.txt)
KQ_MARIADB_ENV="$db_dir/server.env" KQ_HOST_LOCK_TABLE=kqhost_lock \
  $runner build/host/kqhost "$@"
echo "run-host.sh: the description of kqhost_demo as the driver gives it to the server"
KQ_MARIADB_ENV="$db_dir/server.env" $runner build/host/kqhost describe kqhost_demo "$@"

echo "run-host.sh: kqhost_demo browsed and searched through kqhost's commands"
browse_out=$(mktemp /tmp/kqhost-browse.XXXXXX)
trap 'rm -f "$browse_out"; bash scripts/mariadb-server.sh stop "$db_dir" >/dev/null 2>&1 || true' EXIT
browse_status=0
$runner build/host/kqhost browse --env "$db_dir/server.env" "$@" >"$browse_out" 2>/dev/null <<'EOF' || browse_status=$?
open kqhost_demo
all id
allback id
all email
seekexact email bob@example.com
seek code B
close
EOF
cat "$browse_out"
[ "$browse_status" -eq 0 ] || echo "run-host.sh: kqhost reported failed commands (exit status $browse_status)"

# The forward browse by identifier against the client's rows in that order.
client_rows=$(mariadb --no-defaults --protocol=socket --socket="$socket" --user=root \
  --default-character-set=utf8mb4 --batch --skip-column-names \
  -e "SELECT * FROM kqtest.kqhost_demo ORDER BY id")
kqhost_rows=$(sed -n '1,/^out of range$/p' "$browse_out" | sed '$d')
if [ "$kqhost_rows" = "$client_rows" ]; then
  echo "run-host.sh: kqhost's rows by id are the mariadb client's"
else
  echo "run-host.sh: kqhost's rows by id differ from the mariadb client's:"
  diff <(echo "$kqhost_rows") <(echo "$client_rows") || true
fi
