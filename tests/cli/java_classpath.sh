#!/usr/bin/env bash
# The compiled classes behind a model (--classpath): `model check` compares
# a model with them; java-test writes its tests from their real signatures
# and does not take what the code lacks, each with its reason. For each
# sample, every generated test is compiled with javac against the real
# classes and the share that compiles unchanged is checked: the models
# Umbrello wrote (tests/data/umbrello), the JSON model of the small library
# (tests/data/java-library), and a JSON model that has drifted from its code
# (tests/data/java-drift), and Umbrello's import of two packages of a real
# library, Apache Commons IO (40 source files, 268 operations), tested
# against its jar as Debian's libcommons-io-java installs it. Without
# --classpath, as many compile as before.
. "$2/tests/cli/lib/common.sh" "$@"
. "$src/tests/cli/lib/junit.sh"
data=$src/tests/data

# broken STORE CODE: the number of tests of STORE that do not compile
# against CODE. javac stops at a file it cannot parse before it looks at the
# others' types: the files it names in errors are put aside and the rest
# compiled again, until the rest compiles.
broken() {
  local left bad=0 named
  left=$(find "$1/scripts/java" -name '*.java' | sort)
  while [ -n "$left" ]; do
    rm -rf "$1-classes" && mkdir -p "$1-classes"
    javac -Xmaxerrs 100000 -nowarn -encoding UTF-8 -cp "$classpath:$2" -d "$1-classes" $left >"$1.javac" 2>&1 && break
    named=$(grep -o '^[^ :]*\.java:[0-9]*: error' "$1.javac" | cut -d: -f1 | sort -u)
    [ -n "$named" ] || { bad=$((bad + $(wc -w <<<"$left"))); break; }
    bad=$((bad + $(wc -l <<<"$named")))
    left=$(comm -23 <(tr ' ' '\n' <<<"$left" | sort) <(echo "$named"))
  done
  echo "$bad"
}

# -- model check: an added, a removed and a changed method ------------------
mkdir -p drift-code
javac -d drift-code $(find "$data/java-drift/src" -name '*.java')
check "the drifted library compiles" test $? -eq 0
"$zt" model check "$data/java-drift/drift.json" --classpath drift-code >check.out 2>check.err
check "model check exits 1 when model and code differ" test $? -eq 1
while IFS= read -r line; do
  check "model check: $line" grep -qxF -- "$line" check.out
done <<'LINES'
drift.Clock (Logical View::drift::Clock)
  ~ Clock(): the code has Clock(long, String)
  ~ format(int): the code has format(long)
  = format(String)
  - stop(): not in the code
  + reset(): in the code, not in the model
  = zones(String...)
  = at(long)
  + Builder(): in the code, not in the model
  = fold(R, BinaryOperator<R>)
  + of(double): in the code, not in the model
  = set(Integer)
  = set(T)
drift.Gone (Logical View::drift::Gone): the class path has no such class
13 classes (1 not in the class path), 31 operations: 27 as in the code, 2 not in the code, 2 with another signature; 16 members of the code not in the model
LINES
ZTUNITTEST_CLASSPATH=drift-code "$zt" model check "$data/java-drift/drift.json" --json >check.json 2>/dev/null
check "model check --json, the class path from \$ZTUNITTEST_CLASSPATH" test "$(jq -c \
  '[.differs, .counts.same, .counts.missing, .counts.differs, .counts.notInModel, .counts.classesMissing]' check.json)" = \
  "[true,27,2,2,16,1]"
check "model check --json: the changed method and what the code has" test "$(jq -r \
  '.classes[0].operations[1] | "\(.model) \(.status) \(.code)"' check.json)" = "format(int) differs format(long)"
mkdir -p shop-code
javac -d shop-code $(find "$data/java-library/src" -name '*.java')
"$zt" model check "$data/java-library/shop.json" --language Java --classpath "$tmp/shop-code" --json >shop.json
check "the small library's model has every operation of its code" test "$(jq -c \
  '[.counts.operations, .counts.same, .counts.classesMissing]' shop.json)" = "[50,50,0]"
"$zt" model check "$data/java-drift/drift.json" </dev/null >/dev/null 2>nocp.err
check "model check without a class path exits 2" test $? -eq 2
check "and says how to give one" grep -qF -- "no class path: give --classpath" nocp.err
"$zt" model check "$data/java-drift/drift.json" --classpath drift-code:nothing-here >/dev/null 2>gone.err
check "a class path entry that is not there exits 2" test $? -eq 2
check "and is named" grep -qxF "ztunittest: --classpath: nothing-here is neither a folder nor a jar that is there" gone.err

# -- java-test --classpath: the share that compiles, with and without ------
# sample|model|code (sources, or a jar)|--language|tests with|compile with|tests without|compile without
[ -f /usr/share/java/commons-io.jar ] ||
  { echo "FAIL: no /usr/share/java/commons-io.jar (./bootstrap.sh test installs libcommons-io-java)"; exit 1; }
while IFS='|' read -r name model code language with withOk without withoutOk; do
  for run in with without; do
    compiled=$tmp/$name-code
    if [ "${code%.jar}" != "$code" ]; then
      compiled=$code
    else
      mkdir -p "$compiled"
      [ -n "$(find "$compiled" -name '*.class' -print -quit)" ] || javac -d "$compiled" $(find "$data/$code" -name '*.java')
    fi
    extra=()
    [ "$run" = with ] && extra=(--classpath "$compiled")
    [ -n "$language" ] && extra+=(--language "$language")
    "$zt" java-test "$data/$model" --select "Logical View" --recursive --junit5 --store "$name-$run" --user u \
      --summary-json "$name-$run.json" "${extra[@]}" </dev/null >"$name-$run.log" 2>"$name-$run.err"
    check "$name $run --classpath: java-test exits 0" test $? -eq 0
    total=$(find "$name-$run/scripts/java" -name '*.java' | wc -l)
    bad=$(broken "$name-$run" "$compiled")
    ok=$((total - bad))
    echo "$name $run --classpath: $ok of $total tests compile unchanged"
    if [ "$run" = with ]; then
      check "$name with --classpath: $with tests" test "$total" -eq "$with"
      check "$name with --classpath: $withOk compile unchanged" test "$ok" -eq "$withOk"
      check "$name with --classpath: at least 98% compile" test $((ok * 100)) -ge $((total * 98))
    else
      check "$name without --classpath: $without tests" test "$total" -eq "$without"
      check "$name without --classpath: $withoutOk compile, as before" test "$ok" -ge "$withoutOk"
    fi
    [ "$fail" -eq 0 ] || { cat "$name-$run.err"; head -40 "$name-$run.javac"; }
  done
done <<'SAMPLES'
bank-gui|umbrello/bank-gui.xmi|umbrello/src/bank||9|9|9|9
optparse|umbrello/optparse-java-import.xmi|umbrello/src/optparse||10|10|10|10
shop-import|umbrello/shop-java-import.xmi|java-library/src||41|41|41|41
shop|java-library/shop.json|java-library/src|Java|40|40|40|40
drift|java-drift/drift.json|java-drift/src||19|19|25|10
commons-io|umbrello/commons-io-java-import.xmi|/usr/share/java/commons-io.jar||151|151|151|144
SAMPLES

# The class path the store keeps (ztunittest options --classpath), stored
# absolute, is the one java-test takes where neither --classpath nor
# $ZTUNITTEST_CLASSPATH gives one.
(cd "$tmp" && "$zt" options --store "$tmp/kept" --classpath drift-code >kept.out 2>&1)
check "options --classpath is kept, absolute" grep -qxF "class path of the compiled classes (option 5): $tmp/drift-code" kept.out
"$zt" java-test "$data/java-drift/drift.json" --select "Logical View" --recursive --store "$tmp/kept" --user u \
  --summary-json kept.json </dev/null >/dev/null 2>&1
check "java-test takes the store's class path" test "$(jq -r '.operations[1].notTakenReason' kept.json)" = \
  "signature-differs"
"$zt" options --store "$tmp/kept" --classpath nothing-here >/dev/null 2>&1
check "an entry that is not there is not kept" test $? -eq 2

# -- The drifted model: what is not taken, and why -----------------------------
check "each operation's reason in the summary" test "$(jq -r \
  '.operations[] | "\(.operation | sub("^Logical View::drift::"; "")) \(.notTakenReason)"' drift-with.json)" = \
  "Clock::Clock signature-differs
Clock::format signature-differs
Clock::format null
Clock::elapsed null
Clock::utc null
Clock::stop not-in-code
Clock::zones null
Clock::Clock constructor
Clock.Builder::at null
Clock.Builder::build null
Clock.Builder::Builder constructor
Clock.Tick::value inner-class
Range::Range constructor
Range::contains null
Range::fold null
Range::getLow null
Ids::Ids constructor
Ids::create null
Ids::next no-public-constructor
Ids::width null
Celsius::fahrenheit no-public-constructor
Shape::area abstract-class
Shape::describe abstract-class
Latch::open no-public-constructor
Latch::count null
IntBox::get null
IntBox::set null
IntBox::tag null
IntBox::IntBox constructor
Names::get null
Names::Names constructor
NumberBox::get null
NumberBox::set null
NumberBox::NumberBox constructor
RawBox::get null
RawBox::RawBox constructor
Gone::work class-not-in-code"
while IFS= read -r line; do
  check "stderr: $line" grep -qxF "ztunittest: $line" drift-with.err
done <<'LINES'
Logical View::drift::Clock::format is not taken: the code has format(long), the model says format(int)
Logical View::drift::Clock::stop is not taken: the compiled class drift.Clock has no stop()
Logical View::drift::Clock.Tick::value is not taken: drift.Clock.Tick is an inner class in the code (a nested class that is not static): a test cannot make its object without one of its outer class
Logical View::drift::Latch::open is not taken: every constructor of drift.Latch is private in the code, and the operation is not static: a test cannot make its object
Logical View::drift::Celsius::fahrenheit is not taken: every constructor of drift.Celsius is private in the code, and the operation is not static: a test cannot make its object
Logical View::drift::Shape::area is not taken: drift.Shape is abstract in the code: a test cannot make its object
Logical View::drift::NumberBox::get: the test names the type variable T as its bound java.lang.Object
the class path has no class drift.Gone (Logical View::drift::Gone): its operations are not taken
Logical View::drift::Range::fold: the test names the type variable R as its bound java.lang.Object
LINES
check "a missing class is named once" test "$(grep -c 'no class drift.Gone (' drift-with.err)" -eq 1

# The tests written from the real signatures, line by line: the public
# constructor of the code (its parameters unnamed in the model), a static
# call the model drew as one on an object, a type variable as its bound,
# varargs and a generic result, a nested class.
while IFS='|' read -r test line; do
  check "$test: $line" sh -c 'body() { tr -d "\r" <"$1" | sed "s/^ *//"; }; body "$1" | grep -qxF -- "$2"' _ \
    "drift-with/scripts/java/unittests/drift/$test.java" "$line"
done <<'LINES'
Clockelapsed|long arg1_New = dp.value("arg1_New").longValue();
Clockelapsed|String arg2_New = dp.value("arg2_New").stringValue();
Clockelapsed|Clock testObject = new Clock(arg1_New, arg2_New);
Clockutc|actualReturn = Clock.utc(start);
Rangecontains|Comparable value = null;
Rangecontains|Range testObject = new Range(low_New, high_New);
Rangefold|java.util.function.BinaryOperator<Object> step = null;
Clockzones|String[] names = null;
Clockzones|java.util.List<String> expectedReturn = null;
ClockBuilderat|Clock.Builder testObject = new Clock.Builder();
ClockBuilderat|drift.Clock.Builder expectedReturn = null;
LINES

# The exact text of one test per shape, from its test() to the call
# (comments, blank lines and indentation left out): a method of Box<T>
# inherited with T as Integer, as
# List<String> through Shelf<K> extends Box<List<K>>, and as its bound in a
# generic class (a test names it raw, which inherits Box's methods erased).
calls() {
  tr -d '\r' <"drift-with/scripts/java/unittests/drift/$1.java" |
    sed -n '/public void test() throws Exception {/,/} catch (Throwable thrown) {/p' | sed 's/^ *//' | grep -v '^//\|^$'
}
cat >expected-calls <<'TESTS'
IntBoxset
public void test() throws Exception {
Integer value = null;
value = dp.value("value").as(new ztunittest.runtime.TypeOf<Integer>() {});
try {
IntBox testObject = new IntBox();
testObject.set(value);
} catch (Throwable thrown) {

Namesget
public void test() throws Exception {
java.util.List<String> expectedReturn = null;
java.util.List<String> actualReturn = null;
expectedReturn = dp.value("expectedReturn").as(new ztunittest.runtime.TypeOf<java.util.List<String>>() {});
try {
Names testObject = new Names();
actualReturn = testObject.get();
} catch (Throwable thrown) {

NumberBoxget
public void test() throws Exception {
Object expectedReturn = null;
Object actualReturn = null;
expectedReturn = dp.value("expectedReturn").as(new ztunittest.runtime.TypeOf<Object>() {});
try {
NumberBox testObject = new NumberBox();
actualReturn = testObject.get();
} catch (Throwable thrown) {
TESTS
for test in IntBoxset Namesget NumberBoxget; do
  expected=$(sed -n "/^$test\$/,/^\$/p" expected-calls | sed '1d;/^$/d')
  check "$test: the exact text" test "$(calls "$test")" = "$expected"
  [ "$(calls "$test")" = "$expected" ] || diff <(echo "$expected") <(calls "$test")
done
check "IntBoxtag: X of the generic interface Tagged<X> as String" \
  test "$(calls IntBoxtag | grep -cxF 'String tag = null;')" = 1

# The rows of two of them run against the real classes.
printf 'start,expectedReturn\n5,\n' >utc.csv
"$zt" datapool import Clock_utc utc.csv --store drift-with >/dev/null
printf 'millis,expectedReturn\n7,\n' >at.csv
"$zt" datapool import Clock.Builder_at at.csv --store drift-with >/dev/null
"$zt" datapool export --all --dir drift-datapools --store drift-with >/dev/null
java -Dztunittest.datapools=drift-datapools -jar "$launcher" --disable-banner --disable-ansi-colors \
  --details=tree --details-theme=ascii --class-path "$classpath:drift-code:drift-with-classes" \
  --select-class drift.Clockutc --select-class drift.ClockBuilderat >drift-junit.out 2>&1
check "the two tests run against the real classes: one row each" test "$(summary started drift-junit.out)" = 2
check "none fails (their rows give no expected result, so the check is skipped)" \
  test "$(summary failed drift-junit.out)" = 0
[ "$fail" -eq 0 ] || cat drift-junit.out
finish java_classpath
