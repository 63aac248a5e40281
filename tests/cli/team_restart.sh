#!/usr/bin/env bash
# A PostgreSQL store whose server goes away in the middle of a run. A
# restart (the server down for a moment) is survived: the store makes its
# connection anew, sends the operation in hand again, and the run finishes
# with every test and datapool, as a run without the restart does. A server
# that stays away past the store's bound (30 s) stops the run at once, with
# the cause on stderr, instead of failing every operation left; a rerun
# once it is back completes the store, and leaves no test without its
# datapool. A --quiet run that loses its server tells each cause once, and
# how many more operations it struck, the cause last; the log lists every
# one. On a cluster of this test's own (tests/pg/cluster.sh), since it is
# taken down.
. "$2/tests/cli/lib/common.sh" "$@"
need jq jq
export ZTUNITTEST_USER=tester
pg=/tmp/zt-pg-restart-$$
cluster() { bash "$src/tests/pg/cluster.sh" "$1" "$pg"; }
cluster start || { echo "FAIL: the test's PostgreSQL cluster did not start"; exit 1; }
trap 'cluster stop; rm -rf "$tmp"' EXIT
ms() { date +%s%3N; }
# 6,000 operations: a run far from done when the server goes away.
big_model 60 >"$tmp/big.json"
selection=$(printf -- '--select pkg%s ' {0..59})
db="host=$pg user=zt dbname=postgres"
psql=${ZT_PG_BINDIR:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -t/ -k5 -V -r | head -1)}/psql
query() { PGOPTIONS="-csearch_path=$1" "$psql" -h "$pg" -U zt -d postgres -XAtc "$2"; }
gen() {  # gen SCHEMA SUMMARY [OPTION...]: a run of the whole selection
  local schema=$1 summary=$2
  shift 2
  "$zt" generate "$tmp/big.json" $selection --store "$db options='-csearch_path=$schema' scripts=$tmp/$schema" \
    --summary-json "$tmp/$summary.json" "$@" </dev/null >"$tmp/$summary.out" 2>"$tmp/$summary.err"
}
# started SCHEMA SUMMARY: the run in the background, its pid in $run, once
# it has stored 300 datapools (under way, far from done).
started() {
  gen "$@" &
  run=$!
  for _ in $(seq 600); do
    [ "$(query "$1" 'SELECT count(*) FROM datapools' 2>/dev/null)" -ge 300 ] 2>/dev/null && return
    sleep 0.05
  done
}
# Tests without their datapool in the store of SCHEMA: scripts whose
# operation has no datapool name, or whose datapool is missing.
orphans() {
  query "$1" "SELECT count(*) FROM script_names s LEFT JOIN datapool_names n ON n.operation = s.operation
              LEFT JOIN datapools d ON d.name = n.name WHERE d.id IS NULL"
}
for schema in survived stopped; do query public "CREATE SCHEMA $schema" >/dev/null; done

# A restart: down for a second, up again.
started survived first
cluster down
sleep 1
cluster up
wait "$run"
status=$?
check "restart: the run finishes (status $status)" test "$status" -eq 0
check "restart: no failure on stderr" bash -c "! grep -qiE 'error|lost|not stored|failed' '$tmp/first.err'"
check "restart: every operation generated" \
  test "$(jq -c '.counts | [.taken == .generated, .failed]' "$tmp/first.json")" = "[true,0]"
check "restart: 6,000 tests" test "$(find "$tmp/survived/java" -name '*.java' | wc -l)" -eq 6000
check "restart: 6,000 datapools" test "$(query survived 'SELECT count(*) FROM datapools')" -eq 6000
check "restart: no test without its datapool" test "$(orphans survived)" -eq 0

# A server that stays away: the run stops after the bound, with the cause.
started stopped second --quiet --log "$tmp/second.log"
# Timed from before the server goes: the run cannot find it gone earlier,
# and the stop may wait a while for the server's last checkpoint.
since=$(ms)
cluster down
timeout 60 tail --pid="$run" -f /dev/null
took=$(($(ms) - since))
wait "$run"
status=$?
check "gone: the run stops (status $status)" test "$status" -ne 0
check "gone: after the bound of 30 s, at once (${took} ms)" test "$took" -ge 29000 -a "$took" -lt 45000
check "gone: the cause on stderr" grep -q "the connection to the database .* was lost (.*), and no new one could be made within 30 s" "$tmp/second.err"
check "gone: said once" test "$(grep -c "was lost" "$tmp/second.err")" -eq 1
# Each datapool the server took along is in the log; on stderr the first is
# told whole and the others counted once, with the cause.
for what in "may or may not be stored in" "was not stored in"; do
  logged=$(grep -c "The datapool [^ ]* $what" "$tmp/second.log")
  told=$(grep -c "^The datapool [^ ]* $what" "$tmp/second.err")
  check "gone: \"$what\" told whole once of $logged" test "$told" -eq $((logged > 0 ? 1 : 0))
  if [ "$logged" -ge 2 ]; then
    check "gone: \"$what\": the others counted, the cause last" grep -qx \
      "ztunittest: … and $((logged - 1)) more for the same reason, listed in the log: The datapool … $what postgresql://.*" \
      "$tmp/second.err"
  fi
done
check "gone: stderr holds a few lines, not one per operation ($(wc -l <"$tmp/second.err"))" \
  test "$(wc -l <"$tmp/second.err")" -le 20
failed=$(jq '.counts.failed' "$tmp/second.json" 2>/dev/null || echo none)
# Failed are the operations of the batch on its way (their scripts are not
# placed, since their datapools are not known to be stored), at most a
# batch's 4,096, and the operation in hand when the loss was found; the
# operations after it were never reached. (On a loaded
# machine the server may take so long to go that the batch on its way holds
# the model's last operation: then none is left unreached.)
generated=$(jq '.counts.generated' "$tmp/second.json" 2>/dev/null || echo none)
check "gone: only the batch on its way failed (generated $generated, failed $failed)" \
  test "$failed" != none -a "$generated" != none -a "$failed" -le 4097 -a $((generated + failed)) -le 6000
cluster up
gen stopped third
status=$?
check "gone: a rerun completes (status $status)" test "$status" -eq 0
check "gone: 6,000 tests after the rerun" test "$(find "$tmp/stopped/java" -name '*.java' | wc -l)" -eq 6000
check "gone: 6,000 datapools after the rerun" test "$(query stopped 'SELECT count(*) FROM datapools')" -eq 6000
check "gone: no test without its datapool" test "$(orphans stopped)" -eq 0

finish team_restart
