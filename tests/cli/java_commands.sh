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
check "the 23 Java tags, the dotted package and the templates' six" test "$(grep -c '^<' "$tmp/java")" -eq 30
check "Java package name is a path" grep -qx $'<package_name>\tgeometry' "$tmp/java"
check "the dotted package comes after the generator's own" \
  test "$(grep '^<' "$tmp/java" | sed -n 24p)" = $'<java_package_name>\tgeometry'
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

# Here a class without a language is Java. A constructor makes the object
# under test and a private operation is out of a test's reach: neither is
# taken, and neither fails the run, unless --strict.
cat >"$tmp/order.json" <<'JSON'
{"packages": [{"name": "shop", "classes": [{"name": "Order", "operations": [
  {"name": "Order", "parameters": [{"name": "id", "type": "int"}]},
  {"name": "total", "returnType": "double"},
  {"name": "check", "visibility": "private", "returnType": "boolean"},
  {"name": "Order"}]}]}]}
JSON
"$zt" java-test "$tmp/order.json" --select shop --store "$tmp/os" --user u </dev/null >/dev/null 2>"$tmp/err"
check "constructors and private operations do not fail java-test" test $? -eq 0
check "one test, of the operation a test can call" test "$(find "$tmp/os/scripts/java" -name '*.java')" = \
  "$tmp/os/scripts/java/unittests/shop/Ordertotal.java"
check "the three not taken are counted on stderr" grep -q "^ztunittest: 3 of the 4 operations of the selection are not taken by java-test" "$tmp/err"
"$zt" java-test "$tmp/order.json" --select shop --store "$tmp/os" --user u --strict </dev/null >/dev/null 2>&1
check "--strict fails them" test $? -eq 1

# Every operation not taken says why: a line on stderr after the add-in's
# own log line, and notTakenReason in the summary (null for those taken).
cat >"$tmp/why.json" <<'JSON'
{"packages": [{"name": "javax", "packages": [{"name": "ejb", "classes": [{"name": "SessionBean"}]}]},
 {"name": "why", "classes": [
  {"name": "Plain", "operations": [{"name": "Plain", "parameters": [{"name": "n", "type": "int"}]},
    {"name": "hidden", "visibility": "private"}, {"name": "run"}]},
  {"name": "Shape", "abstract": true, "operations": [{"name": "area", "returnType": "double"}]},
  {"name": "Api", "stereotype": "Interface", "operations": [{"name": "call"}]},
  {"name": "Single", "operations": [{"name": "Single", "visibility": "private"}, {"name": "work"}]},
  {"name": "Color", "stereotype": "enumeration", "literals": ["RED"], "operations": [{"name": "next"}]},
  {"name": "Calc", "language": "COM", "operations": [{"name": "Add"}]},
  {"name": "CartBean", "realizes": ["javax::ejb::SessionBean"], "operations": [{"name": "buy"}]}]}]}
JSON
"$zt" java-test "$tmp/why.json" --select why --store "$tmp/why" --user u --summary-json "$tmp/why-summary.json" \
  </dev/null >"$tmp/why.log" 2>"$tmp/why.err"
check "java-test on the model of every reason exits 0" test $? -eq 0
reasons=$(jq -r '.operations[] | "\(.operation | sub("^Logical View::why::"; "")) \(.notTakenReason)"' "$tmp/why-summary.json")
check "each operation's reason in the summary" test "$reasons" = "Plain::Plain constructor
Plain::hidden private
Plain::run null
Shape::area abstract-class
Api::call interface
Single::Single constructor
Single::work no-public-constructor
Color::next enumeration
Calc::Add language
CartBean::buy bean"
while IFS= read -r line; do
  check "stderr: $line" grep -qxF "ztunittest: Logical View::why::$line" "$tmp/why.err"
done <<'LINES'
Plain::Plain is not taken: it is a constructor: the test makes its object with one, it does not test it
Plain::hidden is not taken: it is private, out of a test's reach
Shape::area is not taken: Logical View::why::Shape is abstract: a test cannot make its object
Api::call is not taken: Logical View::why::Api is an interface: a test has no object to call it on
Single::work is not taken: every constructor of Logical View::why::Single is private, and the operation is not static: a test cannot make its object
Color::next is not taken: Logical View::why::Color is an enumeration and the operation is not static: its objects are its constants, which a test does not make
Calc::Add is not taken: Logical View::why::Calc is not a Java class (its language is "COM")
CartBean::buy is not taken: Logical View::why::CartBean is an EJB bean class: its tests call it through its home and remote interfaces (generate)
LINES
check "one reason line per operation not taken" test "$(grep -c ' is not taken: ' "$tmp/why.err")" -eq 9
check "the add-in's own log line stays as it is" \
  grep -qF "Logical View::why::Plain::hidden is not a valid operation for unit test generation." "$tmp/why.log"
"$zt" generate "$src/examples/bank-ejb.json" --select bank::core --store "$tmp/why-g" --user u \
  --summary-json "$tmp/why-g.json" </dev/null >/dev/null 2>"$tmp/why-g.err"
check "generate: no generator takes the beans and the key class" test "$(jq -r \
  '[.operations[] | select(.outcome == "not-taken") | .notTakenReason] | unique | join(" ")' "$tmp/why-g.json")" = \
  "no-generator"
check "generate: and says so" grep -qxF "ztunittest: Logical View::bank::core::TellerBean::withdraw is not taken: \
no generator takes the operations of Logical View::bank::core::TellerBean: it is no COM interface, EJB home or \
remote interface or inline EJB bean class (model-rules.md)" "$tmp/why-g.err"

# java-test takes the template the model chooses (the operation's value, the
# model's value, the model's definition, in this order), and the given or
# bundled one only where the model chooses none.
for t in value definition given; do printf '// %s <test_name>\n' "$t" >"$tmp/$t.template"; done
model() {  # model PROPERTIES: a one-operation Java model with these model properties
  printf '{"properties": {%s}, "classes": [{"name": "K", "language": "Java", "operations": [{"name": "m"}]}]}' \
    "$1" >"$tmp/k.json"
}
first_line() {
  rm -rf "$tmp/ks"
  "$zt" java-test "$tmp/k.json" --select K --store "$tmp/ks" --user u "$@" </dev/null >/dev/null 2>&1
  head -1 "$tmp/ks/scripts/java/unittests/Km.java" 2>/dev/null | tr -d '\r'
}
definition="\"TemplateDefinitions\": {\"JavaTestTemplate\": \"$tmp/definition.template\"}"
model "$definition"
check "the model's definition" test "$(first_line)" = "// definition Km"
check "the model's definition beats --template" test "$(first_line --template "$tmp/given.template")" = "// definition Km"
model "\"Templates\": {\"JavaTestTemplate\": \"$tmp/value.template\"}, $definition"
check "the model's value beats its definition" test "$(first_line)" = "// value Km"
model ""
check "--template where the model has none" test "$(first_line --template "$tmp/given.template")" = "// given Km"
first_line >/dev/null
check "the bundled template where the model has none" grep -q '^public class Km' "$tmp/ks/scripts/java/unittests/Km.java"

"$zt" java-test "$src/examples/shapes-java.json" --select geometry --store "$store" --user u --junit5 \
  --template x.template </dev/null >/dev/null 2>&1
check "--junit5 and --template exclude each other" test $? -eq 2

# java-classpath: absolute paths of files that are there, one line; with
# --junit5 the JUnit API jars too.
"$zt" java-classpath >"$tmp/cp" 2>"$tmp/err"
check "java-classpath exits 0" test $? -eq 0
check "java-classpath is one line" test "$(wc -l <"$tmp/cp")" -eq 1
jar=$(cat "$tmp/cp")
check "the runtime jar is there, by an absolute path" test -f "$jar" -a "${jar#/}" != "$jar"
check "the jar holds the runtime" sh -c "jar tf '$jar' | grep -qx 'ztunittest/runtime/UnitTest.class'"
"$zt" java-classpath --junit5 >"$tmp/cp5"
check "--junit5 puts the JUnit jars after the runtime" grep -q "^$jar:.*junit-jupiter-api.jar" "$tmp/cp5"
missing=0
IFS=: read -ra parts <"$tmp/cp5"
for part in "${parts[@]}"; do [ -f "$part" ] || missing=1; done
check "every entry of the class path is a file" test "$missing" -eq 0
# (That the installed program finds the installed runtime: machine_output.sh.)
finish java_commands
