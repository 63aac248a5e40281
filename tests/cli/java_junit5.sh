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
. "$src/tests/cli/lib/junit.sh"

javac -encoding UTF-8 -cp "$classpath" -d runtime-tests "$src/tests/java-runtime/RuntimeTest.java"
check "the runtime's tests compile" test $? -eq 0
java -jar "$launcher" --disable-banner --disable-ansi-colors --details=summary \
  --class-path "$classpath:runtime-tests" --select-class ztunittest.runtime.RuntimeTest >runtime.out 2>&1
check "the runtime's tests pass" test $? -eq 0 -a "$(summary failed runtime.out)" = 0
check "the runtime's tests ran" test "$(summary successful runtime.out)" = 120
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
# The same walk on a library of ordinary object-oriented code
# (tests/data/java-library: value objects without a constructor that takes
# nothing, a static utility class with a private constructor, overloads,
# arrays, varargs, boxed types, an enum, lists, maps, java.time, object
# parameters, an interface parameter, and an operation Order.line whose test
# would be named like the class Orderline). Every test compiles unchanged;
# the datapools give each row its inputs in their text forms. The class
# Numbers has a right and a wrong row of each oracle: an expected exception
# (simple and qualified name, a superclass), a tolerance (the default and
# one given), NaN and the infinities, BigDecimal by value, the null form and
# the empty text, an array and a list by content; each wrong row fails with
# a message naming its inputs.
lib="$src/tests/data/java-library"
"$zt" java-test "$lib/shop.json" --select shop --recursive --junit5 --store shop --user u </dev/null >shop.log 2>shop.err
check "java-test on the library exits 0" test $? -eq 0
check "40 tests" test "$(find shop/scripts/java -name '*.java' | wc -l)" -eq 40
check "constructors, private operations and the interface's are not taken" \
  grep -q "^ztunittest: 10 of the 50 operations of the selection are not taken by java-test" shop.err
check "the test of Order.line hides no class" test -f shop/scripts/java/unittests/shop/Orderline1.java
check "and a warning says so" grep -qF "the test of shop::Order::line is named Orderline1, not Orderline" shop.err
while IFS='|' read -r name rows; do
  printf "$rows" >"$name.csv"
  "$zt" datapool import "$name" "$name.csv" --store shop >/dev/null
  check "rows of $name imported" test $? -eq 0
done <<'ROWS'
Customer_greeting|salutation,expectedReturn,name_New,id_New\nHello,Hello Ann,Ann,7\n
Customer_getId|expectedReturn,name_New,id_New\n7,Ann,7\n8,Ann,7\n
Customer_isRegistered|expectedReturn,name_New,id_New\ntrue,Ann,7\nfalse,Bob,0\n
Orderline_total|expectedReturn,product_New,quantity_New,price_New\n"(7.50, EUR)",tea,3,"(2.50, EUR)"\n
Orderline_getQuantity|expectedReturn,product_New,quantity_New,price_New\n3,tea,3,"Money(2.50, EUR)"\n
Order_getCustomer|expectedReturn,customer_New\nAnn,Ann\n
Order_add|line,customer_New\n"(tea, 3, (2.50, EUR))",Ann\n
Order_add1|product,quantity,price,expectedReturn,customer_New\ntea,3,"(2.50, EUR)",1,Ann\n
Order_line|index,expectedReturn,customer_New\n0,null,Ann\n
Order_count|expectedReturn,customer_New\n0,Ann\n
Order_total|currency,expectedReturn,customer_New\nEUR,"(0, EUR)",Ann\nUSD,"(0, EUR)",Ann\n
Order_products|wanted,expectedReturn,customer_New\n"[tea, milk]",[],Ann\n
Order_contains|item,expectedReturn,customer_New\nnull,false,Ann\nsomething,false,Ann\n
Order_isEmpty|expectedReturn,customer_New\ntrue,Ann\n
Money_getAmount|expectedReturn,amount_New,currency_New\n12.50,12.50,EUR\n
Money_getCurrency|expectedReturn,amount_New,currency_New\nEUR,1,EUR\n
Money_plus|other,expectedReturn,amount_New,currency_New\n"(1.25, EUR)","(3.75, EUR)",2.50,EUR\n
Money_times|factor,expectedReturn,amount_New,currency_New\n3,"(7.50, EUR)",2.50,EUR\n
Money_isZero|expectedReturn,amount_New,currency_New\ntrue,0,EUR\n
Counter_next|expectedReturn\n1\n""\n
Counter_add|steps,expectedReturn\n"[1, 2, 3]",6\n
Texts_join|separator,parts,expectedReturn\n-,"[a, b, c]",a-b-c\n
Texts_count|values,expectedReturn\n"[1, 2, 3]",3\n
Texts_count1|items,expectedReturn\n[],0\n
Texts_parse|text,expectedReturn\n42,42\nx,null\n
Texts_sum|a,b,expectedReturn\n2,3,5\n
Texts_histogram|words,expectedReturn\n"[b, a, b]","{a=1, b=2}"\n
Texts_nextDay|day,expectedReturn\n2024-02-28,2024-02-29\n
Texts_square|n,expectedReturn\n12345678901234567890,152415787532388367501905199875019052100\n
Texts_currencyOf|code,expectedReturn\nGBP,GBP\n
Texts_flags|n,expectedReturn\n2,"[false, false]"\n
Texts_initial|text,expectedReturn\nshop,s\n"""\\0x""",\n
Numbers_divide|dividend,divisor,expectedReturn,expectedException\n7,2,3,\n5,0,,ArithmeticException\n5,0,,java.lang.RuntimeException\n5,0,1,\n7,2,,IllegalStateException\n5,0,,IllegalStateException\n
Numbers_sum|a,b,expectedReturn,tolerance\n0.1,0.2,0.3,\n1,2,3.05,0.1\n0.1,0.2,0.31,0.001\n
Numbers_ratio|a,b,expectedReturn\n0,0,NaN\n1,0,Infinity\n1,0,-Infinity\n
Numbers_gross|net,expectedReturn\n19,19\n19,19.01\n
Numbers_trim|text,expectedReturn,expectedException\n"  ","""""",\nnull,,NullPointerException\n" a ","""""",\n
Numbers_nickname|name,expectedReturn\nBo,null\nRobert,Rob\nBob,Bob\nab\xf0\x9f\x98\x80cd,\n
Numbers_digits|n,expectedReturn\n123,"[1, 2, 3]"\n120,"[1, 2]"\n
Numbers_words|text,expectedReturn\n" a  b ","[a, b]"\n"a b c","[a, c]"\n
ROWS
"$zt" datapool export --all --dir shop-datapools --store shop >/dev/null
check "the library's datapools exported" test $? -eq 0
mkdir -p shop-classes/model shop-classes/tests
javac -d shop-classes/model $(find "$lib/src" -name '*.java')
check "the library compiles" test $? -eq 0
javac -encoding UTF-8 -cp "$classpath:shop-classes/model" -d shop-classes/tests \
  $(find shop/scripts/java/unittests -name '*.java') >shop-javac.out 2>&1
check "every generated test of the library compiles unchanged" test $? -eq 0
check "without a warning" test ! -s shop-javac.out
[ "$fail" -eq 0 ] || cat shop-javac.out
java -Dztunittest.datapools=shop-datapools -jar "$launcher" --disable-banner --disable-ansi-colors \
  --details=tree --details-theme=ascii --class-path "$classpath:shop-classes/model:shop-classes/tests" \
  --scan-classpath shop-classes/tests --include-classname '.*' >shop-junit.out 2>&1
check "the launcher reports the failures" test $? -eq 1
check "64 tests: one per row" test "$(summary found shop-junit.out)" = 64
check "48 pass" test "$(summary successful shop-junit.out)" = 48
check "twelve fail: a wrong row each" test "$(summary failed shop-junit.out)" = 12
check "four are aborted" test "$(summary aborted shop-junit.out)" = 4
# (The launcher's tree cuts long names short: a row's mark is looked for
# after the beginning of its name.)
while IFS='|' read -r label message mark; do
  check "$label" sh -c 'grep -F -- "$1" shop-junit.out | grep -qF -- "$2"' _ "$message" "$mark"
done <<'TREE'
a wrong object result, in its text form|Call to total returned unexpected value, (0, USD). ==> expected: <(0, EUR)> but was: <(0, USD)>
a wrong int|Call to getId returned unexpected value, 7. ==> expected: <8> but was: <7>
an interface the runtime cannot make, named with its field|no value of the type shop.Priced can be made for the field item (an interface has no objects of its own)
an empty expected result|the expected result (expectedReturn) of row 2 of the datapool Counter_next is empty
an expected exception, in the row's name|row 2: dividend=5, divisor=0, expectedReturn=, expectedException=Arithmetic|[OK]
its superclass, qualified|row 3: dividend=5, divisor=0, expectedReturn=, expectedException=java.lang.Runti|[OK]
an exception no row expects|Call to divide threw java.lang.ArithmeticException: / by zero (row 4: dividend=5, divisor=0)
a return where an exception is expected|Call to divide returned instead of throwing the expected IllegalStateException (row 5: dividend=7, divisor=2)
another exception than the expected one|Call to divide threw java.lang.ArithmeticException: / by zero, not the expected IllegalStateException (row 6: dividend=5, divisor=0)
0.1 + 0.2 within the default tolerance|row 1: a=0.1, b=0.2, expectedReturn=0.3 [OK]
a tolerance given|row 2: a=1, b=2, expectedReturn=3.05, tolerance=0.1 [OK]
outside a tolerance given|Call to sum returned unexpected value, 0.30000000000000004. ==> expected: <0.31> but was: <0.30000000000000004> (row 3: a=0.1, b=0.2)
NaN is NaN|row 1: a=0, b=0, expectedReturn=NaN [OK]
an infinity only itself|Call to ratio returned unexpected value, Infinity. ==> expected: <-Infinity> but was: <Infinity> (row 3: a=1, b=0)
BigDecimal by value|row 1: net=19, expectedReturn=19 [OK]
BigDecimal, another value|Call to gross returned unexpected value, 19.00. ==> expected: <19.01> but was: <19.00> (row 2: net=19)
the empty text expected|row 1: text=  , expectedReturn="" [OK]
the null form of an input|row 2: text=null, expectedReturn=, expectedException=NullPointer|[OK]
the empty text, another value|Call to trim returned unexpected value, a. ==> expected: <""> but was: <a> (row 3: text= a )
null expected|row 1: name=Bo, expectedReturn=null [OK]
null returned, no exception in the message|Call to nickname returned unexpected value, null. ==> expected: <Bob> but was: <null> (row 3: name=Bob)
an array by content|row 1: n=123, expectedReturn=[1, 2, 3] [OK]
an array, another content|Call to digits returned unexpected value, [1, 2, 0]. ==> expected: <[1, 2]> but was: <[1, 2, 0]> (row 2: n=120)
a list by content|row 1: text= a  b , expectedReturn=[a, b] [OK]
a list, another content|Call to words returned unexpected value, [a, b, c]. ==> expected: <[a, c]> but was: <[a, b, c]> (row 2: text=a b c)
TREE
[ "$fail" -eq 0 ] || cat shop-junit.out
# Recorded expectations. (1) The datapools as generated, one row each with
# empty fields: every row runs as it is (an empty input is its type's
# default); recording writes each datapool with the expected results the
# run gave, import --all takes them, and the tests then run green.
run_tests() {  # run_tests OUT DATAPOOLS CLASSES [JAVA OPTION...]
  local out=$1 datapools=$2 classes=$3
  shift 3
  java -Dztunittest.datapools="$datapools" "$@" -jar "$launcher" --disable-banner --disable-ansi-colors \
    --details=tree --details-theme=ascii --class-path "$classpath:$classes:shop-classes/tests" \
    --scan-classpath shop-classes/tests --include-classname '.*' >"$out" 2>&1
}
"$zt" java-test "$lib/shop.json" --select shop --recursive --junit5 --store rec --user u </dev/null >/dev/null 2>&1
"$zt" datapool export --all --dir rec-generated --store rec >/dev/null
run_tests rec-generated.out rec-generated shop-classes/model
check "generated rows run as they are: no empty field is refused" test -z "$(grep "is empty, which is not" rec-generated.out)"
check "an empty expected result aborts (not given)" test "$(summary aborted rec-generated.out)" -gt 0
run_tests rec-record.out rec-generated shop-classes/model -Dztunittest.record=rec-recorded
check "recording passes" test $? -eq 0 -a "$(summary failed rec-record.out)" = 0 -a "$(summary aborted rec-record.out)" = 0
check "a file per datapool" test "$(ls rec-recorded | wc -l)" = "$(ls rec-generated | wc -l)"
check "the generated datapool is left alone" cmp -s rec-generated/Numbers_divide.csv \
  <("$zt" datapool export Numbers_divide --store rec)
check "a thrown exception is recorded, the inputs kept" grep -qx ',,,java.lang.ArithmeticException' \
  rec-recorded/Numbers_divide.csv
"$zt" datapool import --all --dir rec-recorded --store rec >rec-import.out 2>&1
check "import --all takes every file" test $? -eq 0
check "and says so" grep -qx "$(ls rec-recorded | wc -l) datapool(s) imported from rec-recorded." rec-import.out
"$zt" datapool export --all --dir rec-imported --store rec >/dev/null
run_tests rec-green.out rec-imported shop-classes/model
check "the recorded datapools run green" test $? -eq 0 -a "$(summary failed rec-green.out)" = 0 \
  -a "$(summary aborted rec-green.out)" = 0 -a "$(summary successful rec-green.out)" = "$(summary found rec-green.out)"
[ "$fail" -eq 0 ] || cat rec-record.out rec-import.out rec-green.out
# (2) The library's datapools with their rows (above), right and wrong:
# recorded, imported all at once, green; then one method of the library
# changed: its rows fail, and only those. A row of a type the runtime
# cannot make (Order.contains with an interface), and a result that no file
# can hold (Numbers.nickname cut inside a surrogate pair), cannot be
# recorded: each fails while recording, saying why, and stays aborted. The
# character 0 (Texts.initial of a text that starts with it) is recorded in
# its written form, which import --all takes and the runtime reads back.
run_tests shop-record.out shop-datapools shop-classes/model -Dztunittest.record=shop-recorded
check "recording fails only for the rows that cannot be recorded" test "$(summary failed shop-record.out)" = 2
check "naming them" grep -qF "row 2 of the datapool Order_contains cannot be recorded: no value of the type shop.Priced" \
  shop-record.out
check "and why" grep -qF "row 4 of the datapool Numbers_nickname cannot be recorded: the result ab\uD83D has no text form \
that reads back as it (ab\uD83D holds a lone surrogate (U+D83D), which UTF-8 cannot write)" shop-record.out
check "the character 0 in its written form" test "$(sed -n 3p shop-recorded/Texts_initial.csv)" = '"""\0x""","""\0""",'
check "a wrong expectation is replaced by what the run gave" test "$(sed -n 3p shop-recorded/Customer_getId.csv)" = '7,,Ann,7'
check "null recorded in its form" test "$(sed -n 2p shop-recorded/Numbers_nickname.csv)" = 'Bo,null,'
check "the empty text in its form" test "$(sed -n 2p shop-recorded/Numbers_trim.csv)" = '  ,"""""",'
"$zt" datapool import --all --dir shop-recorded --store shop >/dev/null
check "import --all of the recorded files" test $? -eq 0
"$zt" datapool export --all --dir shop-imported --store shop >/dev/null
run_tests shop-green.out shop-imported shop-classes/model
check "then the library's tests pass" test "$(summary failed shop-green.out)" = 0
check "but the rows that could not be recorded" test "$(summary aborted shop-green.out)" = 2
mkdir -p changed-src changed-classes
cp -r "$lib/src/." changed-src/
sed -i 's|return dividend / divisor;|return dividend * divisor;|' changed-src/shop/util/Numbers.java
javac -d changed-classes $(find changed-src -name '*.java')
run_tests shop-changed.out shop-imported changed-classes
check "Numbers.divide changed: its six rows fail" test "$(summary failed shop-changed.out)" = 6
check "and only those" test "$(grep -c '\[X\]' shop-changed.out)" = 6 -a "$(grep '\[X\]' shop-changed.out | grep -c 'Call to divide')" = 6
[ "$fail" -eq 0 ] || cat shop-record.out shop-green.out shop-changed.out
# import --all is all or nothing: one refused file, beside a good one,
# stores none. Each of the ways a file is refused on its own.
before=$("$zt" datapool export Numbers_divide --store shop)
while IFS='|' read -r file content said; do
  rm -rf bad-import && mkdir bad-import
  printf 'dividend,divisor,expectedReturn,expectedException\n1,1,1,\n' >bad-import/Numbers_divide.csv
  printf "$content" >"bad-import/$file"
  "$zt" datapool import --all --dir bad-import --store shop </dev/null >bad-import.out 2>bad-import.err
  check "$file: a refused file fails import --all" test $? -eq 1
  check "$file: naming it" grep -qF "$said" bad-import.err
  check "$file: and how many" grep -qF "nothing was imported: 1 of the 2 file(s) in bad-import were refused" \
    bad-import.err
  check "$file: the good file was not stored either" \
    test "$("$zt" datapool export Numbers_divide --store shop </dev/null)" = "$before"
  check "$file: nothing on stdout" test ! -s bad-import.out
done <<'BAD'
Numbers_sum.csv|nothing\n1\n|bad-import/Numbers_sum.csv: line 1: the header must name
No_such.csv|a,b\n|there is no datapool named "No_such"
BAD
# A ztunittest whose runtime was built without JUnit 5 (junit5 was not
# installed then): the program beside a runtime jar without its JUnit 5
# part. JUnit 5 tests are refused before anything is written, naming what to
# install and that the build must be made again; the same tree with the whole
# jar generates them.
for part in without with; do
  mkdir -p "$part/bin" "$part/share/ztunittest/java" "$part/jar"
  cp "$zt" "$part/bin/"
  (cd "$part/jar" && jar xf "$(dirname "$zt")/../share/ztunittest/java/ztunittest-runtime.jar" &&
    { [ "$part" = with ] || rm ztunittest/runtime/DatapoolTests*.class; } &&
    jar cf ../share/ztunittest/java/ztunittest-runtime.jar .)
  "$part/bin/ztunittest" java-test "$src/examples/shapes-java.json" --select geometry::Circle --junit5 \
    --store "$part/store" --user u </dev/null >"$part.out" 2>"$part.err"
  echo $? >"$part.status"
done
check "without the JUnit 5 part: exit 2" test "$(cat without.status)" = 2
check "naming what to install and to build again" grep -qx \
  "ztunittest: this ztunittest was built without JUnit 5: install Debian's junit5 package and build it again" without.err
check "and nothing else" test "$(wc -l <without.err)" = 1 -a ! -s without.out
check "nothing written" test ! -e without/store
check "java-classpath --junit5 refuses too" bash -c "! without/bin/ztunittest java-classpath --junit5 2>/dev/null"
check "with it: generated" test "$(cat with.status)" = 0 -a -f with/store/scripts/java/unittests/geometry/Circlearea.java
# Umbrello's models of the library and of other code: java_umbrello.sh.
finish java_junit5
