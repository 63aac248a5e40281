#!/usr/bin/env bash
# ztunittest generate on the COM example, end to end: a Visual Basic test
# project per operation, filled from the bundled template project, its
# resource script compiled by the bundled rc.exe (llvm-rc underneath), and the
# host log on stdout; an interface of two coclasses, the one chosen from the
# list; then runs whose resource compiler is missing, answered from the end
# of input and with No.
#   bash com_generate.sh PATH-TO-ZTUNITTEST SOURCE-DIR
. "$2/tests/cli/lib/common.sh" "$@"
rc=$(dirname "$zt")/rc.exe
unset ZTUNITTEST_USER
generate() {  # generate STORE [SELECTION]: status in $status, host log in $tmp/log, terminal in $tmp/err
  "$zt" generate "$src/examples/calc-com.json" --select "${2:-Maths::ICalc}" --store "$1" --user u \
    --templates "$src/templates" >"$tmp/log" 2>"$tmp/err"
  status=$?
}
log_has() { grep -qxF -- "$1" "$tmp/log"; }

need_llvm_rc
check "rc.exe is built beside ztunittest" test -x "$rc"

# With option 3 set to the bundled rc.exe: every project compiled.
store=$tmp/store
"$zt" options --store "$store" --resource-compiler "$rc" >/dev/null 2>"$tmp/err"
check "options sets the resource compiler" test $? -eq 0
generate "$store" </dev/null
check "generate exits 0" test "$status" -eq 0
root="$store/scripts/vb/"
project=${root}unittests/Maths/Calc
while IFS='|' read -r name call; do
  check "$name: project names its files" grep -q "^Class=$name; $name.cls"$'\r'"\$" "$project/$name.vbp"
  check "$name: project names its module" grep -q "^Module=${name}Main; ${name}Main.bas"$'\r'"\$" "$project/$name.vbp"
  check "$name: project names the .res" grep -q "^ResFile32=$name.res"$'\r'"\$" "$project/$name.vbp"
  check "$name: class module" grep -q "^Attribute VB_Name = \"$name\"" "$project/$name.cls"
  check "$name: the call" grep -qF "$call" "$project/$name.cls"
  check "$name: standard module" grep -q "^Attribute VB_Name = \"${name}Main\"" "$project/${name}Main.bas"
  check "$name: every tag filled" bash -c "! grep -E '<[a-z_]+>' '$project/$name.vbp' '$project/$name.cls' '$project/${name}Main.bas'"
  check "$name: compiled resources" test -s "$project/$name.res"
  check "$name: resource script deleted" test ! -e "$project/$name.rc"
  check "$name: log names the .res" log_has "    ${root}unittests\\Maths\\Calc\\$name.res"
  check "$name: log names the project" log_has "    ${root}unittests\\Maths\\Calc\\$name.vbp"
done <<'OPERATIONS'
ICalcAdd|actRet = target.Add(a, b)
ICalcReset|target.Reset
ICalcDivide|actRet = target.Divide(values, divisor)
OPERATIONS
check "log: source header of Add" log_has "[Verimos]--[Unit Test]: source created for Logical View::Maths::ICalc::Add:"
check "log: the class module of Add" log_has "    ${root}unittests\\Maths\\Calc\\ICalcAdd.cls"
check "log: no warning or error" bash -c "! grep -Ei 'WARNING|error' '$tmp/log'"
check "the project refers to the type library" \
  grep -q '^Reference=\*\\G{6F1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}#0.0#0#CalcLib.dll#Calculator 1.0 Type Library' \
  "$project/ICalcAdd.vbp"
check "the class creates the coclass" grep -q 'CreateObject("CalcLib.Calc")' "$project/ICalcAdd.cls"
check "the resources hold the datapool name" grep -qa 'I.C.a.l.c._.A.d.d' "$project/ICalcAdd.res"
check "the resources hold the datapool's fields" grep -qF 'INCLUDE, b, string, ""3"";' <(tr -d '\0' <"$project/ICalcAdd.res")

# IFormatter has two coclasses: the first one is chosen from the list.
generate "$store" Maths::IFormatter <<<1
project=${root}unittests/Maths/PlainFormatter
check "two coclasses: generate exits 0" test "$status" -eq 0
check "two coclasses: the list was shown" grep -q 'FancyFormatter' "$tmp/err"
check "two coclasses: the call" grep -qF 'actRet = target.Format(value)' "$project/IFormatterFormat.cls"
check "two coclasses: compiled" test -s "$project/IFormatterFormat.res"

# Without setting option 3: the rc.exe beside the program is the default.
generate "$tmp/default" </dev/null
check "default compiler: generate exits 0" test "$status" -eq 0
check "default compiler: compiled" test -s "$tmp/default/scripts/vb/unittests/Maths/Calc/ICalcAdd.res"

# Option 3 names a file that is gone, and nothing answers: the questions take
# their defaults, the run goes on without .res files and warns at the end.
store=$tmp/norc
gone_compiler "$store"
generate "$store" </dev/null
project=$store/scripts/vb/unittests/Maths/Calc
check "no compiler: generate exits 0" test "$status" -eq 0
check "no compiler: asked for a compiler" grep -q 'Please specify a resource compiler' "$tmp/err"
check "no compiler: the question was shown" grep -q 'Resource compiler not found' "$tmp/err"
check "no compiler: the script stays" test -s "$project/ICalcAdd.rc"
check "no compiler: no .res" test ! -e "$project/ICalcAdd.res"
check "no compiler: the project is written" test -s "$project/ICalcAdd.vbp"
check "no compiler: log names the script" log_has "    $store/scripts/vb/unittests\\Maths\\Calc\\ICalcAdd.rc"
check "no compiler: the warning ends the log" test "$(tail -n 1 "$tmp/log")" = \
  "[Verimos]--[Unit Test]: WARNING... no resource (.RES) file generated. To create a .RES file, locate a valid resource compiler (rc.exe) and run it manually ie. rc.exe <Test.rc>."

# The same, with the option left as it is and the question answered No:
# nothing is generated, and the run ends short.
store=$tmp/norc-no
gone_compiler "$store"
generate "$store" < <(printf -- '-\nn\n')
check "answered no: generate exits 1" test "$status" -eq 1
check "answered no: nothing generated" test -z "$(find "$store/scripts" -type f 2>/dev/null)"

if [ "$fail" -ne 0 ]; then
  echo "--- host log of the last run"; cat "$tmp/log"
  echo "--- terminal of the last run"; cat "$tmp/err"
fi
finish com_generate
