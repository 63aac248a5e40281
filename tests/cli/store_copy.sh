#!/usr/bin/env bash
# Moving a team over: a store folder copied into a PostgreSQL store and back
# holds the same datapools (rows, times, user), tool options, name records
# and scripts; a run on the copy names everything as on the original and
# finds nothing to do; a target that holds something of the same names is
# refused, with nothing copied, unless --replace. On the tests' private
# PostgreSQL cluster (tests/cli/lib/pg.sh).
. "$2/tests/cli/lib/common.sh" "$@"
. "$src/tests/cli/lib/pg.sh"
unset ZTUNITTEST_USER

gen() {  # gen STORE: the bundled EJB example, whole
  "$zt" generate "$src/examples/bank-ejb.json" --select bank --recursive --store "$1" --user alice \
    --templates "$src/templates" </dev/null >"$tmp/log" 2>"$tmp/err"
}
# A store's datapools in full, its options and its script files with their bytes.
contents() {
  local store=$1 scripts=$2 name
  for name in $("$zt" datapool list --store "$store" --json | jq -r '.datapools[].name'); do
    "$zt" datapool show "$name" --store "$store" --json
  done
  "$zt" options --store "$store" --json | jq -c '.options'
  (cd "$scripts" && find . -type f -exec sha256sum {} + | sort -k2)
}

gen "$tmp/folder"
check "the original is made" [ "$?" = 0 ]
"$zt" options --store "$tmp/folder" --resource-compiler-options "/nologo" >/dev/null
contents "$tmp/folder" "$tmp/folder/scripts" >"$tmp/folder.txt"
check "the original holds datapools and scripts" [ "$(grep -c '"name"' "$tmp/folder.txt")" -gt 10 ]

team="$(pg_fresh_conninfo) scripts=$tmp/shared"
"$zt" store copy "$tmp/folder" "$team" >"$tmp/out" 2>"$tmp/err"
check "copied into PostgreSQL" [ "$?" = 0 ]
check "the copy says what it copied" grep -q "^Copied 12 datapools, 1 tool options, 24 name records and 12 scripts from " "$tmp/out"
contents "$team" "$tmp/shared" >"$tmp/team.txt"
check "the PostgreSQL store holds what the folder holds" cmp -s "$tmp/folder.txt" "$tmp/team.txt"

gen "$team"
check "a run on the copy succeeds" [ "$?" = 0 ]
check "and asks nothing" [ -z "$(grep -i 'replace\|overwrite' "$tmp/err")" ]
contents "$team" "$tmp/shared" >"$tmp/team2.txt"
check "and changes nothing" cmp -s "$tmp/folder.txt" "$tmp/team2.txt"

"$zt" store copy "$tmp/folder" "$team" >"$tmp/out" 2>"$tmp/err"
check "a target holding the same names is refused" [ "$?" = 1 ]
check "naming what it holds" grep -q "already holds 12 items of what .* holds: datapool AccountHome_create, " "$tmp/err"
"$zt" datapool import Account_deposit /dev/stdin --store "$tmp/folder" <<<$'amount\n1.5\n2.5' >/dev/null
"$zt" store copy "$tmp/folder" "$team" --replace >"$tmp/out" 2>"$tmp/err"
check "--replace replaces" [ "$?" = 0 ]
check "the changed rows with it" [ "$("$zt" datapool show Account_deposit --store "$team" --json | jq -c '.rows')" = '[["1.5"],["2.5"]]' ]

"$zt" store copy "$team" "$tmp/back" >"$tmp/out" 2>"$tmp/err"
check "copied back into a folder" [ "$?" = 0 ]
contents "$tmp/folder" "$tmp/folder/scripts" >"$tmp/folder2.txt"
contents "$tmp/back" "$tmp/back/scripts" >"$tmp/back.txt"
check "the round trip keeps everything" cmp -s "$tmp/folder2.txt" "$tmp/back.txt"

"$zt" store copy "$tmp/folder" "$tmp/folder/" >"$tmp/out" 2>"$tmp/err"
check "a store is not copied onto itself" [ "$?" = 2 ]
"$zt" store copy "$tmp/nothing" "$tmp/x" >"$tmp/out" 2>"$tmp/err"
check "no store, no copy" [ "$?" = 1 -a ! -e "$tmp/x" ]
"$zt" store copy "$tmp/folder" "host=$pg_host dbname=postgres password=secret scripts=$tmp/s" >"$tmp/out" 2>"$tmp/err"
check "a password on the command line is refused" grep -q "a password does not belong" "$tmp/err"
"$zt" store copy "$tmp/folder" "host=$pg_host dbname=postgres" >"$tmp/out" 2>"$tmp/err"
check "a database without a scripts folder is refused" grep -q "needs the folder of its scripts" "$tmp/err"

finish store_copy
