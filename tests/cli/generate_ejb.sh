#!/usr/bin/env bash
# A whole generation from the command line on the bundled EJB example: the
# host log line by line, the files and datapools, and a second run that
# neither duplicates nor replaces anything without a yes. (That the generated
# tests compile and run is the templates' own test; what failures leave
# behind is the hostile-input catalogue's.)
. "$2/tests/cli/lib/common.sh" "$@"
store=$tmp/store
run() {
  "$zt" generate "$src/examples/bank-ejb.json" --select bank::core::Account --select bank::core::AccountHome \
    --store "$store" --user alice "$@" </dev/null >"$tmp/out" 2>"$tmp/err"
}
sums() { (cd "$store/scripts" && find . -type f -exec md5sum {} + | sort); }

run
check "first run succeeds (status $?)" test $? -eq 0
sed "s|@ROOT@|$store/scripts/java/|" "$src/tests/data/generate-bank.log" >"$tmp/expected"
check "host log of the first run" diff -u "$tmp/expected" "$tmp/out"
check "closing text on stderr" grep -qx "Finished code generation, 7 of 7 test(s) were processed." "$tmp/err"
check "stdout carries only the log" bash -c "! grep -q 'Finished code generation' '$tmp/out'"
files=$(cd "$store/scripts/java" && find . -type f | sort)
check "seven test files" test "$(echo "$files" | wc -l)" -eq 7
check "overloads get two files" bash -c "echo '$files' | grep -q AccountHomecreate1.java"
"$zt" datapool list --store "$store" >"$tmp/pools" 2>&1
check "seven datapools" grep -q '^7 datapool' "$tmp/pools"
check "overloads get two datapools" grep -q "AccountHome_create1" "$tmp/pools"
sums >"$tmp/sums1"

# A second run: same names, the same texts are left alone, nothing is added.
run
check "second run succeeds (status $?)" test $? -eq 0
# The datapools hold what they held: nothing to report for them.
awk '/datapool created:$/ { skip = 1; next } skip { skip = 0; next } { print }' "$tmp/expected" >"$tmp/expected2"
check "second run logs the scripts only" diff -u "$tmp/expected2" "$tmp/out"
sums >"$tmp/sums2"
check "second run changes no file" diff -u "$tmp/sums1" "$tmp/sums2"
# (That a rerun leaves the datapools as they were: datapool_names.sh.)

# An edited test is not replaced without a yes (end of input answers no).
echo "// my change" >>"$store/scripts/java/unittests/bank/core/Accountdeposit.java"
cp "$store/scripts/java/unittests/bank/core/Accountdeposit.java" "$tmp/edited"
run
check "an edited file is kept" cmp -s "$tmp/edited" "$store/scripts/java/unittests/bank/core/Accountdeposit.java"
check "the user was asked" grep -q "Replace it?" "$tmp/err"
# Beside the log: an inline bean without a home and a parameter without a
# type. The log has the add-in's lines only; the host says what they mean
# on stderr, once.
cat >"$tmp/shop.json" <<'EOF'
{"model": "Shop", "packages": [{"name": "shop", "classes": [
  {"name": "Till", "stereotype": "EJBSession", "language": "InlineEJB", "operations": [
    {"name": "ring", "returnType": "int", "parameters": [{"name": "amount", "type": "int"}]},
    {"name": "scan", "returnType": "void", "parameters": [{"name": "code"}]}]}]}]}
EOF
"$zt" generate "$tmp/shop.json" --select shop::Till --store "$tmp/shop" --user alice </dev/null >"$tmp/out" 2>"$tmp/err"
check "an untyped parameter fails its operation (status $?)" test $? -eq 1
prefix='[Verimos]--[Unit Test]: '
printf '%s\n' "" "Generating Test Scripts..." \
  "${prefix}WARNING... could not find the home interface class " \
  "${prefix}WARNING... could not find the primary key class." \
  "${prefix}source created for Logical View::shop::Till::ring:" \
  "    $tmp/shop/scripts/java/unittests\\shop\\Tillring.java" \
  "${prefix}datapool created:" "    Till_ring" "" \
  "${prefix}An error occurred during generation of Logical View::shop::Till::scan:" \
  "${prefix}Error Number:  1, No parameter datatype specified." >"$tmp/expected"
check "the log is the add-in's" diff -u "$tmp/expected" "$tmp/out"
check "the missing home is told once on stderr" test "$(grep -c \
  '^ztunittest: the inline EJB Till has no home interface, so its test cannot create the bean under test$' "$tmp/err")" -eq 1
check "the untyped parameter is named on stderr" grep -qx \
  'ztunittest: Logical View::shop::Till::scan: the parameter code has no type, so its test cannot declare it; give it one in the model' \
  "$tmp/err"
finish generate_ejb
