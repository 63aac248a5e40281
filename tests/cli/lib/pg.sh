# The tests' PostgreSQL cluster for a command-line test, sourced after
# common.sh: the one ctest started for all tests (ZT_TEST_PG_HOST), or one
# of this script's own, started now and stopped at exit (tests/pg/cluster.sh).
#   pg_fresh_conninfo        a connection string to a new, empty schema
#   pg_query LOCATION SQL    runs SQL on a store's database; rows on stdout,
#                            columns separated by "|"
pg_bindir=${ZT_PG_BINDIR:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -t/ -k5 -V -r | head -1)}
if [ -n "${ZT_TEST_PG_HOST:-}" ]; then
  pg_host=$ZT_TEST_PG_HOST
else
  pg_host=/tmp/zt-pg-cli-$$
  bash "$src/tests/pg/cluster.sh" start "$pg_host" || { echo "FAIL: the tests' PostgreSQL cluster did not start"; exit 1; }
  trap 'bash "$src/tests/pg/cluster.sh" stop "$pg_host"; rm -rf "$tmp"' EXIT
fi
pg_fresh_conninfo() {
  # Called as $(pg_fresh_conninfo): each call is a subshell of its own.
  local schema="cli$$_$BASHPID"
  "$pg_bindir/psql" -X -q -h "$pg_host" -U zt -d postgres -c "CREATE SCHEMA $schema" >/dev/null || return 1
  echo "host=$pg_host user=zt dbname=postgres options='-csearch_path=$schema'"
}
pg_query() {
  local conninfo=${1% scripts=*}
  "$pg_bindir/psql" -X -q -At -F'|' -d "$conninfo" -c "$2"
}
