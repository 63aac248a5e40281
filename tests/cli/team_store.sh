#!/usr/bin/env bash
# Four users generate into one PostgreSQL store at once, over overlapping
# selections of a model of 2,000 operations (every operation in two of the
# runs): every test file is there exactly once, under the name a single run
# into a fresh store gives it; every datapool exactly once; each script name
# recorded for one operation; every run exits 0, and none is asked about or
# keeps out a test the other run stored first (it differs only in the user
# its header names); a test the add-in logged as created and the batch then
# kept out would be told so in that run's log. The store
# runs on the tests' private cluster (tests/pg/cluster.sh; under ctest
# started once for all, ZT_TEST_PG_HOST), started here when run alone.
. "$2/tests/cli/lib/common.sh" "$@"
. "$src/tests/cli/lib/pg.sh"
unset ZTUNITTEST_USER

# 200 EJBs in four packages; each remote interface has 8 operations (an
# overloaded pair among them), each home interface create and
# findByPrimaryKey: 2,000 operations that get a test.
model() {
  local p e
  printf '{"root": "Logical View", "packages": [{"name": "javax", "packages": [{"name": "ejb", "classes": ['
  printf '{"name": "EJBObject", "stereotype": "Interface", "language": "Java"},'
  printf '{"name": "EJBHome", "stereotype": "Interface", "language": "Java"},'
  printf '{"name": "EntityBean", "stereotype": "Interface", "language": "Java"}]}]},'
  printf '{"name": "team", "packages": ['
  for p in 0 1 2 3; do
    [ "$p" -gt 0 ] && printf ','
    printf '{"name": "p%s", "classes": [' "$p"
    for e in $(seq 0 49); do
      [ "$e" -gt 0 ] && printf ','
      local x="E$p$e"
      printf '{"name": "%s", "stereotype": "EJBRemoteInterface", "language": "Java", "inherits": ["javax::ejb::EJBObject"], "operations": [' "$x"
      printf '{"name": "getA", "returnType": "int"}, {"name": "setA", "returnType": "void", "parameters": [{"name": "a", "type": "int"}]},'
      printf '{"name": "getB", "returnType": "String"}, {"name": "setB", "returnType": "void", "parameters": [{"name": "b", "type": "String"}]},'
      printf '{"name": "run", "returnType": "int"}, {"name": "add", "returnType": "int", "parameters": [{"name": "n", "type": "int"}]},'
      printf '{"name": "add", "returnType": "double", "parameters": [{"name": "d", "type": "double"}]},'
      printf '{"name": "reset", "returnType": "void"}]},'
      printf '{"name": "%sHome", "stereotype": "EJBHomeInterface", "language": "Java", "inherits": ["javax::ejb::EJBHome"], "operations": [' "$x"
      printf '{"name": "create", "returnType": "%s"}, {"name": "findByPrimaryKey", "returnType": "%s", "parameters": [{"name": "key", "type": "%sPK"}]}]},' "$x" "$x" "$x"
      printf '{"name": "%sBean", "stereotype": "EJBEntity", "language": "Java", "realizes": ["javax::ejb::EntityBean"], "properties": {"EJB": {"beantype": "Entity", "primarykey": "%sPK"}}, "attributes": [{"name": "a", "type": "int"}]},' "$x" "$x"
      printf '{"name": "%sPK", "language": "Java", "attributes": [{"name": "id", "type": "String"}], "operations": [{"name": "%sPK"}]}' "$x" "$x"
    done
    printf ']}'
  done
  printf ']}]}\n'
}
model >"$tmp/team.json"

store="$(pg_fresh_conninfo) scripts=$tmp/shared"
gen() {  # gen USER STORE SUMMARY PACKAGE...
  local user=$1 where=$2 summary=$3
  shift 3
  local args=()
  for p in "$@"; do args+=(--select "team::$p"); done
  "$zt" generate "$tmp/team.json" "${args[@]}" --store "$where" --user "$user" --templates "$src/templates" \
    --summary-json "$summary" </dev/null >"$summary.log" 2>"$summary.err"
}

# The four runs at once, each over two packages.
start=$(date +%s)
gen alice "$store" "$tmp/alice.json" p0 p1 & a=$!
gen bob "$store" "$tmp/bob.json" p1 p2 & b=$!
gen carol "$store" "$tmp/carol.json" p2 p3 & c=$!
gen dave "$store" "$tmp/dave.json" p3 p0 & d=$!
statuses=""
for pid in $a $b $c $d; do
  wait "$pid"
  statuses="$statuses $?"
done
echo "four runs of 1,000 operations at once: $(($(date +%s) - start)) s"
check "every run exits 0" [ "$statuses" = " 0 0 0 0" ]
for user in alice bob carol dave; do
  kept_after_all="was not written after all: another user's run wrote it meanwhile"
  check "$user: no failure on stderr" \
    bash -c "! grep -v \"$kept_after_all\" '$tmp/$user.json.err' | grep -qiE 'error|not written|was not|locked|lost'"
  # The tests its log calls created (the add-in's lines, after the store
  # took them) and its summary calls kept: each is told in the log as not
  # written after all.
  jq -r '.operations[] | select(.testOutcome == "kept") | .test' "$tmp/$user.json" | sort >"$tmp/$user.kept"
  sed -n 's/^ \+\(\/.*\.java\)$/\1/p' "$tmp/$user.json.log" | tr '\\' / | sort >"$tmp/$user.created"
  sed -n "s/^\(.*\.java\) $kept_after_all.*/\1/p" "$tmp/$user.json.log" | sort >"$tmp/$user.told"
  comm -12 "$tmp/$user.kept" "$tmp/$user.created" >"$tmp/$user.claimed"
  check "$user: each of the $(wc -l <"$tmp/$user.claimed") tests logged as created and kept out is told in the log" \
    cmp -s "$tmp/$user.claimed" "$tmp/$user.told"
  # The primary keys' constructors are selected too, and no generator takes them.
  check "$user: its summary counts 1,000 operations, all generated" \
    [ "$(jq -c '.counts | [.taken, .generated, .failed]' "$tmp/$user.json")" = "[1000,1000,0]" ]
done

# A single run of the whole model into a fresh folder store: the files and
# datapools there should be.
gen solo "$tmp/solo" "$tmp/solo.json" p0 p1 p2 p3
check "the single run exits 0" [ "$?" = 0 ]
(cd "$tmp/solo/scripts/java" && find . -type f | sort) >"$tmp/expected.files"
(cd "$tmp/shared/java" && find . -type f | sort) >"$tmp/team.files"
check "2,000 test files expected" [ "$(wc -l <"$tmp/expected.files")" = 2000 ]
check "every expected file exactly once, and nothing else" cmp -s "$tmp/expected.files" "$tmp/team.files"
"$zt" datapool list --store "$tmp/solo" --json | jq -r '.datapools[].name' | sort >"$tmp/expected.datapools"
"$zt" datapool list --store "$store" --json | jq -r '.datapools[].name' | sort >"$tmp/team.datapools"
check "2,000 datapools expected" [ "$(wc -l <"$tmp/expected.datapools")" = 2000 ]
check "every datapool exactly once, under the single run's names" cmp -s "$tmp/expected.datapools" "$tmp/team.datapools"
check "each datapool has its row" \
  [ "$("$zt" datapool list --store "$store" --json | jq '[.datapools[] | select(.rows == 1 or (.fields | length) == 0)] | length')" = 2000 ]

# Each file written by one run, and found the same by the other: every
# operation is in two runs, whose texts differ only in the user the header
# names (and perhaps its date), which is no change; nobody is asked, nothing
# is kept out.
outcomes=$(jq -r '.operations[] | select(.outcome == "generated") | .testOutcome' "$tmp"/{alice,bob,carol,dave}.json | sort | uniq -c | awk '{print $2 "=" $1}' | tr '\n' ' ')
check "4,000 tests, all stored: none kept ($outcomes)" [ "$outcomes" = "stored=4000 " ]
check "no run asked about another's test" bash -c "! grep -qF 'exists. Replace it?' '$tmp'/*.json.err"
dpoutcomes=$(jq -r '.operations[] | select(.outcome == "generated") | .datapoolOutcome' "$tmp"/{alice,bob,carol,dave}.json | sort | uniq -c | awk '{print $2 "=" $1}' | tr '\n' ' ')
check "4,000 datapools: 2,000 created, 2,000 found unchanged ($dpoutcomes)" \
  [ "$dpoutcomes" = "created=2000 unchanged=2000 " ]

# The script names: one record per test file, each name held once.
records=$(pg_query "$store" "SELECT count(*), count(DISTINCT (type, folder, name)), count(DISTINCT operation) FROM script_names")
check "2,000 script names, each held by one operation ($records)" [ "$records" = "2000|2000|2000" ]
suffixed=$(pg_query "$store" "SELECT count(*) FROM script_names WHERE suffix <> ''")
check "the second of each overloaded pair numbered ($suffixed)" [ "$suffixed" = 200 ]
sessions=$(pg_query "$store" "SELECT count(*), count(closed) FROM sessions")
check "every run's session recorded and closed ($sessions)" [ "${sessions%%|*}" -ge 4 -a "${sessions#*|}" = "${sessions%%|*}" ]
check "no temporary file left" [ -z "$(find "$tmp/shared" -name '.*~*')" ]

finish team_store
