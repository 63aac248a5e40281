#!/usr/bin/env bash
# params shows what the tags of an operation hold; java-test writes one plain
# Java test per operation a plain Java class can test (that they compile and
# run is the templates' own test).
. "$2/tests/cli/lib/common.sh" "$@"

# All 31 EJB tags; a session bean has no key constructor.
"$zt" params "$src/examples/bank-ejb.json" --operation bank::core::Teller::withdraw --user u >"$tmp/params" 2>"$tmp/warn"
check "params exits 0" test $? -eq 0
# (Their order is the generator's own test.)
check "the 31 EJB tags" test "$(grep -c '^<' "$tmp/params")" -eq 31
check "the test name" grep -qx $'<test_name>\tTellerwithdraw' "$tmp/params"
check "key failure text" grep -qx $'<key_params>\t<key_params: Failed to find key create operation.>' "$tmp/params"
check "warning on stderr" grep -q "WARNING... could not find the primary key class." "$tmp/warn"

"$zt" params "$src/examples/shapes-java.json" --operation geometry::Circle::scale --generator java --user u >"$tmp/java" 2>/dev/null
check "the 23 Java tags" test "$(grep -c '^<' "$tmp/java")" -eq 23
check "Java package name is a path" grep -qx $'<package_name>\tgeometry' "$tmp/java"
"$zt" params "$src/examples/bank-ejb.json" --operation bank::core::Nothing --user u >/dev/null 2>&1
check "unknown operation exits 2" test $? -eq 2

# java-test: one test per operation a plain Java class can test.
store="$tmp/store"
"$zt" java-test "$src/examples/shapes-java.json" --select geometry --select ShapesDemo --store "$store" --user u \
  </dev/null >"$tmp/log" 2>"$tmp/err"
check "java-test succeeds: interfaces and abstract classes are not taken, not failed" test $? -eq 0
check "five tests" test "$(find "$store/scripts/java" -name '*.java' | wc -l)" -eq 5
check "closing text" grep -qx "Finished code generation, 5 of 8 test(s) were processed." "$tmp/err"
check "the operations not taken are counted on stderr" grep -q "^ztunittest: 3 of the 8 operations" "$tmp/err"
finish java_commands
