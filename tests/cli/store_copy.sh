#!/usr/bin/env bash
# Moving a team over: a store folder copied into a PostgreSQL store and back
# holds the same datapools (rows, times, user), tool options, name records
# and scripts, and so does a copy through a project; a run on the copy names everything as on the original and
# finds nothing to do; a target that holds something else under the same
# names is refused, with nothing copied, unless --replace. A copy is all or
# nothing; a source it cannot read whole, or a value no store keeps, fails
# it. The copy tells what it copied and what the target held the same
# already. datapool edit, rename and delete and store prune do the same on
# every kind of store (a folder, PostgreSQL, a project). On the tests'
# private PostgreSQL cluster (tests/cli/lib/pg.sh).
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
check "and tells that nothing changed" [ "$(cat "$tmp/out")" = "Copied 0 datapools, 0 tool options, 0 name records and 0 scripts from $tmp/folder to $team.
Already there, the same, in $team: 12 datapools, 1 tool options, 24 name records and 12 scripts.
Nothing changed: $team already held all of $tmp/folder." ]
"$zt" datapool import Account_deposit /dev/stdin --store "$tmp/folder" <<<$'amount\n1.5\n2.5' >/dev/null
"$zt" store copy "$tmp/folder" "$team" >"$tmp/out" 2>"$tmp/err"
check "a target holding other content under a name is refused" [ "$?" = 1 ]
check "naming what it holds" grep -q "already holds 1 items of what .* holds: datapool Account_deposit. Nothing" "$tmp/err"
"$zt" store copy "$tmp/folder" "$team" --replace >"$tmp/out" 2>"$tmp/err"
check "--replace replaces" [ "$?" = 0 ]
check "telling what it copied and what was there" [ "$(cat "$tmp/out")" = "Copied 1 datapools, 0 tool options, 0 name records and 0 scripts from $tmp/folder to $team.
Already there, the same, in $team: 11 datapools, 1 tool options, 24 name records and 12 scripts." ]
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

# datapool edit, rename and delete and store prune, on each kind of store:
# the same words, the same outcome. Each store starts as a copy of one
# folder that also holds a datapool made by hand (no record names it), a
# datapool whose making the store has no record of (Teller_withdraw), and
# the name record of another model's operation.
gen "$tmp/chores"
sqlite3 "$tmp/chores/store.db" "
INSERT INTO datapools (name, description, created, updated, user) VALUES ('Hand', '', '2024-01-02 03:04:05', '2024-01-02 03:04:05', 'bob');
INSERT INTO datapool_fields (datapool, position, name, type) SELECT id, 1, 'x', '' FROM datapools WHERE name = 'Hand';
DELETE FROM generated_scripts WHERE type = -1 AND path = 'Teller_withdraw';
INSERT INTO datapool_names (operation, name, recorded) VALUES ('shop::Cart::add', 'Cart_add', '2024-01-02 03:04:05');"
jq '(.. | objects | select(.name? == "Teller") | .operations) |= []' "$src/examples/bank-ejb.json" >"$tmp/smaller.json"
mkdir "$tmp/chores-project"
export ZTUNITTEST_USER=carol
printf '#!/bin/sh\nprintf "amount,target\\n1.5,t1\\n2.5,t2\\n" >"$1"\n' >"$tmp/good-editor"
printf '#!/bin/sh\nprintf "target,amount\\nt1\\n" >"$1"\n' >"$tmp/bad-editor"
chmod +x "$tmp/good-editor" "$tmp/bad-editor"
mkdir "$tmp/kept"
for kind in folder postgres project; do
  case $kind in  # the store, and the folder its tests of bank::core lie in
    folder) store=$tmp/chores-folder tests=$tmp/chores-folder/scripts/java/unittests/bank/core ;;
    postgres) store="$(pg_fresh_conninfo) scripts=$tmp/chores-team" tests=$tmp/chores-team/java/unittests/bank/core ;;
    project) store=project:$tmp/chores-project tests=$tmp/chores-project/src/test/java/bank/core ;;
  esac
  "$zt" store copy "$tmp/chores" "$store" >/dev/null 2>"$tmp/err"
  check "$kind: the store is made" [ "$?" = 0 ]
  run() { "$zt" "$@" --store "$store" </dev/null >"$tmp/out" 2>"$tmp/err"; status=$?; }
  rows() { "$zt" datapool export "$1" --store "$store"; }

  # prune: lists first, deletes with --yes only what the store made.
  listed="The store holds 2 test(s) and 1 datapool(s) of operations that $tmp/smaller.json no longer has:
  test unittests/bank/core/TellerbalanceOf.java (operation bank::core::Teller::balanceOf)
  datapool Teller_balanceOf (operation bank::core::Teller::balanceOf)
  test unittests/bank/core/Tellerwithdraw.java (operation bank::core::Teller::withdraw)
Left alone: Teller_withdraw (operation bank::core::Teller::withdraw), which the store has no record of making.
Left alone: the records of 1 operation(s) outside the packages of $tmp/smaller.json, which may be another model's."
  run store prune "$tmp/smaller.json"
  check "$kind: prune lists (status $status)" [ "$status" = 0 ]
  check "$kind: what the model lost, and how to delete it" [ "$(cat "$tmp/out")" = "$listed
Nothing was deleted; run the command again with --yes to delete them." ]
  check "$kind: and deletes nothing" test -f "$tests/TellerbalanceOf.java"
  run store prune "$tmp/smaller.json" --yes
  check "$kind: prune --yes (status $status)" [ "$status" = 0 ]
  check "$kind: deletes what it lists" [ "$(cat "$tmp/out")" = "$listed
Deleted 2 test(s) and 1 datapool(s)." ]
  check "$kind: the tests' files are gone" test ! -e "$tests/TellerbalanceOf.java" -a ! -e "$tests/Tellerwithdraw.java"
  check "$kind: another test stays" test -f "$tests/Accountdeposit.java"
  "$zt" datapool list --store "$store" --json | jq -r '.datapools[].name' >"$tmp/names"
  check "$kind: the datapool made by hand and the unrecorded one stay, the pruned one goes" \
    [ "$(grep -cx 'Hand\|Teller_withdraw\|Teller_balanceOf' "$tmp/names")" = 2 -a "$(grep -cx Teller_balanceOf "$tmp/names")" = 0 ]
  run store prune "$tmp/smaller.json"
  check "$kind: a second prune finds nothing more" [ "$(head -1 "$tmp/out")" = \
    "The store holds no test and no datapool of an operation that $tmp/smaller.json no longer has." ]

  # edit: the file rewritten by the editor is read as an import reads it
  # (the columns in any order); a refused edit stores nothing and keeps the file.
  rows Account_transfer >"$tmp/before.csv"
  TMPDIR=$tmp/kept VISUAL= EDITOR=$tmp/bad-editor run datapool edit Account_transfer
  check "$kind: a refused edit fails (status $status)" [ "$status" = 1 ]
  check "$kind: saying why and where the file is kept" [ "$(sed 's/kept: .*/kept: FILE/' "$tmp/err")" = \
    'ztunittest: The datapool "Account_transfer" is unchanged: line 2 has 1 value(s), the datapool has 2 field(s). Your edited file is kept: FILE' ]
  check "$kind: the kept file holds the edit" [ "$(cat "$(sed 's/.*kept: //' "$tmp/err")")" = "$(printf 'target,amount\nt1')" ]
  check "$kind: and the datapool is as it was" [ "$(rows Account_transfer)" = "$(cat "$tmp/before.csv")" ]
  TMPDIR=$tmp/kept VISUAL= EDITOR=$tmp/good-editor run datapool edit Account_transfer
  check "$kind: an edit (status $status)" [ "$status" = 0 ]
  check "$kind: tells what it stored" [ "$(cat "$tmp/out")" = 'The datapool "Account_transfer" was stored with 2 row(s).' ]
  check "$kind: in the datapool's field order" [ "$(rows Account_transfer)" = "$(printf 'target,amount\nt1,1.5\nt2,2.5')" ]
  EDITOR=$tmp/good-editor run datapool edit Account_trasnfer
  check "$kind: an unknown datapool is named, with the one meant (status $status)" [ "$status:$(cat "$tmp/err")" = \
    "1:ztunittest: there is no datapool named \"Account_trasnfer\" in the store at $store; did you mean Account_transfer?" ]

  # rename: the rows and the operation's record go with it; a run names the
  # datapool so in the test it writes again (the test's text changes: the
  # bundled EJB template has no user regions, so it is asked about).
  run datapool rename Account_transfer Account_move
  check "$kind: rename (status $status)" [ "$status" = 0 ]
  check "$kind: says the tests still name the old name" [ "$(cat "$tmp/out")" = 'The datapool "Account_transfer" is now "Account_move".
It stays the datapool of the operation bank::core::Account::transfer, whose tests still name "Account_transfer" in their code until they are generated again.' ]
  check "$kind: the rows kept" [ "$(rows Account_move)" = "$(printf 'target,amount\nt1,1.5\nt2,2.5')" ]
  while IFS='|' read -r new why; do
    run datapool rename Account_move "$new"
    check "$kind: rename to $new refused (status $status)" [ "$status:$(cat "$tmp/err")" = \
      "1:ztunittest: The datapool \"Account_move\" was not renamed: $why" ]
  done <<'CASES'
Account_deposit|the store already holds a datapool named "Account_deposit"
Cart_add|the name "Cart_add" is recorded for the operation shop::Cart::add
bad/name|"bad/name" cannot be a datapool's name: it holds /
 padded|" padded" cannot be a datapool's name: it begins or ends with a blank
CASES
  "$zt" generate "$src/examples/bank-ejb.json" --select bank --recursive --store "$store" --user alice \
    --templates "$src/templates" --answer replace=all </dev/null >"$tmp/log" 2>"$tmp/err"
  check "$kind: a run after the rename names the new name in the test" grep -q '"Account_move"' "$tests/Accounttransfer.java"
  check "$kind: names the new name in the test, not the old" bash -c "! grep -q 'Account_transfer' '$tests/Accounttransfer.java'"
  check "$kind: and makes no datapool of the old name" bash -c "! '$zt' datapool show Account_transfer --store '$store' >/dev/null 2>&1"
  check "$kind: the edited rows stay" [ "$(rows Account_move)" = "$(printf 'target,amount\nt1,1.5\nt2,2.5')" ]

  # delete: all named or none; their records go, and a run makes them anew.
  run datapool delete Account_move Nope
  check "$kind: delete of an unknown datapool (status $status)" [ "$status:$(cat "$tmp/err")" = \
    "1:ztunittest: there is no datapool named \"Nope\" in the store at $store
ztunittest: Nothing was deleted." ]
  check "$kind: deletes nothing" "$zt" datapool show Account_move --store "$store" >/dev/null
  run datapool delete Account_move Hand
  check "$kind: delete (status $status)" [ "$status:$(cat "$tmp/out")" = "0:Deleted 2 datapool(s): Account_move, Hand." ]
  check "$kind: both are gone" [ "$("$zt" datapool list --store "$store" --json | jq '[.datapools[].name | select(. == "Account_move" or . == "Hand")] | length')" = 0 ]
  gen "$store"
  check "$kind: a run makes the operation's datapool anew, under its first name" \
    [ "$(rows Account_transfer | head -1)" = "target,amount" ]
done

finish store_copy
