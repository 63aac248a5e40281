#!/usr/bin/env bash
# ztunittest model convert, and model show on XMI files, as a user runs them:
#   bash model_convert.sh <ztunittest> <source-dir>
# The models real tools wrote are taken from ../shared/xmi-samples beside the
# source folder; without that folder those checks are skipped, visibly.
set -uo pipefail
zt=$1
src=$2
samples=$src/../shared/xmi-samples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {  # check NAME COMMAND...: the command must succeed
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "FAILED: $name" >&2
    failed=$((failed + 1))
  fi
}

# Converts IN to JSON and checks that the document lists like the XMI file.
round_trip() {
  local in=$1 out=$work/$(basename "$1").json
  "$zt" model convert "$in" "$out" --language Java >"$work/stdout" 2>"$work/stderr" || return 1
  "$zt" model show "$in" --language Java >"$work/from-xmi.txt" 2>/dev/null || return 1
  "$zt" model show "$out" >"$work/from-json.txt" || return 1
  [ -s "$work/from-xmi.txt" ] && cmp -s "$work/from-xmi.txt" "$work/from-json.txt"
}

# A small COM model with a profile, from the project's own test data.
calc=$src/tests/data/xmi/calc-com.uml
check "calc round trip" round_trip "$calc"
check "calc summary" grep -qx "$work/calc-com.uml.json: 2 packages, 2 classes, 1 operations" "$work/stdout"
check "calc coclass" grep -q '"progid": "CalcLib.Calc"' "$work/calc-com.uml.json"
check "calc interface" grep -qx '      Class Calculator::Maths::ICalc «Interface» language COM' "$work/from-json.txt"

# Refusals: the input is never written over, a bad file writes nothing.
cp "$calc" "$work/in.uml"
"$zt" model convert "$work/in.uml" "$work/./in.uml" 2>"$work/stderr"
check "same file: exit 2" [ $? -eq 2 ]
check "same file: input kept" cmp -s "$calc" "$work/in.uml"
check "same file: message" grep -q "will not write over the input" "$work/stderr"
"$zt" model convert "$calc" "$work/missing/out.json" 2>"$work/stderr"
check "unwritable: exit 1" [ $? -eq 1 ]
printf '<?xml version="1.0"?>\n<xmi:XMI xmlns:xmi="http://www.omg.org/XMI">\n  <uml:Model name="x">\n</xmi:XMI>\n' >"$work/bad.xmi"
"$zt" model convert "$work/bad.xmi" "$work/bad.json" 2>"$work/stderr"
check "malformed: exit 2" [ $? -eq 2 ]
check "malformed: no output" [ ! -e "$work/bad.json" ]
check "malformed: position" grep -q "^ztunittest: $work/bad.xmi:4:3: malformed XML" "$work/stderr"
printf '<XMI xmi.version="1.1"><XMI.content/></XMI>\n' >"$work/old.xmi"
"$zt" model show "$work/old.xmi" 2>"$work/stderr"
check "XMI 1.x: exit 2" [ $? -eq 2 ]
check "XMI 1.x: message" grep -q "XMI 1.x file" "$work/stderr"

if [ -d "$samples" ]; then
  for f in acceleo-uml2java.uml papyrus-car.uml ea-car-xmi21.xml; do
    check "$f round trip" round_trip "$samples/$f"
  done
  "$zt" model show "$samples/ea-car-xmi21.xml" >"$work/ea.txt" 2>"$work/stderr"
  check "EA duplicate warning" grep -q 'ea-car-xmi21.xml:18:4: warning: .* already has a class named "Car"; .* is read as "Car_2"' "$work/stderr"
  check "EA language" grep -qx '      Class EA_Model::Starter Class Diagram::Car_2 language Java' "$work/ea.txt"
  check "Papyrus abstract class" grep -q 'Class eclipse-papyrus-car-model-with-sequence::Person abstract' \
    <("$zt" model show "$samples/papyrus-car.uml" 2>/dev/null)
else
  echo "SKIPPED: no XMI samples at $samples; the checks of real tools' files did not run"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
