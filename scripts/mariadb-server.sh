#!/usr/bin/env bash
# Throwaway MariaDB server for the tests and benchmarks.
#
#   mariadb-server.sh start DIR   fresh data directory in DIR/data, server on a
#                                 free loopback port and on DIR/mysqld.sock,
#                                 database and user `kqtest` (who may also create
#                                 `kqbench`, the benchmarks' data), facts in DIR/server.env
#   mariadb-server.sh stop DIR    stops that server and removes what start made
#   mariadb-server.sh kill DIR    kills that server outright (SIGKILL), as a crash
#                                 would; data directory and facts stay
#   mariadb-server.sh restart DIR starts the server of DIR again on its data, with
#                                 the port, socket and password of DIR/server.env,
#                                 which stays as it is (its KQ_MARIADB_PID still
#                                 names the first server; DIR/mysqld.pid the
#                                 running one)
#
# Starting again on a DIR whose server still runs stops that server and starts
# anew: every run begins from an empty database and a new password, so no test
# depends on what an earlier one left behind.
#
# The server runs as root (so does this project's CI). Root keeps its empty
# password but may log in over DIR/mysqld.sock only; TCP reaches the test user.
set -euo pipefail

readonly START_TIMEOUT_S=30
readonly STOP_TIMEOUT_S=30
readonly PORT_ATTEMPTS=5

die() { echo "mariadb-server.sh: $*" >&2; exit 1; }

usage() { die "usage: mariadb-server.sh start|stop|kill|restart DIR"; }

[ $# -eq 2 ] || usage
command=$1
[ -n "$2" ] || usage
dir=$(realpath -m -- "$2")
[ "$dir" != / ] || die "refusing to use / as the server directory"

datadir=$dir/data
pidfile=$dir/mysqld.pid
errlog=$dir/error.log
envfile=$dir/server.env

# A Unix socket's path holds at most 107 bytes. Under a deep DIR the socket goes
# to a short private folder in /tmp instead, which socket.dir names for stop.
socket_dir_file=$dir/socket.dir
socket=$dir/mysqld.sock
if [ -s "$socket_dir_file" ]; then
  socket=$(<"$socket_dir_file")/mysqld.sock
fi

# The pid of the server that DIR's pid file names, if that process is still a
# mariadbd of this data directory: a pid left over from a crash may by now
# belong to anything else, which we must not signal.
running_pid() {
  [ -s "$pidfile" ] || return 1
  local pid
  pid=$(tr -dc '0-9' <"$pidfile")
  [ -n "$pid" ] && [ -r "/proc/$pid/cmdline" ] || return 1
  tr '\0' '\n' <"/proc/$pid/cmdline" | grep -qxF -- "--datadir=$datadir" || return 1
  echo "$pid"
}

stop_server() {
  local pid
  pid=$(running_pid) || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  local deadline=$((SECONDS + STOP_TIMEOUT_S))
  while kill -0 "$pid" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "mariadb-server.sh: server $pid ignored TERM for ${STOP_TIMEOUT_S}s, killing it" >&2
      kill -KILL "$pid" 2>/dev/null || true
      sleep 0.5
      break
    fi
    sleep 0.1
  done
}

# Removes only what start creates: DIR may be a folder the caller shares.
remove_files() {
  rm -rf -- "$datadir" "$dir/tmp"
  rm -f -- "$socket" "$socket.lock" "$pidfile" "$errlog" "$envfile" "$envfile.tmp" \
    "$dir/mysqld.out" "$dir/install.log"
  if [ -s "$socket_dir_file" ]; then
    local short
    short=$(<"$socket_dir_file")
    case $short in /tmp/kqmariadb.*) rmdir -- "$short" 2>/dev/null || true ;; esac
    rm -f -- "$socket_dir_file"
  fi
  socket=$dir/mysqld.sock
  rmdir -- "$dir" 2>/dev/null || true
}

# A port nobody listens on now. Another process may still take it before the
# server binds; start retries with a new port when that happens.
free_port() {
  python3 - 2>/dev/null <<'EOF' || echo $((20000 + RANDOM % 40000))
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
EOF
}

sql_as_root() {
  mariadb --no-defaults --protocol=socket --socket="$socket" --user=root --batch
}

ping_server() {
  mariadb-admin --no-defaults --protocol=socket --socket="$socket" --user=root \
    --connect-timeout=1 ping >/dev/null 2>&1
}

# Starts mariadbd on $1 and waits until it answers. Returns 0 when it is up,
# 2 when the port was taken, 1 on any other failure.
launch() {
  local port=$1
  : >"$errlog"
  # setsid and closed standard streams: the server must outlive this script and
  # must not hold open the pipes of whoever ran it (CTest waits for those).
  setsid /usr/sbin/mariadbd --no-defaults \
    --datadir="$datadir" --socket="$socket" --port="$port" --bind-address=127.0.0.1 \
    --user=root --pid-file="$pidfile" --log-error="$errlog" --tmpdir="$dir/tmp" \
    --skip-name-resolve --skip-log-bin \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
    --innodb-buffer-pool-size=256M --innodb-log-file-size=64M \
    --innodb-flush-log-at-trx-commit=2 --innodb-doublewrite=0 \
    --max-allowed-packet=64M \
    </dev/null >"$dir/mysqld.out" 2>&1 &
  local launched=$!
  local deadline=$((SECONDS + START_TIMEOUT_S))
  until ping_server; do
    if ! kill -0 "$launched" 2>/dev/null; then
      wait "$launched" 2>/dev/null || true
      grep -qiE 'address already in use|bind on tcp/ip port' "$errlog" && return 2
      return 1
    fi
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "mariadb-server.sh: server did not answer within ${START_TIMEOUT_S}s" >&2
      kill -KILL "$launched" 2>/dev/null || true
      return 1
    fi
    sleep 0.1
  done
}

start() {
  stop_server
  remove_files
  mkdir -p "$dir/tmp" || die "cannot create $dir"
  if [ $((${#dir} + 12)) -gt 107 ]; then
    local short
    short=$(mktemp -d /tmp/kqmariadb.XXXXXX)
    echo "$short" >"$socket_dir_file"
    socket=$short/mysqld.sock
  fi
  # Whatever fails from here on, no server is left running behind the failure.
  trap '[ $? -eq 0 ] || stop_server' EXIT

  # The bootstrap server's temporary tables in the directory's own tmp:
  # installs that run side by side (a test's own server beside the
  # fixture's) must not meet in /tmp.
  mkdir -p "$dir/tmp"
  mariadb-install-db --no-defaults --datadir="$datadir" --user=root \
    --auth-root-authentication-method=normal --skip-name-resolve --skip-test-db \
    --tmpdir="$dir/tmp" \
    >"$dir/install.log" 2>&1 || { cat "$dir/install.log" >&2; die "mariadb-install-db failed"; }
  rm -f "$dir/install.log"

  local port rc attempt
  for ((attempt = 1; attempt <= PORT_ATTEMPTS; attempt++)); do
    port=$(free_port)
    rc=0
    launch "$port" || rc=$?
    [ "$rc" -eq 2 ] || break
  done
  if [ "$rc" -ne 0 ]; then
    echo "---- $errlog" >&2
    cat "$errlog" >&2 || true
    echo "---- $dir/mysqld.out" >&2
    cat "$dir/mysqld.out" >&2 || true
    die "server did not start"
  fi

  local pid
  pid=$(running_pid) || die "server answers but $pidfile names no server of $datadir"

  # Letters and digits only: the password travels through SQL text and env lines.
  local password
  password=$(head -c 48 /dev/urandom | base64 | tr -dc 'A-Za-z0-9')
  password=${password:0:24}
  [ ${#password} -ge 16 ] || die "could not generate a password"

  # The password goes to the client on its standard input, never on a command
  # line that ps would show.
  sql_as_root <<EOF
DELETE FROM mysql.global_priv WHERE User = 'root' AND Host <> 'localhost';
DELETE FROM mysql.global_priv WHERE User = '';
DELETE FROM mysql.proxies_priv WHERE Host <> 'localhost';
FLUSH PRIVILEGES;
CREATE DATABASE kqtest;
CREATE USER 'kqtest'@'localhost' IDENTIFIED BY '$password';
CREATE USER 'kqtest'@'127.0.0.1' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON kqtest.* TO 'kqtest'@'localhost';
GRANT ALL PRIVILEGES ON kqtest.* TO 'kqtest'@'127.0.0.1';
GRANT ALL PRIVILEGES ON kqbench.* TO 'kqtest'@'localhost';
GRANT ALL PRIVILEGES ON kqbench.* TO 'kqtest'@'127.0.0.1';
EOF

  # Written whole under another name, then renamed: a reader never sees half a file.
  (
    umask 077
    cat >"$envfile.tmp" <<EOF
KQ_MARIADB_HOST=127.0.0.1
KQ_MARIADB_PORT=$port
KQ_MARIADB_SOCKET=$socket
KQ_MARIADB_USER=kqtest
KQ_MARIADB_PASSWORD=$password
KQ_MARIADB_DATABASE=kqtest
KQ_MARIADB_PID=$pid
EOF
  )
  mv -f "$envfile.tmp" "$envfile"
  echo "mariadb-server.sh: server $pid on 127.0.0.1:$port and $socket; facts in $envfile"
}

stop() {
  stop_server
  remove_files
}

# A crash, for the tests of what the driver does when its server goes away:
# nothing is flushed or removed, so the server's own recovery runs on restart.
kill_server() {
  local pid
  pid=$(running_pid) || die "no server of $datadir is running"
  kill -KILL "$pid" 2>/dev/null || true
  local deadline=$((SECONDS + STOP_TIMEOUT_S))
  while kill -0 "$pid" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || die "server $pid outlived KILL for ${STOP_TIMEOUT_S}s"
    sleep 0.1
  done
  echo "mariadb-server.sh: server $pid killed; data kept in $datadir"
}

# The value of KEY in server.env (the facts start wrote).
fact() {
  sed -n "s/^$1=//p" "$envfile"
}

# The same server again: clients that kept the facts (port, socket, password)
# reach it as before. A server of DIR that still runs is stopped first.
restart() {
  [ -s "$envfile" ] && [ -d "$datadir" ] || die "$dir holds no server that start made"
  local port
  port=$(fact KQ_MARIADB_PORT)
  [[ $port =~ ^[0-9]+$ ]] || die "$envfile names no port"
  [ "$(fact KQ_MARIADB_SOCKET)" = "$socket" ] || die "$envfile names another socket than $socket"
  stop_server
  mkdir -p "$dir/tmp"
  local rc=0
  launch "$port" || rc=$?
  if [ "$rc" -ne 0 ]; then
    [ "$rc" -ne 2 ] || echo "mariadb-server.sh: port $port is taken by another process" >&2
    echo "---- $errlog" >&2
    cat "$errlog" >&2 || true
    die "server did not start again"
  fi
  local pid
  pid=$(running_pid) || die "server answers but $pidfile names no server of $datadir"
  echo "mariadb-server.sh: server $pid again on 127.0.0.1:$port and $socket; facts in $envfile"
}

case $command in
  start) start ;;
  stop) stop ;;
  kill) kill_server ;;
  restart) restart ;;
  *) usage ;;
esac
