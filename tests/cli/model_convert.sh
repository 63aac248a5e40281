#!/usr/bin/env bash
# ztunittest model convert, and model show on XMI files, as a user runs them:
#   bash model_convert.sh <ztunittest> <source-dir>
# The models real tools wrote are those of tests/data/xmi-samples.
. "$2/tests/cli/lib/common.sh" "$@"
samples=$src/tests/data/xmi-samples

# Converts IN to JSON and checks that the document lists like the XMI file.
round_trip() {
  local in=$1 out=$tmp/$(basename "$1").json
  "$zt" model convert "$in" "$out" --language Java >"$tmp/stdout" 2>"$tmp/stderr" || return 1
  "$zt" model show "$in" --language Java >"$tmp/from-xmi.txt" 2>/dev/null || return 1
  "$zt" model show "$out" >"$tmp/from-json.txt" || return 1
  [ -s "$tmp/from-xmi.txt" ] && cmp -s "$tmp/from-xmi.txt" "$tmp/from-json.txt"
}

# A small COM model with a profile, from the project's own test data.
calc=$src/tests/data/xmi/calc-com.uml
check "calc round trip" round_trip "$calc"
check "calc summary" grep -qx "$tmp/calc-com.uml.json: 2 packages, 2 classes, 1 operations" "$tmp/stdout"
check "calc coclass" grep -q '"progid": "CalcLib.Calc"' "$tmp/calc-com.uml.json"
check "calc interface" grep -qx '      Class Calculator::Maths::ICalc «Interface» language COM' "$tmp/from-json.txt"

# Refusals: the input is never written over, a bad file writes nothing.
cp "$calc" "$tmp/in.uml"
"$zt" model convert "$tmp/in.uml" "$tmp/./in.uml" 2>"$tmp/stderr"
check "same file: exit 2" [ $? -eq 2 ]
check "same file: input kept" cmp -s "$calc" "$tmp/in.uml"
check "same file: message" grep -q "will not write over the input" "$tmp/stderr"
"$zt" model convert "$calc" "$tmp/missing/out.json" 2>"$tmp/stderr"
check "unwritable: exit 1" [ $? -eq 1 ]
printf '<?xml version="1.0"?>\n<xmi:XMI xmlns:xmi="http://www.omg.org/XMI">\n  <uml:Model name="x">\n</xmi:XMI>\n' >"$tmp/bad.xmi"
"$zt" model convert "$tmp/bad.xmi" "$tmp/bad.json" 2>"$tmp/stderr"
check "malformed: exit 2" [ $? -eq 2 ]
check "malformed: no output" [ ! -e "$tmp/bad.json" ]
check "malformed: position" grep -q "^ztunittest: $tmp/bad.xmi:4:3: malformed XML" "$tmp/stderr"

# The samples, also converted to stdout; what the reader makes of each one
# is checked by the reader's own tests.
for f in acceleo-uml2java.uml papyrus-car.uml ea-car-xmi21.xml; do
  check "$f round trip" round_trip "$samples/$f"
  "$zt" model convert "$samples/$f" --language Java >"$tmp/stdout.json" 2>/dev/null
  check "$f to stdout" cmp -s "$tmp/$f.json" "$tmp/stdout.json"
done
finish model_convert
