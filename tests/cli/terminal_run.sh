#!/usr/bin/env bash
# A run as a person at a terminal sees it, under a pseudo-terminal (script):
# the status line stays below the log as it scrolls (put back after every
# log line), its share only grows and ends at N of N; a question comes after
# every log line before it, on a line of its own; with standard output in a
# file the log never erases it; --quiet shows no log, only the closing text
# and the status line, while --log gets the whole log; failures of one cause
# are told once with a count.
. "$2/tests/cli/lib/common.sh" "$@"
unset ZTUNITTEST_USER
big_model 4 >"$tmp/big.json"
selection=$(printf -- '--select pkg%s ' 0 1 2 3)
bank=$src/examples/bank-ejb.json
erase=$'\r\e[K'

# tty COMMAND: COMMAND's whole terminal output (stdout and stderr) in $tmp/tty.
tty() { TERM=dumb COLUMNS=200 script -qec "$1" /dev/null >"$tmp/tty" 2>&1; }
# The status lines drawn, in order, one a line.
status_lines() { tr '\r' '\n' <"$1" | sed -n 's/^\x1b\[K\(\[[#-]*\] *[0-9]*% .*\)$/\1/p'; }

# -- The status line below a scrolling log -------------------------------------
tty "'$zt' generate '$tmp/big.json' $selection --store '$tmp/s1' --user u </dev/null"
log_lines=$(grep -c 'source created for' "$tmp/tty")
check "the run logged its 400 tests on the terminal ($log_lines)" [ "$log_lines" -eq 400 ]
# After the first draw, every log line is followed by the status line put back.
followed=$(awk -v RS='\n' 'index($0, "[Verimos]") == 1 || /^    /' <(sed -n '/operation 1 of/,$p' "$tmp/tty") | wc -l)
put_back=$(grep -c $'^[^\r]*\r\e\[K\[' <(sed -n '/operation 1 of/,$p' "$tmp/tty" | sed '1d'))
check "the status line is back below each log line ($put_back of $followed lines)" [ "$put_back" -ge "$followed" ]
status_lines "$tmp/tty" >"$tmp/status"
check "the status line counts the run's operations" grep -q 'operation [0-9]* of 400, 0:0[0-9]' "$tmp/status"
percents=$(sed 's/^\[[#-]*\] *\([0-9]*\)%.*/\1/' "$tmp/status" | tr '\n' ' ')
check "its share only grows ($(echo "$percents" | cut -c1-80)...)" \
  bash -c 'last=0; for p in $1; do [ "$p" -ge "$last" ] || exit 1; last=$p; done' _ "$percents"
check "the last status line is 100% and 400 of 400" bash -c "tail -n 1 '$tmp/status' | grep -q '100% operation 400 of 400'"
check "the add-in's message stays beside it" grep -q 'of 400, 0:0[0-9].* — ' "$tmp/status"

# -- A question after the log ---------------------------------------------------
# The datapools' edit question comes after the run, after every log line.
tty "'$zt' generate '$bank' --select bank::core::Account --select bank::core::AccountHome --store '$tmp/s2' \
  --user u </dev/null"
q_at=$(grep -Fbo 'Question: Would you like to edit created datapool(s) now' "$tmp/tty" | head -1 | cut -d: -f1)
last_log=$(grep -bo 'datapool created:' "$tmp/tty" | tail -1 | cut -d: -f1)
check "the question is asked ($q_at)" [ -n "$q_at" ]
check "after the last log line ($last_log < $q_at)" [ "${last_log:-99999999}" -lt "${q_at:-0}" ]
before=$(head -c "$q_at" "$tmp/tty" | tail -c 4 | od -An -c | tr -d ' ')
check "on a line of its own ($before)" bash -c "case '$before' in *'\\n'|*'[K') exit 0;; *) exit 1;; esac"

# -- Standard output in a file: the log never erases the status line ------------
tty "'$zt' generate '$tmp/big.json' $selection --store '$tmp/s3' --user u </dev/null >'$tmp/s3.log'"
check "the log went to the file" [ "$(grep -c 'source created for' "$tmp/s3.log")" -eq 400 ]
check "no status line in the file" bash -c "! grep -q \$'\\e' '$tmp/s3.log'"
check "no log line on the terminal" bash -c "! grep -q 'source created for' '$tmp/tty'"
# An erase with nothing after it until the next draw: the line was gone.
bare=$(grep -o $'\r\e\[K\r\e\[K' "$tmp/tty" | wc -l)
check "the status line is never erased but to be redrawn ($bare times)" [ "$bare" -eq 0 ]

# -- --quiet -----------------------------------------------------------------------
"$zt" generate "$tmp/big.json" $selection --store "$tmp/s4" --user u </dev/null >"$tmp/loud.out" 2>/dev/null
rm -rf "$tmp/s4"
tty "'$zt' generate '$tmp/big.json' $selection --store '$tmp/s4' --user u -q --log '$tmp/quiet.log' </dev/null"
check "--quiet: no log line on the terminal" bash -c "! grep -q 'Verimos' '$tmp/tty'"
check "--quiet: the closing text" grep -q 'Finished code generation, 400 of 400 test(s) were processed.' "$tmp/tty"
check "--quiet: the status line" grep -q 'operation 400 of 400' "$tmp/tty"
check "--quiet: --log gets the whole log, as stdout had it" cmp -s "$tmp/loud.out" "$tmp/quiet.log"
"$zt" generate "$bank" --select bank::core --store "$tmp/s5" --user u --quiet </dev/null >"$tmp/out" 2>"$tmp/err"
check "--quiet: nothing on stdout (status $?)" [ ! -s "$tmp/out" ]

# -- Failures of one cause, told once --------------------------------------------
# Where the tests' folder should be is a file: every test fails for that reason.
for flag in '' --quiet; do
  rm -rf "$tmp/s6" && mkdir -p "$tmp/s6/scripts/java" && touch "$tmp/s6/scripts/java/unittests"
  "$zt" generate "$tmp/big.json" $selection --store "$tmp/s6" --user u $flag --log "$tmp/s6.log" </dev/null \
    >/dev/null 2>"$tmp/err"
  status=$?
  told=$(grep -c 'was not written: Not a directory' "$tmp/err")
  if [ -z "$flag" ]; then
    check "each failure is told without --quiet ($told)" [ "$told" -eq 400 ]
  else
    check "--quiet: a run whose tests all fail exits 1 ($status)" [ "$status" -eq 1 ]
    check "--quiet: the first is told whole, the cause once more with the count ($told)" [ "$told" -eq 2 ]
    check "--quiet: the count names the others and ends with the cause" grep -qx \
      'ztunittest: … and 399 more for the same reason, listed in the log: … was not written: Not a directory' "$tmp/err"
    check "--quiet: the log lists every one" [ "$(grep -c 'was not written: Not a directory' "$tmp/s6.log")" -ge 800 ]
  fi
done
finish terminal_run
