#!/usr/bin/env bash
# params shows what the tags of an operation hold; java-test writes one plain
# Java test per operation of the example, and they compile.
set -u
zt=$1
src=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() {
  local what=$1; shift
  if ! "$@"; then echo "FAIL: $what"; fail=1; fi
}
export LANG=C SOURCE_DATE_EPOCH=0

# All 31 EJB tags, in their order; a session bean has no key constructor.
"$zt" params "$src/examples/bank-ejb.json" --operation bank::core::Teller::withdraw --user u >"$tmp/params" 2>"$tmp/warn"
check "params exits 0" test $? -eq 0
cut -f1 "$tmp/params" | grep '^<' >"$tmp/tags"
cat >"$tmp/expected" <<'TAGS'
<generation_date>
<test_name>
<datapool_name>
<index>
<root_package>
<package_name>
<class_name>
<operation_name>
<method_name>
<check_expected_result>
<method_declaration>
<method_call>
<return_type>
<return_declaration>
<return_assignment>
<parameter_declarations>
<parameter_initialization>
<datapool_init>
<parameter_list>
<operation_arglist>
<remote_interface_name>
<home_interface_name>
<primary_key_class_name>
<createparam_declaration>
<createparam_init>
<create_params>
<keyvalue_declaration>
<keyvalue_init>
<key_params>
<author_name>
<expectedreturn_equals_actualreturn>
TAGS
check "the 31 EJB tags in order" diff -u "$tmp/expected" "$tmp/tags"
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
check "java-test finishes short: interfaces and abstract classes are not tested" test $? -eq 1
check "five tests" test "$(find "$store/scripts/java" -name '*.java' | wc -l)" -eq 5
check "closing text" grep -qx "Finished code generation, 5 of 8 test(s) were processed." "$tmp/err"
if command -v javac >/dev/null 2>&1; then
  runtime="$src/tests/java-runtime"
  find "$runtime/runtime" "$runtime/models/shapes-java" "$store/scripts/java" -name '*.java' \
    ! -name ShapesDemototalArea.java >"$tmp/sources"
  if ! javac -nowarn -d "$tmp/classes" @"$tmp/sources" >"$tmp/javac" 2>&1; then
    cat "$tmp/javac"
    echo "FAIL: generated tests compile"
    fail=1
  fi
else
  echo "SKIP: no javac on the PATH; the compile check did not run"
fi
exit $fail
