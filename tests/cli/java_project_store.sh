#!/usr/bin/env bash
# A project store as a Java developer with git uses it (docs/java.md, "Tests
# in your project"): the page's pom.xml for it, the bundled plain Java
# example's classes, `java-test --store project:.`, then `mvn -o test` with
# nothing in between; record mode rewrites the datapools in place and
# `git diff` shows only the recorded values; a second run with nothing
# changed leaves `git status` clean; two branches that generated tests for
# other classes merge without a conflict; two that generated one operation
# differently are told at the next run; a second program is refused while
# one holds the store.
. "$2/tests/cli/lib/common.sh" "$@"
need mvn maven
need javac default-jdk-headless
need git git
src=$(cd "$src" && pwd)
cd "$tmp"
block() {  # block HEADING: the first fenced block after the line of docs/java.md that begins with HEADING
  awk -v head="$1" '
    index($0, head) == 1 { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$src/docs/java.md"
}
export GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@example.org GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@example.org
mkdir -p project/.mvn project/src/main/java/geometry
block '`pom.xml` (project store):' >project/pom.xml
block '`.mvn/maven.config` (' >project/.mvn/maven.config
check "the page has the project store's pom" grep -q "<include>\*\*/\*.java</include>" project/pom.xml
check "which needs no datapools folder" test "$(grep -c "ztunittest.datapools\|build-helper" project/pom.xml)" -eq 0
cp "$src"/tests/java-runtime/models/shapes-java/geometry/*.java project/src/main/java/geometry/
cd project
git init -q -b main .
printf 'target/\n*.out\n' >.gitignore
git add -A && git commit -qm "the classes"
generate() {  # generate USER [MODEL] [SELECT...]: java-test into the project store
  local user=$1 model=${2:-$src/examples/shapes-java.json}
  shift 2 || shift
  [ $# -gt 0 ] || set -- geometry::Circle geometry::Rectangle
  local selection=()
  for s in "$@"; do selection+=(--select "$s"); done
  "$zt" java-test "$model" "${selection[@]}" --junit5 --store project:. --user "$user" \
    --answer overwrite-datapools=all --answer replace=all </dev/null >"$tmp/gen.out" 2>&1
}
mvn_test() {  # mvn_test OUT [OPTION...]: the page's command, offline, with a private local repository
  local out=$1
  shift
  mvn -o -B -Dmaven.repo.local="$tmp/m2" -Dztunittest.runtime="$("$zt" java-classpath)" "$@" test >"$out" 2>&1
}

generate me
check "generated" test $? -eq 0
check "the tests lie in their package's folder" \
  test "$(cd src/test/java && find . -name '*.java' | sort | tr '\n' ' ')" = \
  "./geometry/Circlearea.java ./geometry/Circlescale.java ./geometry/Rectanglearea.java ./geometry/Rectangleresize.java "
check "each datapool is a CSV file in the test resources" \
  test "$(ls src/test/resources/ztunittest | tr '\n' ' ')" = \
  "Circle_area.csv Circle_scale.csv Rectangle_area.csv Rectangle_resize.csv ztunittest.records "
check "a datapool as the runtime reads it" \
  test "$(cat src/test/resources/ztunittest/Rectangle_resize.csv)" = "$(printf 'width,height,expectedException\n3.0,4.0,')"
records=src/test/resources/ztunittest/ztunittest.records
check "the records: sorted, one a line, nothing of the machine" \
  sh -c "tail -n +2 '$records' | LC_ALL=C sort -c && ! grep -q -e '$tmp' -e \"\$(hostname)\" -e '20[0-9][0-9]-' '$records'"
check "the records of an operation" grep -qxF "$(printf 'name\tgeometry::Circle::area\tCircle_area')" "$records"
check "the records file merges by lines" grep -qxF "$records merge=union" .gitattributes
check "no lock is left" test ! -e .ztunittest.lock
git add -A && git commit -qm "generated tests"

mvn_test first.out
check "mvn test runs the generated tests as they are" grep -q "Tests run: 4, Failures: 0, Errors: 0, Skipped: 2$" first.out
check "(a row without an expectation aborted)" grep -q "BUILD SUCCESS" first.out
check "nothing was fetched from the network" test -z "$(grep -i "downloading from" first.out | grep -v "file:///usr/share/maven-repo")"

# Record → review the diff → commit.
mvn_test record.out -Dztunittest.record=src/test/resources/ztunittest
check "recording: the build succeeds" grep -q "BUILD SUCCESS" record.out
check "git diff shows only the recorded values" \
  test "$(git diff --name-only | grep -cv '^src/test/resources/ztunittest/[A-Za-z_]*\.csv$')" -eq 0
check "the recorded result of area, in place" \
  test "$(git diff -U0 src/test/resources/ztunittest/Circle_area.csv | grep '^+[^+]')" = "+3.141592653589793,,"
git add src && git commit -qm "recorded"
mvn_test right.out
check "then every row passes" grep -q "Tests run: 4, Failures: 0, Errors: 0, Skipped: 0$" right.out

# Regenerating an unchanged model, as another user: nothing written.
generate other
check "regenerated" test $? -eq 0
check "git status stays clean" test -z "$(git status --porcelain)"

# Two branches, each generating tests for another class, merge cleanly.
cp "$src/examples/shapes-java.json" "$tmp/more.json"
sed -i 's/"name": *"scale"/"name":"grow"/' "$tmp/more.json"
git checkout -qb a && generate a "$tmp/more.json" geometry::Circle && git add src && git commit -qm a
git checkout -q main && git checkout -qb b
sed 's/"name": *"resize"/"name":"stretch"/' "$src/examples/shapes-java.json" >"$tmp/other.json"
generate b "$tmp/other.json" geometry::Rectangle && git add src && git commit -qm b
check "branch a made its test" git cat-file -e a:src/test/java/geometry/Circlegrow.java
git merge -q --no-edit a >merge.out 2>&1
check "the branches merge without a conflict" test $? -eq 0
check "the merged records hold both" \
  sh -c "grep -q 'Circle::grow' '$records' && grep -q 'Rectangle::stretch' '$records'"
"$zt" datapool list --store project:. >list.out
check "and the store reads them" sh -c "grep -q 'Circle_grow' list.out && grep -q 'Rectangle_stretch' list.out"

# Both branches generate one operation differently: told at the next run.
git checkout -q -b c && sed 's/"initValue": *"1.0"/"initValue":"7.5"/; s/"returnType": *"double"/"returnType":"float"/' \
  "$tmp/more.json" >"$tmp/c.json"
generate c "$tmp/c.json" geometry::Circle && git add src && git commit -qm c
git checkout -q b && sed 's/"returnType": *"double"/"returnType":"Double"/' "$tmp/more.json" >"$tmp/d.json"
generate d "$tmp/d.json" geometry::Circle && git add src && git commit -qm d
git merge -q --no-edit c >merge2.out 2>&1
generate e "$tmp/more.json" geometry::Circle
check "two records of one test are told, with what to do" \
  grep -q "holds two different records of geometry/Circle.*Generate it again" "$tmp/gen.out"

# One program at a time.
git merge --abort 2>/dev/null
git checkout -q -f main
flock .ztunittest.lock sleep 30 &
holder=$!
sleep 1
generate me
check "a second program is refused" test $? -eq 1
check "naming the holder" grep -q "another run uses it: sleep (process [0-9]*) holds its lock file\|another run uses it: another program holds" "$tmp/gen.out"
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
[ "$fail" -eq 0 ] || cat first.out record.out right.out "$tmp/gen.out" | tail -80
finish java_project_store
