#!/usr/bin/env bash
# Runs as a script or a CI job makes them: every question answered with
# --answer and standard input closed; the exit statuses (operations no
# generator takes, --strict, a login without a user, a missing --file, a
# cancelled template dialog, a resource compiler the run would refuse);
# --recursive; the run's summary as JSON; and the progress line under a
# pseudo-terminal, which counts operations.
. "$2/tests/cli/lib/common.sh" "$@"
rc=$(dirname "$zt")/rc.exe
com=$src/examples/calc-com.json
bank=$src/examples/bank-ejb.json
unset ZTUNITTEST_USER
need jq jq
need script bsdutils
need_llvm_rc
run() {  # run COMMAND...: status in $status, stdout in $tmp/out, stderr in $tmp/err; stdin closed
  "$zt" "$@" </dev/null >"$tmp/out" 2>"$tmp/err"
  status=$?
}
said() { grep -qF -- "$1" "$tmp/err"; }

# -- Every question answered in advance ---------------------------------------
# Option 3 names a compiler that is gone: the run asks for one. IFormatter has
# two coclasses: the run asks which. One datapool is made: the run asks
# whether to edit it, and the editor adds a row. No --user: the login asks.
store=$tmp/com
gone_compiler "$store"
printf '#!/bin/sh\ntail -n 1 "$1" >>"$1"\n' >"$tmp/editor" && chmod +x "$tmp/editor"
EDITOR=$tmp/editor run generate "$com" --select Maths::IFormatter --store "$store" --templates "$src/templates" \
  --answer user=ann --answer "resource-compiler=$rc" --answer coclass=Maths::FancyFormatter \
  --answer edit-datapools=yes
project=$store/scripts/vb/unittests/Maths/FancyFormatter
check "answered run exits 0 (status $status)" test "$status" -eq 0
check "the login took the answer" said "User name for the store $store"
check "the compiler question took the answer" grep -q "Path of the resource compiler.*$rc\$" "$tmp/err"
check "the coclass answer chose FancyFormatter" test -s "$project/IFormatterFormat.vbp"
check "the resources were compiled" test -s "$project/IFormatterFormat.res"
check "the edit question took yes" said "Would you like to edit created datapool(s) now ? [y]es, [n]o: yes"
"$zt" datapool show IFormatter_Format --store "$store" --json >"$tmp/pool.json" 2>&1
check "the editor's row was stored" test "$(jq '.rows | length' "$tmp/pool.json")" -eq 2
check "the store's user is the answered one" test "$(jq -r .user "$tmp/pool.json")" = ann

# A second run: a changed test is replaced for all, an edited datapool kept.
echo "' mine" >>"$project/IFormatterFormat.cls"
run generate "$com" --select Maths::IFormatter --store "$store" --templates "$src/templates" --user ann \
  --answer coclass=FancyFormatter --answer replace=all --answer overwrite-datapools=none
check "rerun exits 0 (status $status)" test "$status" -eq 0
check "replace=all replaced the changed file" bash -c "! grep -q \"' mine\" '$project/IFormatterFormat.cls'"
check "the replace question showed the answer" grep -q "Replace it? .*: all$" "$tmp/err"
"$zt" datapool show IFormatter_Format --store "$store" --json >"$tmp/pool.json" 2>&1
check "overwrite-datapools=none kept the edited datapool" test "$(jq '.rows | length' "$tmp/pool.json")" -eq 2

# No compiler, and the answer is not to go on: nothing is generated.
store=$tmp/norc
gone_compiler "$store"
run generate "$com" --select Maths::ICalc --store "$store" --user u --answer resource-compiler=/nonexistent/rc.exe \
  --answer continue-without-compiler=no
check "continue=no exits 1 (status $status)" test "$status" -eq 1
check "a compiler answer that names no file is said" said "There is no file /nonexistent/rc.exe"
check "continue=no: nothing generated" test -z "$(find "$store/scripts" -type f 2>/dev/null)"

# Answers that cannot be taken are usage errors.
for bad in "replace=maybe" "colour=red" "user=" "edit-datapools=yes edit-datapools=no"; do
  args=()
  for a in $bad; do args+=(--answer "$a"); done
  run generate "$bank" --select bank::core::Account --store "$tmp/bad" --user u "${args[@]}"
  check "--answer $bad exits 2 (status $status)" test "$status" -eq 2
done
check "a bad answer creates no store" test ! -e "$tmp/bad"

# -- Exit statuses --------------------------------------------------------------
# bank::core: 11 operations generated, 7 of beans and key classes that no
# generator takes; the add-in's closing text stays as it is.
store=$tmp/bank
run generate "$bank" --select bank::core --store "$store" --user u --summary-json "$tmp/summary.json"
check "a realistic selection exits 0 (status $status)" test "$status" -eq 0
check "the closing text is the add-in's" said "Finished code generation, 12 of 19 test(s) were processed."
check "one line counts the operations not taken" test "$(grep -c '7 of the 19 operations' "$tmp/err")" -eq 1
run generate "$bank" --select bank::core --store "$store" --user u --strict
check "--strict fails it (status $status)" test "$status" -eq 1
check "the summary names the counts" test "$(jq -c '.counts | [.selected, .taken, .generated, .notTaken]' \
  "$tmp/summary.json")" = "[19,12,12,7]"
check "the summary has the status" test "$(jq .status "$tmp/summary.json")" -eq 0
jq -r '.operations[] | select(.operation == "Logical View::bank::core::Account::deposit")
  | [.outcome, .test, .datapool, .datapoolOutcome] | @tsv' "$tmp/summary.json" >"$tmp/deposit"
check "the summary gives an operation's test and datapool" test "$(cat "$tmp/deposit")" = \
  "$(printf 'generated\t%s\tAccount_deposit\tcreated' "$store/scripts/java/unittests/bank/core/Accountdeposit.java")"
check "the summary marks a bean operation not taken" test "$(jq -r '.operations[]
  | select(.operation == "Logical View::bank::core::AccountBean::deposit") | .outcome' "$tmp/summary.json")" = not-taken
check "the summary collects the warnings" test "$(jq '.warnings | length' "$tmp/summary.json")" -gt 0
# The summary goes where the user points: through a symbolic link, into a
# pipe (a CI job's --summary-json /dev/stdout), never replacing either.
ln -s summary.json "$tmp/summary-link.json"
mkfifo "$tmp/summary.fifo"
timeout 60 cat "$tmp/summary.fifo" >"$tmp/from-fifo" &
reader=$!
run generate "$bank" --select bank::core::Teller --store "$store" --user u --summary-json "$tmp/summary-link.json" \
  --answer replace=all
check "a summary through a symbolic link exits 0 (status $status)" test "$status" -eq 0
check "the link is kept" test -L "$tmp/summary-link.json"
check "the file it leads to holds the summary" test "$(jq .counts.selected "$tmp/summary.json")" -eq 2
run generate "$bank" --select bank::core::Teller --store "$store" --user u --summary-json "$tmp/summary.fifo" \
  --answer replace=all
wait "$reader"
check "a summary into a pipe exits 0 (status $status)" test "$status" -eq 0
check "the pipe is kept" test -p "$tmp/summary.fifo"
check "the reader of the pipe got the summary" test "$(jq .counts.selected "$tmp/from-fifo")" -eq 2

run generate "$bank" --select bank::core::Teller --store "$store" --user u --summary-json ""
check "an empty --summary-json is a usage error (status $status)" test "$status" -eq 2
check "that says what it needs" said "--summary-json needs a file name"

# A store that cannot keep what the run made (its database may not grow past
# a limit, as on a full disk) loses the datapools of a batch after the add-in
# was done with their operations. The summary counts what the store kept:
# its operations and counts agree with `datapool list`, and with the
# add-in's own count.
big_model 10 >"$tmp/big.json"
mkfifo "$tmp/lost.fifo"
timeout 120 cat "$tmp/lost.fifo" >"$tmp/lost.json" &
reader=$!
(trap '' XFSZ && ulimit -f 600 && exec "$zt" generate "$tmp/big.json" $(printf -- '--select pkg%s ' {0..9}) \
  --store "$tmp/full" --user u --summary-json "$tmp/lost.fifo") </dev/null >"$tmp/out" 2>"$tmp/err"
status=$?
wait "$reader"
"$zt" datapool list --store "$tmp/full" --json | jq -r '.datapools[].name' | sort >"$tmp/kept"
jq -r '.operations[] | select(.outcome == "generated") | .datapool' "$tmp/lost.json" | sort >"$tmp/generated"
check "a run whose store lost datapools fails (status $status)" test "$status" -eq 1
check "it lost some" test "$(jq .counts.failed "$tmp/lost.json")" -gt 0
check "the summary's generated operations are those whose datapool the store kept" cmp -s "$tmp/kept" "$tmp/generated"
check "its count too" test "$(jq .counts.generated "$tmp/lost.json")" -eq "$(wc -l <"$tmp/kept")"
check "as the add-in counts" test "$(jq '.counts | .generated == .addInGenerated' "$tmp/lost.json")" = true
check "a lost datapool is not-stored" test "$(jq '[.operations[] | select(.outcome == "failed")
  | .datapoolOutcome] | unique' -c "$tmp/lost.json")" = '["not-stored"]'
check "one line counts the operations lost" said "of the operations generated lost their datapool or test"

# Logins that cannot be made. Whatever stops one, the add-in's own login
# fails as cancelled: its log line is all of stdout, its closing text is on
# stderr, nothing is stored; the exit status and the last line say why. A
# store that cannot be opened is no cancelled login: the add-in does not
# run (nothing on stdout, no closing text), status 1 and the reason.
touch "$tmp/not-a-folder"
mkdir "$tmp/damaged" && printf 'no database, only some text that is long enough' >"$tmp/damaged/store.db"
cp "$tmp/damaged/store.db" "$tmp/damaged.before"
cancelled='[Verimos]--[Unit Test]: User canceled code generation from the login dialog.'
no_user='--user NAME, set $ZTUNITTEST_USER'
# name | input lines | $USER | store | arguments | status | the last line of stderr holds
while IFS='|' read -r name input login store args expected reason; do
  environment=(-u USER)
  [ -z "$login" ] || environment=("USER=$login")
  # shellcheck disable=SC2086 # the arguments are words
  printf -- "$input" | env "${environment[@]}" "$zt" generate "$bank" --select bank::core::Account \
    --store "$tmp/$store" $args >"$tmp/out" 2>"$tmp/err"
  status=$?
  check "$name: exit $expected (status $status)" test "$status" -eq "$expected"
  if [ "$expected" = 1 ]; then
    check "$name: nothing on stdout" test ! -s "$tmp/out"
    check "$name: no closing text" bash -c '! grep -qF "Unit test canceled:" "$1"' _ "$tmp/err"
  else
    check "$name: stdout is the add-in's login line" test "$(cat "$tmp/out")" = "$cancelled"
    check "$name: the closing text is the cancel" grep -qzF $'Unit test canceled:\r\n0 scripts was generated.' "$tmp/err"
  fi
  check "$name: the reason comes last" bash -c '[ -z "$1" ] || tail -n 1 "$2" | grep -qF -- "$1"' _ "$reason" "$tmp/err"
done <<EOF
the cancel word typed|-\n|alice|nouser||130|
the cancel word given in advance||alice|nouser|--answer user=-|130|
end of input without a default|||nouser||2|$no_user
three empty lines without a default|\n\n\n||nouser||2|$no_user
a store that is not a folder||alice|not-a-folder|--user u|1|$tmp/not-a-folder: it is not a folder
a damaged store database||alice|damaged|--user u|1|the database is damaged
EOF
check "no login made a store" test ! -e "$tmp/nouser"
check "the damaged database is as it was" cmp -s "$tmp/damaged.before" "$tmp/damaged/store.db"
# The end of input takes the default the prompt offers.
USER=alice run generate "$bank" --select bank::core::Account --store "$tmp/default-user"
check "end of input with \$USER exits 0 (status $status)" test "$status" -eq 0
check "it says it took the default" said 'taking "alice"'
check "the datapools are alice's" test "$("$zt" datapool show Account_deposit --store "$tmp/default-user" --json |
  jq -r .user)" = alice

# Template entries: a missing --file, a cancelled dialog, an XMI model.
cp "$bank" "$tmp/bank.json"
run invoke "$tmp/bank.json" --entry SELECT_UNIT_TEST_OPERATION --select bank::core::Account::deposit --file /nonexistent
check "a missing --file exits 2 (status $status)" test "$status" -eq 2
run invoke "$tmp/bank.json" --entry SELECT_UNIT_TEST_OPERATION --select bank::core::Account::deposit
check "a dialog cancelled by the end of input exits 130 (status $status)" test "$status" -eq 130
run invoke "$tmp/bank.json" --entry SELECT_UNIT_TEST_OPERATION --select bank::core::Account::deposit \
  --answer "template-file=$src/templates/Java/GenericJavaTest.template" --answer template-scope=cancel
check "template-scope=cancel exits 130 (status $status)" test "$status" -eq 130
check "the cancelled entries left the model alone" cmp -s "$bank" "$tmp/bank.json"
run invoke "$src/tests/data/xmi/calc-com.uml" --entry SELECT_UNIT_TEST_MODEL_COM --file "$rc"
check "a template entry on XMI exits 2 (status $status)" test "$status" -eq 2
check "it suggests model convert" said "ztunittest model convert $src/tests/data/xmi/calc-com.uml OUT.json"

# -- --recursive ------------------------------------------------------------------
# bank holds no classes of its own, only the package core.
run generate "$bank" --select bank --store "$tmp/rec" --user u
check "a package without classes generates nothing (status $status)" test "$status" -eq 1
check "the add-in says no operation was selected" said "No operations were selected for test generation."
run generate "$bank" --select bank --recursive --store "$tmp/rec" --user u
check "--recursive takes the nested package (status $status)" test "$status" -eq 0
check "--recursive generates core's tests" said "Finished code generation, 12 of 19 test(s) were processed."
run generate "$bank" --select bank --select bank::core --recursive --store "$tmp/rec" --user u
check "a package named again is selected once" said "Finished code generation, 12 of 19 test(s) were processed."

# -- Progress on a terminal -----------------------------------------------------------
TERM=dumb COLUMNS=200 script -qec "'$zt' generate '$bank' --select bank::core --store '$tmp/ttystore' --user u \
  </dev/null >/dev/null" /dev/null >"$tmp/tty" 2>&1
tr '\r' '\n' <"$tmp/tty" >"$tmp/lines"
check "the status line counts operations" grep -q 'operation [0-9]* of 19, 0:0[0-9]' "$tmp/lines"
check "the last status line reaches 19 of 19" grep -q 'operation 19 of 19' "$tmp/lines"
check "the add-in's message stays beside it" grep -q 'of 19, 0:0[0-9] — ' "$tmp/lines"
finish unattended
