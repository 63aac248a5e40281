#!/usr/bin/env bash
# The runtime's own tests (tests/java-runtime/RuntimeTest.java), then the
# walk of docs/java.md on the bundled plain Java example, with its real
# classes (tests/java-runtime/models/shapes-java): JUnit 5 tests generated,
# rows imported into their datapools, the datapools exported, the tests
# compiled with javac and run by the JUnit Platform console launcher, whose
# tree and summary are read: per operation one row passes and one fails (a
# wrong expected value shows the expected and the actual value), and an empty
# expected value aborts its check.
. "$2/tests/cli/lib/common.sh" "$@"
launcher=/usr/share/java/junit-platform-console-standalone.jar
need javac default-jdk-headless
need java default-jdk-headless
[ -f "$launcher" ] || { echo "FAIL: no $launcher (./bootstrap.sh test installs the Debian package junit5)"; exit 1; }
src=$(cd "$src" && pwd)
cd "$tmp"
classpath=$("$zt" java-classpath --junit5)
summary() { sed -n "s/^\[ *\([0-9]*\) tests $1 *\]\$/\1/p" "$2"; }

javac -encoding UTF-8 -cp "$classpath" -d runtime-tests "$src/tests/java-runtime/RuntimeTest.java"
check "the runtime's tests compile" test $? -eq 0
java -jar "$launcher" --disable-banner --disable-ansi-colors --details=summary \
  --class-path "$classpath:runtime-tests" --select-class ztunittest.runtime.RuntimeTest >runtime.out 2>&1
check "the runtime's tests pass" test $? -eq 0 -a "$(summary failed runtime.out)" = 0
check "the runtime's tests ran" test "$(summary successful runtime.out)" = 20
[ "$fail" -eq 0 ] || cat runtime.out

# 1. Generate.
"$zt" java-test "$src/examples/shapes-java.json" --select geometry::Circle --select geometry::Rectangle --junit5 \
  --store store --user u </dev/null >log 2>err
check "java-test --junit5 exits 0" test $? -eq 0
check "four tests" test "$(find store/scripts/java -name '*.java' | wc -l)" -eq 4
tests=store/scripts/java/unittests
datapool() { sed -n 's/.*super("\(.*\)");.*/\1/p' "$tests/geometry/$1.java"; }

# 2. Rows: right, wrong (and for Circle.area an empty expected value).
while IFS='|' read -r test rows; do
  printf "$rows" >"$test.csv"
  "$zt" datapool import "$(datapool "$test")" "$test.csv" --store store >/dev/null
  check "rows of $test imported" test $? -eq 0
done <<'ROWS'
Circlearea|expectedReturn\n3.141592653589793\n3.0\n""\n
Circlescale|factor\n2.0\nabc\n
Rectanglearea|expectedReturn\n1.0\n2.0\n
Rectangleresize|height,width\n4.0,3.0\nx,3.0\n
ROWS

# 3. Export, 4. compile, 5. run.
"$zt" datapool export --all --dir datapools --store store
check "datapools exported" test $? -eq 0 -a "$(ls datapools | wc -l)" -eq 4
mkdir -p classes/model classes/tests
javac -d classes/model "$src"/tests/java-runtime/models/shapes-java/geometry/*.java
check "the model's classes compile" test $? -eq 0
javac -nowarn -encoding UTF-8 -cp "$classpath:classes/model" -d classes/tests $(find "$tests" -name '*.java') \
  2>javac.err
check "the generated tests compile" test $? -eq 0
java -Dztunittest.datapools=datapools -jar "$launcher" --disable-banner --disable-ansi-colors \
  --details=tree --details-theme=ascii --class-path "$classpath:classes/model:classes/tests" --scan-classpath classes/tests --include-classname '.*' \
  >junit.out 2>&1
check "the launcher reports failures" test $? -eq 1

count() { summary "$1" junit.out; }
check "nine tests: one per row" test "$(count found)" = 9
check "four pass" test "$(count successful)" = 4
check "four fail" test "$(count failed)" = 4
check "one is aborted" test "$(count aborted)" = 1
row() { grep -F -- "$1" junit.out | head -1; }
while IFS='|' read -r label mark message; do
  line=$(row "$label")
  check "$label: $mark" test -n "$line" -a -n "$(printf '%s' "$line" | grep -F -- "$mark")"
  [ -z "$message" ] || check "$label: the message" sh -c 'printf "%s" "$1" | grep -qF -- "$2"' _ "$line" "$message"
done <<'TREE'
row 1: expectedReturn=3.141592653589793|[OK]|
row 2: expectedReturn=3.0|[X]|Call to area returned unexpected value, 3.141592653589793. ==> expected: <3.0> but was: <3.141592653589793>
row 3: expectedReturn=|[A]|is empty: the check of the result was skipped; the call returned 3.141592653589793
row 1: factor=2.0|[OK]|
row 2: factor=abc|[X]|the field factor holds "abc", which is not a double
row 1: expectedReturn=1.0|[OK]|
row 2: expectedReturn=2.0|[X]|Call to area returned unexpected value, 1.0. ==> expected: <2.0> but was: <1.0>
row 1: width=3.0, height=4.0|[OK]|
row 2: width=3.0, height=x|[X]|the field height holds "x", which is not a double
TREE
finish java_junit5
