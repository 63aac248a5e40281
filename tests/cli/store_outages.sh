#!/usr/bin/env bash
# A PostgreSQL store whose server stops answering (stopped with SIGSTOP, as a
# hung or unreachable server is): a connection is given up after its
# connect_timeout, a statement after its statement_timeout and a grace, and
# Ctrl-C during a run gives the wait up at once and cancels the run. A run
# whose server process hangs is given up and stops, as for a lost
# connection, and what it had sent without an answer is told as unknown,
# never as not stored. On a cluster of this test's own (tests/pg/cluster.sh),
# since it is stopped.
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
big_model 150 >"$tmp/big.json"
selection=$(printf -- '--select pkg%s ' {0..149})
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

# A run whose server process stops in the middle of it (the backend of the
# run's connection, as a hung server is): given up after the
# statement_timeout of the location's options (2 s) and 5 s of grace. The
# run then stops, as it does for a lost connection, instead of failing
# every operation left; what it had sent and not heard back about may be
# in the store once the backend goes on, and is told as unknown: no
# datapool the summary calls not stored is there afterwards.
# started SCRIPTS RUN-ARGS...: a run in the background, its pid in $run,
# the server (or with backend=1 the run's backend, its pid in $backend)
# stopped under it once it is under way (its first batch of tests is in
# SCRIPTS; a batch holds 4,096 tests at most, and 15,000 operations are far
# from done then).
psql=${ZT_PG_BINDIR:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -t/ -k5 -V -r | head -1)}/psql
query() { "$psql" -h "$pg" -U zt -d postgres -XAtqc "$1"; }
backend=0
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
  if [ "$backend" = 0 ]; then
    server STOP
  else
    backend=$(query "SELECT pid FROM pg_stat_activity WHERE application_name = '$PGAPPNAME' AND pid <> pg_backend_pid()")
    kill -STOP "$backend"
  fi
  since=$(ms)
}
# ended: waits (30 s at most) for the run to end, the time since $since in
# $took, then lets the server go on; the run's status in $status.
ended() {
  timeout 30 tail --pid="$run" -f /dev/null
  took=$(($(ms) - since))
  if [ "$backend" = 0 ]; then server CONT; else kill -CONT "$backend"; fi
  wait "$run"
  status=$?
}
query "CREATE SCHEMA hung"
backend=1
export PGAPPNAME=zt-outage-hung  # the run's connection, as the server lists it
started "$tmp/t" --store "$db options='-csearch_path=hung -cstatement_timeout=2000' scripts=$tmp/t" \
  --summary-json "$tmp/hung.json"
unset PGAPPNAME
check "statement timeout: the run was under way when its backend stopped" test "$under_way" -eq 1
ended
# The backend goes on with what it had been sent, and ends once it finds
# the connection closed.
for _ in $(seq 100); do
  [ "$(query "SELECT count(*) FROM pg_stat_activity WHERE pid = $backend")" = 0 ] && break
  sleep 0.1
done
backend=0
check "statement timeout: the run stops (status $status)" test "$status" -eq 130
check "statement timeout: after the timeout and the grace (${took} ms)" test "$took" -ge 6000 -a "$took" -lt 25000
check "statement timeout: the log says why" grep -q "did not answer within its statement timeout (2000 ms" "$tmp/out"
check "statement timeout: stderr says the run stops, once" \
  test "$(grep -c "did not answer within .*; the run stops here" "$tmp/err")" -eq 1
reached=$(jq '.counts.reached' "$tmp/hung.json")
check "statement timeout: the operations after it are not reached (reached $reached of 15000)" test "$reached" -lt 15000
jq -r '.operations[] | select(.datapoolOutcome == "not-stored") | .datapool' "$tmp/hung.json" | sort >"$tmp/not-stored"
query "SELECT name FROM hung.datapools" | sort >"$tmp/stored"
check "statement timeout: no datapool called not stored is in the store ($(comm -12 "$tmp/not-stored" "$tmp/stored" | wc -l) are)" \
  test -z "$(comm -12 "$tmp/not-stored" "$tmp/stored")"
jq -r '.operations[] | select(.datapoolOutcome == "unknown") | .datapool' "$tmp/hung.json" | sort >"$tmp/unknown"
check "statement timeout: each datapool told unknown on stderr, to be run again" \
  test "$(grep -c "may or may not be stored" "$tmp/err")" -eq "$(wc -l <"$tmp/unknown")"
check "statement timeout: the summary's warnings say run again" \
  test "$(jq '[.warnings[] | select(test("run again"))] | length' "$tmp/hung.json")" -ge "$(wc -l <"$tmp/unknown")"

# Ctrl-C while the run waits on the stopped server (by the time its batch
# is due, a second at most): the run is cancelled at once, not when the
# server comes back. Into a schema of its own: a first run, not a rerun of
# the ones above, which would have nothing to wait for.
query "CREATE SCHEMA ctrlc"
started "$tmp/c" --store "$db options='-csearch_path=ctrlc' scripts=$tmp/c"
check "Ctrl-C: the run was under way when the server stopped" test "$under_way" -eq 1
sleep 1.5
kill -INT "$run"
since=$(ms)
ended
check "Ctrl-C: the run is cancelled (status $status)" test "$status" -eq 130
# (The server stays stopped until the run ends or 30 s pass: a run that
# waited for it would take the 30 s. Well below that, the bound leaves room
# for a loaded machine.)
check "Ctrl-C: at once (${took} ms)" test "$took" -lt 10000
check "Ctrl-C: the log says why" grep -q "interrupted (Ctrl-C) while waiting for the database" "$tmp/out"
"$zt" datapool list --store "$db options='-csearch_path=ctrlc' scripts=$tmp/c" >/dev/null 2>&1
check "the store answers once the server is back (status $?)" test $? -eq 0

finish store_outages
