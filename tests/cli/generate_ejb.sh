#!/usr/bin/env bash
# A whole generation from the command line on the bundled EJB example: the
# host log line by line, the files and datapools, a second run that neither
# duplicates nor replaces anything without a yes, the generated tests
# compiling, and the failures that must leave the store as it was.
set -u
zt=$1
src=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { # description, command...
  local what=$1; shift
  if ! "$@"; then echo "FAIL: $what"; fail=1; fi
}

store=$tmp/store
export SOURCE_DATE_EPOCH=0 LANG=C
run() {
  "$zt" generate "$src/examples/bank-ejb.json" --select bank::core::Account --select bank::core::AccountHome \
    --store "$store" --user alice "$@" </dev/null >"$tmp/out" 2>"$tmp/err"
}

run
status=$?
check "first run succeeds (status $status)" test "$status" -eq 0
root="$store/scripts/java/"
sed "s|@ROOT@|$root|" "$src/tests/data/generate-bank.log" >"$tmp/expected"
check "host log of the first run" diff -u "$tmp/expected" "$tmp/out"
check "closing text on stderr" grep -qx "Finished code generation, 7 of 7 test(s) were processed." "$tmp/err"
check "stdout carries only the log" bash -c "! grep -q 'Finished code generation' '$tmp/out'"
files=$(cd "$store/scripts/java" && find . -type f | sort)
check "seven test files" test "$(echo "$files" | wc -l)" -eq 7
check "overloads get two files" bash -c "echo '$files' | grep -q AccountHomecreate1.java"
"$zt" datapool list --store "$store" >"$tmp/pools" 2>&1
check "seven datapools" grep -q '^7 datapool' "$tmp/pools"
check "overloads get two datapools" grep -q "AccountHome_create1" "$tmp/pools"
(cd "$store/scripts" && find . -type f -exec md5sum {} + | sort) >"$tmp/sums1"

# A second run: same names, the same texts are left alone, nothing is added.
run
status=$?
check "second run succeeds (status $status)" test "$status" -eq 0
# The datapools hold what they held: nothing to report for them.
awk '/datapool created:$/ { skip = 1; next } skip { skip = 0; next } { print }' "$tmp/expected" >"$tmp/expected2"
check "second run logs the scripts only" diff -u "$tmp/expected2" "$tmp/out"
(cd "$store/scripts" && find . -type f -exec md5sum {} + | sort) >"$tmp/sums2"
check "second run changes no file" diff -u "$tmp/sums1" "$tmp/sums2"
"$zt" datapool list --store "$store" >"$tmp/pools2" 2>&1
check "second run adds no datapool" diff -u "$tmp/pools" "$tmp/pools2"

# An edited test is not replaced without a yes (end of input answers no).
echo "// my change" >>"$store/scripts/java/unittests/bank/core/Accountdeposit.java"
cp "$store/scripts/java/unittests/bank/core/Accountdeposit.java" "$tmp/edited"
run
check "an edited file is kept" cmp -s "$tmp/edited" "$store/scripts/java/unittests/bank/core/Accountdeposit.java"
check "the user was asked" grep -q "Replace it?" "$tmp/err"

# The generated tests compile against the test runtime.
if command -v javac >/dev/null 2>&1; then
  runtime="$src/tests/java-runtime"
  find "$runtime/runtime" "$runtime/models/bank-ejb" "$store/scripts/java" -name '*.java' \
    ! -name Accounttransfer.java ! -name AccountHomefindByPrimaryKey.java >"$tmp/sources"
  if ! javac -nowarn -d "$tmp/classes" @"$tmp/sources" >"$tmp/javac" 2>&1; then
    cat "$tmp/javac"
    echo "FAIL: generated tests compile"
    fail=1
  fi
else
  echo "SKIP: no javac on the PATH; the compile check did not run"
fi

# Failures leave the store as it was.
(cd "$store" && find . -type f -exec md5sum {} + | sort) >"$tmp/before"
printf '{"model": "x", "classes": [ {"name": 5} ]}' >"$tmp/broken.json"
"$zt" generate "$tmp/broken.json" --select x --store "$store" --user alice </dev/null >/dev/null 2>"$tmp/e1"
check "broken model exits 2" test $? -eq 2
check "broken model: one line" test "$(wc -l <"$tmp/e1")" -eq 1
"$zt" generate "$src/examples/bank-ejb.json" --select nosuch::Thing --store "$store" --user alice </dev/null >/dev/null 2>"$tmp/e2"
check "unknown selection exits 2" test $? -eq 2
check "unknown selection is named" grep -q "nosuch::Thing" "$tmp/e2"
"$zt" generate "$src/examples/bank-ejb.json" --select bank --templates "$tmp/none" --store "$store" --user alice </dev/null >/dev/null 2>"$tmp/e3"
check "missing template folder exits non-zero" test $? -ne 0
check "missing template folder: one line" test "$(wc -l <"$tmp/e3")" -eq 1
touch "$tmp/afile"
"$zt" generate "$src/examples/bank-ejb.json" --select bank --store "$tmp/afile" --user alice </dev/null >/dev/null 2>"$tmp/e4"
check "unusable store exits non-zero" test $? -ne 0
check "unusable store: one line" test "$(wc -l <"$tmp/e4")" -eq 1
(cd "$store" && find . -type f -exec md5sum {} + | sort) >"$tmp/after"
check "failures leave the store as it was" diff -u "$tmp/before" "$tmp/after"

if [ $fail -ne 0 ]; then exit 1; fi
echo "generate_ejb: all checks passed"
