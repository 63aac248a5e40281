#!/usr/bin/env bash
# The Maven build of docs/java.md as a user copies it: its pom.xml and
# .mvn/maven.config, taken from the page itself, build the bundled plain
# Java example's classes and run its generated JUnit 5 tests with `mvn -o`,
# offline, on Debian's Maven packages (bootstrap.sh installs them), with a
# private local repository (the machine's ~/.m2 is not touched). A wrong
# row fails the build, its message naming the row's inputs; recorded
# (-Dztunittest.record) and imported with import --all, the rows pass.
. "$2/tests/cli/lib/common.sh" "$@"
need mvn maven
need javac default-jdk-headless
src=$(cd "$src" && pwd)
cd "$tmp"
# The code block after the line of the page that begins with HEADING (the first fenced one).
block() {
  awk -v head="$1" '
    index($0, head) == 1 { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$src/docs/java.md"
}
mkdir -p project/.mvn project/src/main/java/geometry
block '`pom.xml`:' >project/pom.xml
block '`.mvn/maven.config` (' >project/.mvn/maven.config
check "the page has the pom" grep -q "<artifactId>maven-surefire-plugin</artifactId>" project/pom.xml
check "and the Maven config" grep -qx -- "-Daether.offline.protocols=file" project/.mvn/maven.config
cp "$src"/tests/java-runtime/models/shapes-java/geometry/*.java project/src/main/java/geometry/
cd project
"$zt" java-test "$src/examples/shapes-java.json" --select geometry::Circle --select geometry::Rectangle --junit5 \
  --store ztstore --user u </dev/null >/dev/null 2>&1
check "tests generated" test "$(find ztstore/scripts/java -name '*.java' | wc -l)" -eq 4
rows() {  # rows NAME CSV: the rows of a datapool, then every datapool exported for the tests
  printf "$2" >"../$1.csv"
  "$zt" datapool import "$1" "../$1.csv" --store ztstore >/dev/null
  check "rows of $1 imported" test $? -eq 0
  "$zt" datapool export --all --dir src/test/resources/datapools --store ztstore >/dev/null
}
mvn_test() {  # mvn_test OUT [OPTION...]: the page's command, offline, with a private local repository
  local out=$1
  shift
  mvn -o -B -Dmaven.repo.local="$tmp/m2" -Dztunittest.runtime="$("$zt" java-classpath)" "$@" test >"$out" 2>&1
}
rows Circle_area 'expectedReturn\n3.141592653589793\n'
rows Circle_scale 'factor,expectedException\n2.0,\n2.0,IllegalStateException\n'
rows Rectangle_area 'expectedReturn\n1.0\n'
rows Rectangle_resize 'height,width\n4.0,3.0\n'
mvn_test wrong.out
check "a wrong row fails the build" test $? -ne 0
check "Surefire ran every row" grep -q "Tests run: 5, Failures: 1, Errors: 0, Skipped: 0$" wrong.out
check "the failure names the row's inputs" grep -qF "Call to scale returned instead of throwing the expected IllegalStateException (row 2: factor=2.0)" wrong.out
check "nothing was fetched from the network" test -z "$(grep -i "downloading from" wrong.out | grep -v "file:///usr/share/maven-repo")"
# Record mode under Maven (the page's loop): the expectations the run
# gives, imported all at once, then a green build.
mvn_test record.out -Dztunittest.record=recorded
check "recording: the build succeeds" test $? -eq 0
check "a file per datapool with rows" test "$(ls recorded | wc -l)" -eq 4
check "the wrong expectation replaced by what the run gave" \
  test "$(cat recorded/Circle_scale.csv)" = "$(printf 'factor,expectedException\n2.0,\n2.0,\n')"
"$zt" datapool import --all --dir recorded --store ztstore >/dev/null
check "import --all of the recorded files" test $? -eq 0
"$zt" datapool export --all --dir src/test/resources/datapools --store ztstore >/dev/null
mvn_test right.out
check "then the build succeeds" test $? -eq 0
check "with every row run" grep -q "Tests run: 5, Failures: 0, Errors: 0, Skipped: 0$" right.out
check "BUILD SUCCESS" grep -q "BUILD SUCCESS" right.out
[ "$fail" -eq 0 ] || cat wrong.out record.out right.out
finish java_maven
