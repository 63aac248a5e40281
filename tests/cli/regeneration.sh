#!/usr/bin/env bash
# Regenerating Java tests keeps hand edits (docs/templates.md, "Regenerating
# tests"): JUnit 5 tests of the shapes example are generated, one user region
# is edited, and the tests are generated again on other days with standard
# input closed: from the same model nothing is asked and nothing rewritten
# (same inode and time); from a model whose Circle.scale has a parameter
# more, that test gets it unasked, keeping its region, and its datapool the
# field, keeping the user's rows; a test edited outside its regions is asked
# about (kept at the end of input; answered yes, replaced, keeping the
# region), and the other files are never rewritten. The store folder and a PostgreSQL store share this logic;
# the store's conformance tests run it on both.
. "$2/tests/cli/lib/common.sh" "$@"
store=$tmp/store
root=$store/scripts/java/unittests/geometry
file=$root/Circlescale.java
# generate MODEL DAY [ARG...]: java-test on the two classes, on day DAY after 1970-01-01.
generate() {
  local model=$1 day=$2
  shift 2
  SOURCE_DATE_EPOCH=$((day * 86400)) "$zt" java-test "$model" --select geometry::Circle --select geometry::Rectangle \
    --junit5 --store "$store" --user me --templates "$src/templates" "$@" </dev/null >"$tmp/out" 2>"$tmp/err"
}
# The files of the tests: name, inode and modification time.
listing() { (cd "$root" && stat -c '%n %i %Y' -- *.java); }

generate "$src/examples/shapes-java.json" 0
check "the first generation succeeds" test $? -eq 0
check "the bundled template has the three regions" \
  test "$(grep -c -e '// user code begin: imports' -e '// user code begin: setup' -e '// user code begin: members' "$file")" -eq 3
# The region edited (written in place: the file keeps its inode).
awk '{ print } /\/\/ user code begin: setup/ { print "        factor = factor * 1; // kept\r" }' "$file" >"$tmp/edited"
cat "$tmp/edited" >"$file"
touch -d '2001-01-01 00:00:00' "$root"/*.java
listing >"$tmp/before"

generate "$src/examples/shapes-java.json" 3
check "another day, same model: it succeeds" test $? -eq 0
check "another day, same model: nothing is asked" test "$(grep -c '?' "$tmp/err")" -eq 0
listing >"$tmp/after"
check "another day, same model: no file is rewritten" cmp -s "$tmp/before" "$tmp/after"
check "the edited region is there" grep -q 'factor = factor \* 1; // kept' "$file"
check "the date is the first day's" grep -q "generated 01/01/70" "$file"

# Circle.scale gets a parameter more, and its datapool holds rows of the
# user's. Regenerated unanswered: the test was not edited outside its
# regions since it was generated, so it is replaced unasked, keeping the
# region; its datapool gains the field and keeps the rows.
printf 'factor,expectedException\r\n2.0,\r\n-1,java.lang.IllegalArgumentException\r\n' >"$tmp/rows.csv"
"$zt" datapool import Circle_scale "$tmp/rows.csv" --store "$store" >/dev/null 2>&1
check "the user's rows are stored" test "$("$zt" datapool export Circle_scale --store "$store" | wc -l)" -eq 3
sed 's|{ "name": "factor", "type": "double", "initValue": "2.0" }|&, { "name": "times", "type": "int", "initValue": "3" }|' \
  "$src/examples/shapes-java.json" >"$tmp/shapes2.json"
check "the model changed" grep -q '"times"' "$tmp/shapes2.json"
generate "$tmp/shapes2.json" 5
check "a parameter more: it succeeds" test $? -eq 0
check "a parameter more: nothing is asked but to edit the changed datapool" \
  test "$(grep -c '?' "$tmp/err")" -eq 1 -a "$(grep -c 'edit created datapool(s) now ?' "$tmp/err")" -eq 1
check "the log reports the changed datapool as created" grep -qx '    Circle_scale' "$tmp/out"
check "the parameter is in the file" grep -q 'testObject.scale(factor, times);' "$file"
check "the region is kept" grep -q 'factor = factor \* 1; // kept' "$file"
check "the file has the new date" grep -q "generated 01/06/70" "$file"
listing >"$tmp/after"
check "the other files are not rewritten" \
  cmp -s <(grep -v '^Circlescale.java ' "$tmp/before") <(grep -v '^Circlescale.java ' "$tmp/after")
check "the datapool gains the field, its rows kept" \
  test "$("$zt" datapool export Circle_scale --store "$store" | tr -d '\r')" = "$(printf 'factor,times,expectedException\n2.0,3,\n-1,3,java.lang.IllegalArgumentException')"
check "stderr says so" grep -q 'The datapool "Circle_scale" gains the field(s) times from the model; its 2 row(s) keep' "$tmp/err"

# Edited outside its regions, the test is asked about when the model changes
# again; the end of input keeps it as it is.
printf '// a hand edit\n' >>"$file"
listing >"$tmp/before"
generate "$src/examples/shapes-java.json" 7
check "edited outside a region: one test file is asked about" test "$(grep -c 'exists. Replace it?' "$tmp/err")" -eq 1
check "edited outside a region: the edited one" grep -q 'Circlescale.java exists. Replace it?' "$tmp/err"
listing >"$tmp/after"
check "edited outside a region, unanswered: no file is rewritten" cmp -s "$tmp/before" "$tmp/after"
check "the hand edit is kept" grep -q '^// a hand edit' "$file"
check "a field fewer: its datapool is asked about and kept" \
  test "$("$zt" datapool export Circle_scale --store "$store" | head -1 | tr -d '\r')" = "factor,times,expectedException"

# Answered yes: the model's text and the region are in the file.
generate "$src/examples/shapes-java.json" 7 --answer replace=all
check "answered: it succeeds" test $? -eq 0
check "answered: the parameter is gone" grep -q 'testObject.scale(factor);' "$file"
check "answered: the region is kept" grep -q 'factor = factor \* 1; // kept' "$file"
check "answered: the hand edit is replaced" test "$(grep -c '^// a hand edit' "$file")" -eq 0
listing >"$tmp/after"
check "answered: the other files are not rewritten" \
  cmp -s <(grep -v '^Circlescale.java ' "$tmp/before") <(grep -v '^Circlescale.java ' "$tmp/after")

# A test and its datapool are decided together. pair MODEL DAY [ARG...]:
# java-test on Rectangle into a store of its own, with a summary.
pairs=$tmp/pairs
pair() {
  local model=$1 day=$2
  shift 2
  SOURCE_DATE_EPOCH=$((day * 86400)) "$zt" java-test "$model" --select geometry::Rectangle --junit5 \
    --store "$pairs" --user me --templates "$src/templates" --summary-json "$tmp/pair.json" "$@" \
    </dev/null >"$tmp/out" 2>"$tmp/err"
}
resize=$pairs/scripts/java/unittests/geometry/Rectangleresize.java
fields() { "$zt" datapool export Rectangle_resize --store "$pairs" | head -1 | tr -d '\r' | sed 's/,expectedException$//'; }
outcome() { jq -r --arg key "$1" '.operations[] | select(.operation | endswith("resize")) | .[$key]' "$tmp/pair.json"; }
# model PARAMETERS: the example with Rectangle.resize's parameters replaced.
model() {
  jq --argjson p "$1" '(.. | objects | select(.name? == "resize") | .parameters) = $p' \
    "$src/examples/shapes-java.json" >"$tmp/pair-model.json"
  echo "$tmp/pair-model.json"
}
width='{"name":"width","type":"double","initValue":"3.0"}'
pair "$src/examples/shapes-java.json" 0
check "pairs: generated" test $? -eq 0 -a "$(fields)" = "width,height"
# A parameter renamed: the datapool question is asked and its end keeps the
# datapool; the test, which would read a field the datapool lacks, is kept
# too, and the log says why.
renamed=$(model "[$width,{\"name\":\"h\",\"type\":\"double\",\"initValue\":\"4.0\"}]")
for answer in "" overwrite-datapools=none; do
  cp "$resize" "$tmp/resize-before"
  pair "$renamed" 1 ${answer:+--answer "$answer"}
  check "renamed ($answer): it succeeds" test $? -eq 0
  check "renamed ($answer): the datapool is kept" test "$(fields)" = "width,height"
  check "renamed ($answer): so is its test" cmp -s "$resize" "$tmp/resize-before"
  check "renamed ($answer): the log says so" grep -q 'Rectangleresize.java was kept as it was: its datapool kept its fields' "$tmp/out"
  check "renamed ($answer): the summary says kept" test "$(outcome testOutcome) $(outcome datapoolOutcome)" = "kept kept"
done
# The datapool replaced: the test follows, unasked.
pair "$renamed" 1 --answer overwrite-datapools=yes
check "renamed, datapool replaced: the test reads the new field" \
  test "$(fields)" = "width,h" -a "$(grep -c 'dp.value("h")' "$resize")" -eq 1
check "renamed, datapool replaced: the summary" test "$(outcome testOutcome) $(outcome datapoolOutcome)" = "stored replaced"
# A parameter more: with "none" given in advance no existing datapool changes,
# and its test stays; without, the datapool gains it, reported as changed.
more=$(model "[$width,{\"name\":\"h\",\"type\":\"double\",\"initValue\":\"4.0\"},{\"name\":\"depth\",\"type\":\"int\",\"initValue\":\"2\"}]")
cp "$resize" "$tmp/resize-before"
pair "$more" 2 --answer overwrite-datapools=none
check "a field more, none: the datapool is kept" test "$(fields)" = "width,h"
check "a field more, none: so is its test" cmp -s "$resize" "$tmp/resize-before"
check "a field more, none: nothing said of gaining" test "$(grep -c 'gains the field' "$tmp/err")" -eq 0
check "a field more, none: the summary" test "$(outcome testOutcome) $(outcome datapoolOutcome)" = "kept kept"
pair "$more" 2
check "a field more: the datapool gains it" test "$(fields)" = "width,h,depth"
check "a field more: the test reads it" grep -q 'dp.value("depth")' "$resize"
check "a field more: the log reports the datapool" grep -qx '    Rectangle_resize' "$tmp/out"
check "a field more: the summary says changed" test "$(outcome testOutcome) $(outcome datapoolOutcome)" = "stored changed"
# Rows of the user's in a datapool whose model side is unchanged: a rerun
# asks nothing, and the rows stay; a model change still asks.
printf 'width,h,depth\r\n1,2,3\r\n4,5,6\r\n' >"$tmp/rows.csv"
"$zt" datapool import Rectangle_resize "$tmp/rows.csv" --store "$pairs" >/dev/null 2>&1
pair "$more" 3
check "user's rows, same model: nothing is asked" test "$(grep -c '?' "$tmp/err")" -eq 0
check "user's rows, same model: the rows stay" test "$("$zt" datapool export Rectangle_resize --store "$pairs" | wc -l)" -eq 3
check "user's rows, same model: the summary" test "$(outcome datapoolOutcome)" = "unchanged"
pair "$(model "[$width,{\"name\":\"h\",\"type\":\"double\",\"initValue\":\"9.0\"},{\"name\":\"depth\",\"type\":\"int\",\"initValue\":\"2\"}]")" 3
check "user's rows, an initial value changed: asked" test "$(grep -c 'Rectangle_resize: ' "$tmp/err")" -eq 1
check "user's rows, an initial value changed: kept at the end of input" \
  test "$("$zt" datapool export Rectangle_resize --store "$pairs" | wc -l)" -eq 3
# A datapool that cannot be stored (a parameter named as the oracle field):
# its test is not placed either, and the run fails.
rm -f "$resize"
pair "$(model "[$width,{\"name\":\"expectedException\",\"type\":\"String\"}]")" 4
check "no datapool: the run fails" test $? -eq 1
check "no datapool: no test" test ! -e "$resize"
check "no datapool: the summary" test "$(outcome testOutcome) $(outcome datapoolOutcome)" = "not-stored not-stored"
check "no datapool: the log names the test" grep -q 'Rectangleresize.java was not written: its datapool Rectangle_resize' "$tmp/out"

finish regeneration
