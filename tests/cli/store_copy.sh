#!/usr/bin/env bash
# Moving a team over: a store folder copied into a PostgreSQL store and back
# holds the same datapools (rows, times, user), tool options, name records
# and scripts, and so does a copy through a project; a run on the copy names everything as on the original and
# finds nothing to do; a target that holds something else under the same
# names is refused, with nothing copied, unless --replace. A copy is all or
# nothing; a source it cannot read whole, or a value no store keeps, fails
# it. On the tests' private PostgreSQL cluster (tests/cli/lib/pg.sh).
. "$2/tests/cli/lib/common.sh" "$@"
. "$src/tests/cli/lib/pg.sh"
unset ZTUNITTEST_USER
need jq jq
need sqlite3 sqlite3

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
check "a run logs in once: one session" [ "$(sqlite3 "$tmp/folder/store.db" 'SELECT count(*) FROM sessions')" = 1 ]
"$zt" options --store "$tmp/folder" --resource-compiler-options "/nologo" >/dev/null
contents "$tmp/folder" "$tmp/folder/scripts" >"$tmp/folder.txt"
check "the original holds datapools and scripts" [ "$(grep -c '"name"' "$tmp/folder.txt")" -gt 10 ]

team="$(pg_fresh_conninfo) scripts=$tmp/shared"
"$zt" store copy "$tmp/folder" "$team" >"$tmp/out" 2>"$tmp/err"
check "copied into PostgreSQL" [ "$?" = 0 ]
check "the copy says what it copied" grep -q "^Copied 12 datapools, 1 tool options, 24 name records and 12 scripts from " "$tmp/out"
contents "$team" "$tmp/shared" >"$tmp/team.txt"
check "the PostgreSQL store holds what the folder holds" cmp -s "$tmp/folder.txt" "$tmp/team.txt"

sessions=$(pg_query "$team" 'SELECT count(*) FROM sessions')
gen "$team"
check "a run on the copy succeeds" [ "$?" = 0 ]
check "and adds one session" [ "$(pg_query "$team" 'SELECT count(*) FROM sessions')" = $((sessions + 1)) ]
check "and asks nothing" [ -z "$(grep -i 'replace\|overwrite' "$tmp/err")" ]
contents "$team" "$tmp/shared" >"$tmp/team2.txt"
check "and changes nothing" cmp -s "$tmp/folder.txt" "$tmp/team2.txt"

"$zt" store copy "$tmp/folder" "$team" >"$tmp/out" 2>"$tmp/err"
check "copying what the target holds already is no conflict" [ "$?" = 0 ]
"$zt" datapool import Account_deposit /dev/stdin --store "$tmp/folder" <<<$'amount\n1.5\n2.5' >/dev/null
"$zt" store copy "$tmp/folder" "$team" >"$tmp/out" 2>"$tmp/err"
check "a target holding other content under a name is refused" [ "$?" = 1 ]
check "naming what it holds" grep -q "already holds 1 items of what .* holds: datapool Account_deposit. Nothing" "$tmp/err"
"$zt" store copy "$tmp/folder" "$team" --replace >"$tmp/out" 2>"$tmp/err"
check "--replace replaces" [ "$?" = 0 ]
check "the changed rows with it" [ "$("$zt" datapool show Account_deposit --store "$team" --json | jq -c '.rows')" = '[["1.5"],["2.5"]]' ]

"$zt" store copy "$team" "$tmp/back" >"$tmp/out" 2>"$tmp/err"
check "copied back into a folder" [ "$?" = 0 ]
contents "$tmp/folder" "$tmp/folder/scripts" >"$tmp/folder2.txt"
contents "$tmp/back" "$tmp/back/scripts" >"$tmp/back.txt"
check "the round trip keeps everything" cmp -s "$tmp/folder2.txt" "$tmp/back.txt"

# A team's store into a project and back into a folder: the same datapools
# (but their times, which a project does not keep), options, name records
# and scripts; the Java tests lie in their packages' folders in the project.
timeless() {  # timeless STORE SCRIPTS: contents, without the datapools' times
  local name
  for name in $("$zt" datapool list --store "$1" --json | jq -r '.datapools[].name'); do
    "$zt" datapool show "$name" --store "$1" --json | jq -c 'del(.created, .updated)'
  done
  "$zt" options --store "$1" --json | jq -c '.options'
  (cd "$2" && find . -type f -exec sha256sum {} + | sort -k2)
}
mkdir "$tmp/project"
"$zt" store copy "$team" "project:$tmp/project" >"$tmp/out" 2>"$tmp/err"
check "copied into a project" [ "$?" = 0 ]
check "a test in its package's folder" test -f "$tmp/project/src/test/java/bank/core/Accountdeposit.java"
check "a datapool as a CSV file" test -f "$tmp/project/src/test/resources/ztunittest/Account_deposit.csv"
"$zt" store copy "project:$tmp/project" "$tmp/fromproject" >"$tmp/out" 2>"$tmp/err"
check "copied from the project into a folder" [ "$?" = 0 ]
check "every script of it" grep -q "^Copied 12 datapools, 1 tool options, 24 name records and 12 scripts from " "$tmp/out"
timeless "$tmp/back" "$tmp/back/scripts" >"$tmp/back-timeless.txt"
timeless "$tmp/fromproject" "$tmp/fromproject/scripts" >"$tmp/project.txt"
check "(which holds the datapools)" [ "$(grep -c '"rows"' "$tmp/project.txt")" = 12 ]
check "the project's round trip keeps all but the times" cmp -s "$tmp/back-timeless.txt" "$tmp/project.txt"
gen "project:$tmp/project"
check "a run on the project copy asks nothing" [ -z "$(grep -i 'replace\|overwrite' "$tmp/err")" ]

"$zt" store copy "$tmp/folder" "$tmp/folder/" >"$tmp/out" 2>"$tmp/err"
check "a store is not copied onto itself" [ "$?" = 2 ]
"$zt" store copy "$tmp/nothing" "$tmp/x" >"$tmp/out" 2>"$tmp/err"
check "no store, no copy" [ "$?" = 1 -a ! -e "$tmp/x" ]
"$zt" store copy "$tmp/folder" "host=$pg_host dbname=postgres password=secret scripts=$tmp/s" >"$tmp/out" 2>"$tmp/err"
check "a password on the command line is refused" grep -q "a password does not belong" "$tmp/err"
check "without showing it" grep -q "password=\*\*\* " "$tmp/err"
check "not even once" [ "$(grep -c secret "$tmp/err")" = 0 ]
"$zt" store copy "$tmp/folder" "host=$pg_host dbname=postgres" >"$tmp/out" 2>"$tmp/err"
check "a database without a scripts folder is refused" grep -q "needs the folder of its scripts" "$tmp/err"

# The copy is all or nothing. A target that cannot take one of the scripts
# (a file larger than the process may write: a full disk as far as the copy
# can tell) gets nothing: no datapool, no name, no script, no temporary; a
# plain retry then copies it all. With --replace, not one of the target's
# own scripts is lost.
big=$tmp/folder/scripts/java/unittests/bank/core/Big.java
head -c 200000 /dev/zero | tr '\0' x >"$big"
limited() {  # limited COMMAND...: COMMAND with files of at most 100 KiB
  (trap '' XFSZ && ulimit -f 100 && exec "$@")
}
team="$(pg_fresh_conninfo) scripts=$tmp/full"
limited "$zt" store copy "$tmp/folder" "$team" >"$tmp/out" 2>"$tmp/err"
check "a copy into a full target fails" [ "$?" = 1 ]
check "naming the script it could not write" grep -q "$tmp/full/java/unittests/bank/core/Big.java.*File too large" "$tmp/err"
check "and what it leaves" grep -q "Nothing was copied into .*: it holds what it held before" "$tmp/err"
check "no datapool went in" [ "$(pg_query "$team" 'SELECT count(*) FROM datapools')" = 0 ]
check "no name went in" [ "$(pg_query "$team" 'SELECT (SELECT count(*) FROM datapool_names) + (SELECT count(*) FROM script_names)')" = 0 ]
check "no script and no temporary file went in" [ -z "$(find "$tmp/full" -type f)" ]
check "nor the folders made for them" [ -z "$(find "$tmp/full" -mindepth 2)" ]
"$zt" store copy "$tmp/folder" "$team" >"$tmp/out" 2>"$tmp/err"
check "a plain retry finishes the copy" [ "$?" = 0 ]
contents "$tmp/folder" "$tmp/folder/scripts" >"$tmp/folder3.txt"
contents "$team" "$tmp/full" >"$tmp/full.txt"
check "and the target holds what the source holds" cmp -s "$tmp/folder3.txt" "$tmp/full.txt"
for f in $(cd "$tmp/full" && find . -name '*.java'); do echo "// edited by hand" >>"$tmp/full/$f"; done
(cd "$tmp/full" && find . -type f -exec sha256sum {} + | sort -k2) >"$tmp/edited"
limited "$zt" store copy "$tmp/folder" "$team" --replace >"$tmp/out" 2>"$tmp/err"
check "--replace into a full target fails" [ "$?" = 1 ]
(cd "$tmp/full" && find . -type f -exec sha256sum {} + | sort -k2) >"$tmp/edited-after"
check "and keeps every script the target held" cmp -s "$tmp/edited" "$tmp/edited-after"
rm "$big"

# FROM is read whole before anything is written: a folder or a file of it
# that cannot be read fails the copy, naming it. (Root reads every folder:
# the copy runs as nobody then.)
as_user() { if [ "$(id -u)" = 0 ]; then setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups -- "$@"; else "$@"; fi; }
mkdir -m 0777 "$tmp/own"
chmod 0711 "$tmp"
as_user "$zt" store copy "$tmp/folder" "$tmp/own/src" >/dev/null 2>&1
rm -rf "$tmp/own/dst"
for part in unittests/bank unittests/bank/core/Accountdeposit.java; do
  chmod 000 "$tmp/own/src/scripts/java/$part"
  as_user "$zt" store copy "$tmp/own/src" "$tmp/own/dst" >"$tmp/out" 2>"$tmp/err"
  status=$?
  chmod 755 "$tmp/own/src/scripts/java/$part"
  check "an unreadable $part fails the copy (status $status)" [ "$status" = 1 ]
  check "naming it" grep -q "$tmp/own/src/scripts/java/$part cannot be read: Permission denied. Nothing was copied" "$tmp/err"
  check "with nothing copied" [ "$("$zt" datapool list --store "$tmp/own/dst" --json | jq '.datapools | length')" = 0 ]
done

# A PostgreSQL source whose scripts= names no store's scripts folder (a typo)
# copies nothing, and says so.
"$zt" store copy "${team% scripts=*} scripts=$tmp/fulll" "$tmp/typo2" >"$tmp/out" 2>"$tmp/err"
check "a mistyped scripts= of the source fails the copy" [ "$?" = 1 ]
check "naming the folder" grep -q "$tmp/fulll is no store's scripts folder" "$tmp/err"
check "with nothing copied" [ ! -e "$tmp/typo2/store.db" ]

# A value that a store cannot keep (a NUL byte) is refused with its field
# and row by both kinds of store, never shortened: by an import, and by a
# copy into PostgreSQL, which then copies nothing.
team="$(pg_fresh_conninfo) scripts=$tmp/nul"
"$zt" store copy "$tmp/folder" "$team" >/dev/null 2>&1
for store in "$tmp/folder" "$team"; do
  "$zt" datapool export Account_deposit --store "$store" >"$tmp/before.csv"
  printf 'amount\n1\nx\0y\n' | "$zt" datapool import Account_deposit /dev/stdin --store "$store" >"$tmp/out" 2>"$tmp/err"
  check "an import of a NUL byte is refused (${store%% *})" [ "$?" = 1 ]
  check "naming its line and field" grep -q "line 3, field amount: the value holds a NUL byte" "$tmp/err"
  "$zt" datapool export Account_deposit --store "$store" >"$tmp/after.csv"
  check "and the datapool is unchanged" cmp -s "$tmp/before.csv" "$tmp/after.csv"
done
cp -r "$tmp/folder" "$tmp/nulfolder"
sqlite3 "$tmp/nulfolder/store.db" "UPDATE datapool_values SET value = 'x' || char(0) || 'y'
  WHERE field = (SELECT f.id FROM datapool_fields f JOIN datapools d ON d.id = f.datapool
                 WHERE d.name = 'Account_deposit' AND f.name = 'amount')"
team="$(pg_fresh_conninfo) scripts=$tmp/nulcopy"
"$zt" store copy "$tmp/nulfolder" "$team" >"$tmp/out" 2>"$tmp/err"
check "a copy of a NUL byte into PostgreSQL is refused" [ "$?" = 1 ]
check "naming the datapool, field and row" grep -q '"Account_deposit" is not stored: the value of field amount in row 1 holds a NUL byte' "$tmp/err"
check "with nothing copied" [ "$(pg_query "$team" 'SELECT count(*) FROM datapools')" = 0 ]

# Boundary rows on both kinds of store, the same rows (datapools.md).
team="$(pg_fresh_conninfo) scripts=$tmp/bounds"
"$zt" store copy "$tmp/folder" "$team" >/dev/null 2>&1
kind=0
for store in "$tmp/folder" "$team"; do
  kind=$((kind + 1))
  "$zt" datapool add-rows --boundary Account_deposit --store "$store" >"$tmp/out" 2>"$tmp/err"
  check "add-rows (${store%% *})" [ "$?" = 0 ]
  check "nine rows for a double (${store%% *})" grep -qF '"Account_deposit" got 9 new row(s); it now holds 11 row(s)' "$tmp/out"
  "$zt" datapool export Account_deposit --store "$store" >"$tmp/bounds$kind.csv"
done
check "the same rows in both" cmp -s "$tmp/bounds1.csv" "$tmp/bounds2.csv"

finish store_copy
