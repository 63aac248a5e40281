#!/usr/bin/env bash
# The models Umbrello wrote (tests/data/umbrello: drawn in its GUI, and its
# Java import of two libraries), read as a user reads them: java-test without
# --language (the file's code generator language is the classes' own), the
# whole Logical View selected. The Logical View is the root, in no Java
# package and no folder; its Datatypes folder gets no tests; constructors and
# private operations are not taken, and the run exits 0. Every test declares
# the package of its folder and compiles unchanged against the code the model
# was made from; a few rows of the GUI model's tests run.
. "$2/tests/cli/lib/common.sh" "$@"
. "$src/tests/cli/lib/junit.sh"
data=$src/tests/data
# has_line LINE FILE: FILE has the line LINE (the tests end their lines with CR LF).
has_line() { tr -d '\r' <"$2" | grep -qxF -- "$1"; }

# sample|the code it was made from|tests|operations not taken|of all|the test folders
while IFS='|' read -r sample code tests untaken all folders; do
  "$zt" java-test "$data/umbrello/$sample.xmi" --select "Logical View" --recursive --junit5 --store "$sample" \
    --user u </dev/null >"$sample.log" 2>"$sample.err"
  check "$sample: java-test exits 0" test $? -eq 0
  check "$sample: $untaken of $all operations not taken, counted on stderr" grep -qF \
    "ztunittest: $untaken of the $all operations of the selection are not taken by java-test" "$sample.err"
  scripts=$sample/scripts/java/unittests
  check "$sample: $tests tests" test "$(find "$scripts" -name '*.java' | wc -l)" -eq "$tests"
  check "$sample: the folders of the code's packages, no Logical View, no Datatypes" \
    test "$(cd "$scripts" && find . -type d | LC_ALL=C sort | tr '\n' ' ')" = "$folders"
  wrong=0
  while IFS= read -r file; do
    folder=$(dirname "${file#"$scripts"/}")
    has_line " *${folder//\//.}/ //*/ package ${folder//\//.};" "$file" || { echo "$file:"; grep -n package "$file"; wrong=1; }
  done < <(find "$scripts" -name '*.java')
  check "$sample: each test declares the package of its folder" test "$wrong" -eq 0
  mkdir -p "$sample-code" "$sample-tests"
  javac -d "$sample-code" $(find "$data/$code" -name '*.java')
  check "$sample: the code compiles" test $? -eq 0
  javac -nowarn -encoding UTF-8 -cp "$classpath:$sample-code" -d "$sample-tests" $(find "$scripts" -name '*.java') \
    >"$sample.javac" 2>&1
  check "$sample: every test compiles unchanged" test $? -eq 0
  [ "$fail" -eq 0 ] || cat "$sample.err" "$sample.javac"
done <<'SAMPLES'
bank-gui|umbrello/src/bank|9|3|12|. ./bank ./bank/ledger 
optparse-java-import|umbrello/src/optparse|10|5|15|. ./optparse ./optparse/util 
shop-java-import|java-library/src|41|9|50|. ./shop ./shop/money ./shop/util 
SAMPLES

# What the GUI model says, in its tests: the constructor it was drawn with
# makes the object, the static operation is called on its class, a type of
# the other package is imported; the constructors and the private operation
# get no test.
tests=bank-gui/scripts/java/unittests/bank
check "the object made by the constructor drawn" grep -qF "Account testObject = new Account(owner_New, balance_New);" \
  "$tests/Accountdeposit.java"
check "the static operation called on its class" grep -qF "actualReturn = Account.of(owner);" "$tests/Accountof.java"
check "the type of the other package imported" has_line "import bank.ledger.Entry;" "$tests/Accountlast.java"
check "no test of a constructor or of the private operation" \
  test ! -e "$tests/AccountAccount.java" -a ! -e "$tests/Accountaudit.java" -a ! -e "$tests/ledger/EntryEntry.java"
check "the library types of the import imported" has_line "import java.util.List;" \
  optparse-java-import/scripts/java/unittests/optparse/OptionSetnonOptionArguments.java

# Rows for three of the GUI model's tests, and a run.
while IFS='|' read -r name rows; do
  printf "$rows" >"$name.csv"
  "$zt" datapool import "$name" "$name.csv" --store bank-gui >/dev/null
  check "rows of $name imported" test $? -eq 0
done <<'ROWS'
Account_deposit|amount,owner_New,balance_New\n1,Ann,0\n
Account_getBalance|expectedReturn,owner_New,balance_New\n5,Ann,5\n6,Ann,5\n
Entry_getNote|expectedReturn,amount_New,note_New\nrent,3,rent\n
ROWS
"$zt" datapool export --all --dir bank-datapools --store bank-gui >/dev/null
check "the datapools exported" test $? -eq 0
java -Dztunittest.datapools=bank-datapools -jar "$launcher" --disable-banner --disable-ansi-colors \
  --details=tree --details-theme=ascii --class-path "$classpath:bank-gui-code:bank-gui-tests" \
  --select-class bank.Accountdeposit --select-class bank.AccountgetBalance --select-class bank.ledger.EntrygetNote \
  >bank-junit.out 2>&1
check "the launcher reports the failure" test $? -eq 1
check "four tests: one per row" test "$(summary found bank-junit.out)" = 4
check "three pass" test "$(summary successful bank-junit.out)" = 3
check "the wrong expected balance fails" \
  grep -qF "Call to getBalance returned unexpected value, 5. ==> expected: <6> but was: <5>" bank-junit.out
[ "$fail" -eq 0 ] || cat bank-junit.out
finish java_umbrello
