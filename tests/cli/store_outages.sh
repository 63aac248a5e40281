#!/usr/bin/env bash
# A PostgreSQL store whose server stops answering (stopped with SIGSTOP, as a
# hung or unreachable server is): a connection is given up after its
# connect_timeout, a statement after its statement_timeout and a grace, and
# Ctrl-C during a run gives the wait up at once and cancels the run. On a
# cluster of this test's own (tests/pg/cluster.sh), since it is stopped.
. "$2/tests/cli/lib/common.sh" "$@"
need jq jq
export ZTUNITTEST_USER=tester
pg=/tmp/zt-pg-outage-$$
bash "$src/tests/pg/cluster.sh" start "$pg" || { echo "FAIL: the test's PostgreSQL cluster did not start"; exit 1; }
server() {  # server STOP|CONT: the signal to the server and every process of it
  local main
  main=$(head -1 "$pg/data/postmaster.pid")
  kill -"$1" "$main" $(ps -o pid= --ppid "$main")
}
trap 'server CONT 2>/dev/null; bash "$src/tests/pg/cluster.sh" stop "$pg"; rm -rf "$tmp"' EXIT
ms() { date +%s%3N; }
big_model 30 >"$tmp/big.json"
selection=$(printf -- '--select pkg%s ' {0..29})
db="host=$pg user=zt dbname=postgres"

# A server that does not answer a connection: given up after connect_timeout,
# from the location or PGCONNECT_TIMEOUT, else after the store's 10 s.
"$zt" generate "$src/examples/bank-ejb.json" --select bank --recursive --store "$db scripts=$tmp/s" \
  </dev/null >/dev/null 2>"$tmp/err"
check "the store is made" test $? -eq 0
server STOP
while read -r how setting location seconds; do  # "_": none
  [ "$setting" = _ ] && setting=
  [ "$location" = _ ] && location=
  start=$(ms)
  env $setting timeout 30 "$zt" datapool list --store "$db $location scripts=$tmp/s" >/dev/null 2>"$tmp/err"
  status=$? took=$(($(ms) - start))
  check "$how: a stopped server is given up (status $status)" test "$status" -eq 1
  check "$how: after the timeout (${took} ms)" test "$took" -ge $((seconds * 1000 - 500)) -a "$took" -lt $((seconds * 1000 + 5000))
  check "$how: saying why" grep -q "no connection within $seconds s" "$tmp/err"
done <<'CASES'
by-default _ _ 10
PGCONNECT_TIMEOUT PGCONNECT_TIMEOUT=2 _ 2
connect_timeout _ connect_timeout=3 3
CASES
server CONT

# A run whose server stops in the middle of it: given up after the
# statement_timeout of the location's options (2 s) and 5 s of grace; the
# operations after it then fail at once.
# started SCRIPTS RUN-ARGS...: a run in the background, its pid in $run,
# the server stopped under it once it is under way (its first batch of
# tests is in SCRIPTS; 3,000 operations are far from done then).
started() {
  local scripts=$1
  shift
  "$zt" generate "$tmp/big.json" $selection "$@" </dev/null >"$tmp/out" 2>"$tmp/err" &
  run=$!
  for _ in $(seq 200); do
    [ -n "$(find "$scripts" -name '*.java' -print -quit 2>/dev/null)" ] && break
    sleep 0.05
  done
  under_way=0
  kill -0 "$run" 2>/dev/null && under_way=1
  server STOP
  since=$(ms)
}
# ended: waits (30 s at most) for the run to end, the time since $since in
# $took, then lets the server go on; the run's status in $status.
ended() {
  timeout 30 tail --pid="$run" -f /dev/null
  took=$(($(ms) - since))
  server CONT
  wait "$run"
  status=$?
}
started "$tmp/t" --store "$db options='-cstatement_timeout=2000' scripts=$tmp/t"
check "statement timeout: the run was under way when the server stopped" test "$under_way" -eq 1
ended
check "statement timeout: the run fails (status $status)" test "$status" -eq 1
check "statement timeout: after the timeout and the grace (${took} ms)" test "$took" -ge 6000 -a "$took" -lt 25000
check "statement timeout: the log says why" grep -q "did not answer within its statement timeout (2000 ms" "$tmp/out"

# Ctrl-C while the run waits on the stopped server (by the time its batch
# is due, a second at most): the run is cancelled at once, not when the
# server comes back. Into a schema of its own: a first run, not a rerun of
# the ones above, which would have nothing to wait for.
psql=${ZT_PG_BINDIR:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -t/ -k5 -V -r | head -1)}/psql
"$psql" -h "$pg" -U zt -d postgres -XAtqc "CREATE SCHEMA ctrlc"
started "$tmp/c" --store "$db options='-csearch_path=ctrlc' scripts=$tmp/c"
check "Ctrl-C: the run was under way when the server stopped" test "$under_way" -eq 1
sleep 1.5
kill -INT "$run"
since=$(ms)
ended
check "Ctrl-C: the run is cancelled (status $status)" test "$status" -eq 130
check "Ctrl-C: at once (${took} ms)" test "$took" -lt 3000
check "Ctrl-C: the log says why" grep -q "interrupted (Ctrl-C) while waiting for the database" "$tmp/out"
"$zt" datapool list --store "$db options='-csearch_path=ctrlc' scripts=$tmp/c" >/dev/null 2>&1
check "the store answers once the server is back (status $?)" test $? -eq 0

finish store_outages
