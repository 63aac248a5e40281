#!/usr/bin/env bash
# A private PostgreSQL cluster for the tests: its own data folder, its
# socket in that folder, no TCP port, run by an unprivileged user (nobody
# when called as root, as CI is). Nothing of a server the machine runs
# itself is used or touched.
#
#   cluster.sh start DIR   make DIR, initdb into DIR/data, start the server
#                          with its socket in DIR (the role "zt", a
#                          superuser, logs in without a password over it)
#   cluster.sh stop DIR    stop the server and remove DIR
#   cluster.sh down DIR    stop the server, ending its connections, keeping DIR
#   cluster.sh up DIR      start the server of DIR again
#
# The server binaries are Debian's postgresql package's
# (/usr/lib/postgresql/VERSION/bin, the newest), or ZT_PG_BINDIR. The
# server trades durability for speed (no fsync, commits not waited for),
# unless ZT_PG_DURABLE=1 asks for PostgreSQL's defaults, as a team's server
# has them (the benchmark's team scenario measures both).
set -euo pipefail
cmd=${1:?usage: cluster.sh start|stop DIR}
dir=${2:?usage: cluster.sh start|stop DIR}

bindir=${ZT_PG_BINDIR:-}
if [ -z "$bindir" ]; then
  for candidate in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -t/ -k5 -V -r); do
    if [ -x "$candidate/initdb" ]; then bindir=$candidate; break; fi
  done
fi
if [ -z "$bindir" ] && command -v initdb >/dev/null 2>&1; then bindir=$(dirname "$(command -v initdb)"); fi
if [ -z "$bindir" ] || [ ! -x "$bindir/pg_ctl" ]; then
  echo "cluster.sh: no PostgreSQL server found; install Debian's postgresql package (./bootstrap.sh test does)" >&2
  exit 1
fi

# Runs the server's programs as the owner of the cluster.
as_owner() {
  if [ "$(id -u)" = 0 ]; then
    (cd "$dir" && setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups -- env HOME="$dir" "$@")
  else
    (cd "$dir" && "$@")
  fi
}

stop() {
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
}

serve() {
  local durability="-c fsync=off -c synchronous_commit=off -c full_page_writes=off"
  [ "${ZT_PG_DURABLE:-0}" = 1 ] && durability=""
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-k $dir -c listen_addresses= $durability -c max_connections=60 -c dynamic_shared_memory_type=mmap" \
    start >/dev/null
}

case "$cmd" in
  down) as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w -t 30 stop >/dev/null ;;
  up) serve || { cat "$dir/server.log" >&2; exit 1; } ;;
  start)
    stop  # what a killed run left
    mkdir -p "$dir"
    chmod 0700 "$dir"
    [ "$(id -u)" = 0 ] && chown nobody "$dir"
    if ! as_owner "$bindir/initdb" -D "$dir/data" -U zt -A trust -E UTF8 --locale=C --no-sync \
        >"$dir/initdb.log" 2>&1; then
      cat "$dir/initdb.log" >&2
      exit 1
    fi
    # Speed over durability: the cluster lives as long as the tests. Its
    # dynamic shared memory is a file in its own folder, not a segment in the
    # machine's /dev/shm that a killed server would leave behind.
    if ! serve; then
      cat "$dir/server.log" >&2
      exit 1
    fi
    ;;
  stop) stop ;;
  *) echo "usage: cluster.sh start|stop|down|up DIR" >&2; exit 2 ;;
esac
