#!/usr/bin/env bash
# Every test reads its own datapool: for overloads, for classes of one name
# in different packages and for other models in the same store, with each
# generator (EJB, plain Java, COM), the datapool a test names — in its code,
# its resource script and the host log — is the one created for its very
# operation, and holds the fields the test reads. A rerun asks nothing and
# creates nothing, and a fresh store gives the same names.
. "$2/tests/cli/lib/common.sh" "$@"
unset ZTUNITTEST_USER

cat >"$tmp/m.json" <<'EOF'
{"root": "Logical View", "components": [{"name": "CalcLib", "properties": {"COM": {"filename": "CalcLib.dll"}}}],
 "packages": [
  {"name": "a", "classes": [{"name": "C", "language": "Java", "operations": [
    {"name": "f", "returnType": "int", "parameters": [{"name": "x", "type": "int"}]},
    {"name": "f", "returnType": "int", "parameters": [{"name": "s", "type": "String"}, {"name": "t", "type": "int"}]}]}]},
  {"name": "b", "classes": [{"name": "C", "language": "Java", "operations": [
    {"name": "f", "returnType": "int", "parameters": [{"name": "y", "type": "String"}]}]}]},
  {"name": "ejb", "classes": [
    {"name": "Shop", "stereotype": "EJBRemoteInterface", "language": "Java",
     "operations": [{"name": "buy", "returnType": "void", "parameters": [{"name": "item", "type": "String"}]}]},
    {"name": "ShopHome", "stereotype": "EJBHomeInterface", "language": "Java", "operations": [
      {"name": "create", "returnType": "Shop"},
      {"name": "create", "returnType": "Shop", "parameters": [{"name": "id", "type": "String"}]},
      {"name": "create", "returnType": "Shop", "parameters": [{"name": "id", "type": "String"}, {"name": "n", "type": "int"}]}]}]},
  {"name": "com", "classes": [
    {"name": "ICalc", "stereotype": "Interface", "language": "COM", "operations": [
      {"name": "Add", "returnType": "long", "parameters": [{"name": "a", "type": "long"}]},
      {"name": "Add", "returnType": "long", "parameters": [{"name": "p", "type": "long"}, {"name": "q", "type": "long"}]}]},
    {"name": "Calc", "stereotype": "coclass", "language": "COM", "realizes": ["com::ICalc"],
     "components": ["CalcLib"]}]}]}
EOF
# A second model in the same store: a class C in package z with f(double w).
cat >"$tmp/other.json" <<'EOF'
{"root": "Other", "packages": [{"name": "z", "classes": [{"name": "C", "language": "Java", "operations": [
  {"name": "f", "returnType": "int", "parameters": [{"name": "w", "type": "double"}]}]}]}]}
EOF

gen() {  # gen STORE COMMAND MODEL SELECTION...: log in $tmp/log, terminal in $tmp/err
  local store=$1 command=$2 model=$3
  shift 3
  local args=()
  for s in "$@"; do args+=(--select "$s"); done
  "$zt" "$command" "$model" "${args[@]}" --store "$store" --user u --templates "$src/templates" \
    </dev/null >"$tmp/log" 2>"$tmp/err"
}
fields() { "$zt" datapool export "$2" --store "$1" 2>/dev/null | head -1 | tr -d '\r'; }
# Each Java test: the datapool it names exists and has every field it reads.
java_tests_agree() {
  local store=$1 file name wanted have
  for file in $(find "$store/scripts/java" -name '*.java' | sort); do
    name=$(sed -n 's/^ *super("\(.*\)");.*/\1/p' "$file")
    have=",$(fields "$store" "$name"),"
    if [ "$have" = ",," ]; then echo "$file: no datapool '$name'"; return 1; fi
    for wanted in $(grep -o 'dp.value("[^"]*")' "$file" | sed 's/dp.value("\(.*\)")/\1/'); do
      case $have in *",$wanted,"*) ;; *) echo "$file reads $wanted, $name has $have"; return 1 ;; esac
    done
  done
}
# The datapools the host log says were created, in order.
logged() { awk '/datapool created:$/ { on = 1; next } on && /^    / { print substr($0, 5); next } { on = 0 }' "$tmp/log"; }

# EJB: three overloads of a create method.
s1=$tmp/s1
gen "$s1" generate "$tmp/m.json" ejb::ShopHome
check "ejb: generated" test $? -eq 0
check "ejb: the log names one datapool per overload" \
  test "$(logged | tr '\n' ' ')" = "ShopHome_create ShopHome_create1 ShopHome_create2 "
check "ejb: third overload's test names its datapool" grep -q 'super("ShopHome_create2")' \
  "$s1/scripts/java/unittests/ejb/ShopHomecreate2.java"
check "ejb: third overload's datapool has its fields" test "$(fields "$s1" ShopHome_create2)" = "id,n,expectedReturn"

# Plain Java: the same class and operation names in two packages, and overloads.
gen "$s1" java-test "$tmp/m.json" a::C b::C
check "java: generated" test $? -eq 0
check "java: one datapool per operation" test "$(logged | tr '\n' ' ')" = "C_f C_f1 b_C_f "
check "java: b's test reads its own datapool" grep -q 'super("b_C_f")' "$s1/scripts/java/unittests/b/Cf.java"
check "java: b's datapool has b's field" test "$(fields "$s1" b_C_f)" = "y,expectedReturn,expectedException"
check "java: a's datapool has a's field" test "$(fields "$s1" C_f)" = "x,expectedReturn,expectedException"

# params names datapools as the store does: with --store, the name that
# store gave, or would give; without, a new store's name, and says so.
pool() {  # pool MODEL OPERATION [--store STORE]: the <datapool_name> params shows
  local model=$1 operation=$2
  shift 2
  "$zt" params "$model" --operation "$operation" --generator java --user u "$@" 2>"$tmp/params-err" |
    sed -n 's/^<datapool_name>\t//p'
}
check "params --store: the name the store gave" test "$(pool "$tmp/m.json" b::C::f --store "$s1")" = b_C_f
check "params --store: the name the store would give" test "$(pool "$tmp/other.json" z::C::f --store "$s1")" = z_C_f
check "params --store: nothing asked or told" test ! -s "$tmp/params-err"
check "params: a new store's name" test "$(pool "$tmp/m.json" b::C::f)" = C_f
check "params: says whose name it is" grep -q "datapool names are those a new store gives" "$tmp/params-err"

# Another model in the same store: its C::f gets a datapool of its own.
gen "$s1" java-test "$tmp/other.json" z::C
check "other model: generated" test $? -eq 0
check "other model: its own datapool" test "$(logged)" = "z_C_f"
check "other model: no datapool to overwrite" bash -c "! grep -q 'Overwrite it?' '$tmp/err'"
check "every Java test reads its own datapool" java_tests_agree "$s1"

# COM: the resource script of each overload names the overload's datapool.
gen "$s1" generate "$tmp/m.json" com::ICalc
check "com: the log names one datapool per overload" test "$(logged | tr '\n' ' ')" = "ICalc_Add ICalc_Add1 "
# The compiled script, or the script itself when no compiler ran; UTF-16 as text.
script() { local f=$s1/scripts/vb/unittests/com/Calc/ICalcAdd1; tr -d '\000' <"$f.res" 2>/dev/null || cat "$f.rc"; }
check "com: the second script names its datapool" bash -c "grep -aq 'DATAPOOL_CONFIG ICalc_Add1' <<<\"\$1\"" _ "$(script)"
check "com: ... and its fields" bash -c "grep -aq 'INCLUDE, q' <<<\"\$1\"" _ "$(script)"
check "com: the second datapool has its fields" test "$(fields "$s1" ICalc_Add1)" = "p,q,expectedReturn"

# A rerun of everything asks nothing and creates nothing.
"$zt" datapool list --store "$s1" >"$tmp/before"
for run in "generate $tmp/m.json ejb::ShopHome" "java-test $tmp/m.json a::C b::C" "java-test $tmp/other.json z::C"; do
  # shellcheck disable=SC2086
  gen "$s1" $run
  check "rerun of $run: no datapool created" test -z "$(logged)"
  check "rerun of $run: nothing asked" bash -c "! grep -q 'Question:' '$tmp/err'"
done
"$zt" datapool list --store "$s1" >"$tmp/after"
check "rerun: the datapools are as they were" diff -u "$tmp/before" "$tmp/after"

# A fresh store gives the same names for the same runs.
s2=$tmp/s2
gen "$s2" generate "$tmp/m.json" ejb::ShopHome
gen "$s2" java-test "$tmp/m.json" a::C b::C
gen "$s2" java-test "$tmp/other.json" z::C
gen "$s2" generate "$tmp/m.json" com::ICalc
"$zt" datapool list --store "$s2" | sed 's/;.*//' >"$tmp/fresh"
sed 's/;.*//' "$tmp/before" >"$tmp/first"
check "a fresh store: the same names" diff -u "$tmp/first" "$tmp/fresh"
finish datapool_names
