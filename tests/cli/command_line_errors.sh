#!/usr/bin/env bash
# The command line's own errors, in English and under a German locale: each
# starts with "ztunittest: ", names what was mistyped with what it may have
# meant, says where the help is, and exits 2; nothing runs. A selection
# without operations is told before any login question, and makes no store.
. "$2/tests/cli/lib/common.sh" "$@"
unset ZTUNITTEST_USER
bank=$src/examples/bank-ejb.json
cd "$tmp" || exit 1

# language | arguments | the first line of stderr | the second line
while IFS='|' read -r lang args first second; do
  # shellcheck disable=SC2086 # the arguments are words
  env LANG="$lang" LC_ALL= "$zt" $args </dev/null >"$tmp/out" 2>"$tmp/err"
  status=$?
  check "$lang $args: exit 2 (status $status)" [ "$status" -eq 2 ]
  check "$lang $args: nothing on stdout" [ ! -s "$tmp/out" ]
  check "$lang $args: $first" [ "$(sed -n 1p "$tmp/err")" = "$first" ]
  check "$lang $args: $second" [ "$(sed -n 2p "$tmp/err")" = "$second" ]
  check "$lang $args: two lines" [ "$(wc -l <"$tmp/err")" -eq 2 ]
done <<EOF2
C|genrate|ztunittest: "genrate" is no command of ztunittest; did you mean generate?|Run "ztunittest --help" for more information.
C|datapool lst|ztunittest: "lst" is no command of ztunittest datapool; did you mean list?|Run "ztunittest datapool --help" for more information.
C|stor copy a b|ztunittest: "stor" is no command of ztunittest; did you mean store?|Run "ztunittest --help" for more information.
C|frobnicate|ztunittest: "frobnicate" is no command of ztunittest|Run "ztunittest --help" for more information.
C|generate $bank --selct bank|ztunittest: --selct is no option of ztunittest generate; did you mean --select?|Run "ztunittest generate --help" for more information.
C|generate $bank --sotre=s|ztunittest: --sotre is no option of ztunittest generate; did you mean --store?|Run "ztunittest generate --help" for more information.
C|datapool list --jsno|ztunittest: --jsno is no option of ztunittest datapool list; did you mean --json?|Run "ztunittest datapool list --help" for more information.
C|generate $bank --colour|ztunittest: --colour is no option of ztunittest generate|Run "ztunittest generate --help" for more information.
C||ztunittest: ztunittest needs a command: model, generate, menu, invoke, params, java-test, java-classpath, datapool, options, store, text|Run "ztunittest --help" for more information.
C|datapool|ztunittest: ztunittest datapool needs a command: list, show, export, import, add-rows, edit, delete, rename|Run "ztunittest datapool --help" for more information.
C|generate|ztunittest: ztunittest generate needs MODEL|Run "ztunittest generate --help" for more information.
C|invoke $bank|ztunittest: ztunittest invoke needs --entry|Run "ztunittest invoke --help" for more information.
C|generate $bank extra|ztunittest: ztunittest generate does not take: extra|Run "ztunittest generate --help" for more information.
de_DE.UTF-8|genrate|ztunittest: "genrate" ist kein Befehl von ztunittest; meinten Sie generate?|Mehr dazu: "ztunittest --help".
de_DE.UTF-8|generate $bank --selct bank|ztunittest: --selct ist keine Option von ztunittest generate; meinten Sie --select?|Mehr dazu: "ztunittest generate --help".
de_DE.UTF-8||ztunittest: ztunittest braucht einen Befehl: model, generate, menu, invoke, params, java-test, java-classpath, datapool, options, store, text|Mehr dazu: "ztunittest --help".
de_DE.UTF-8|generate|ztunittest: ztunittest generate braucht MODEL|Mehr dazu: "ztunittest generate --help".
de_DE.UTF-8|generate $bank extra|ztunittest: ztunittest generate nimmt nicht: extra|Mehr dazu: "ztunittest generate --help".
EOF2

# The help's labels and groups in the user's language.
LANG=de_DE.UTF-8 "$zt" datapool --help >"$tmp/help.de"
check "German help: its usage line" grep -q '^Aufruf: ztunittest datapool \[OPTIONEN\] BEFEHL$' "$tmp/help.de"
check "German help: its groups" bash -c "grep -qx 'Optionen:' '$tmp/help.de' && grep -qx 'Befehle:' '$tmp/help.de'"
check "German help: the help flag" grep -q -- '-h,--help  *Diese Hilfe zeigen und enden' "$tmp/help.de"
"$zt" generate --help >"$tmp/help.en"
check "English help: as before" bash -c "grep -q '^Usage: ztunittest generate \[OPTIONS\] model' '$tmp/help.en' && grep -qx 'Options:' '$tmp/help.en'"

# A value that looks like an option is the option's value, not a mistyped option.
"$zt" options --store "$tmp/opts" --resource-compiler-options --fast >"$tmp/out" 2>"$tmp/err"
check "an option's value that starts with -- is taken (status $?)" grep -q -- 'option 4): --fast' "$tmp/out"
# After "--" nothing is an option.
"$zt" text 1032 -- --x >"$tmp/out" 2>"$tmp/err"
check "after -- words are arguments (status $?)" [ "$(cat "$tmp/out")" = "No operations were selected for test generation." ]

# Nothing selected: told before the login question; no store made.
for args in "" "--select bank"; do
  # shellcheck disable=SC2086
  env -u USER "$zt" generate "$bank" $args --store "$tmp/nothing" </dev/null >"$tmp/out" 2>"$tmp/err"
  status=$?
  check "nothing selected ($args): exit 1 (status $status)" [ "$status" -eq 1 ]
  check "nothing selected ($args): no login question" bash -c "! grep -q 'User name for the store' '$tmp/err'"
  check "nothing selected ($args): the add-in's words" grep -qx 'No operations were selected for test generation.' "$tmp/err"
  check "nothing selected ($args): no store made" [ ! -e "$tmp/nothing" ]
done
finish command_line_errors
