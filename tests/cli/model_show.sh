#!/usr/bin/env bash
# ztunittest model show: the listing of each example, the exact listing of
# one, and one error line with exit status 2 for documents that cannot be used.
#   bash model_show.sh PATH-TO-ZTUNITTEST SOURCE-DIR
set -u
exe=$1
src=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
passed=0
failed=0
check() {  # check NAME CONDITION...
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
  fi
}

for example in bank-ejb calc-com shapes-java; do
  "$exe" model show "$src/examples/$example.json" >"$tmp/$example.out" 2>"$tmp/$example.err"
  status=$?
  check "$example exits 0" test "$status" -eq 0
  check "$example prints nothing on stderr" test ! -s "$tmp/$example.err"
  check "$example starts with the model line" grep -q '^Model ' "$tmp/$example.out"
done
check "calc-com lists the coclass's component" grep -q '^      Class Logical View::Maths::Calc «coclass» language COM$' "$tmp/calc-com.out"
check "shapes-java marks the abstract class" grep -q 'Class Logical View::geometry::Shape language Java abstract$' "$tmp/shapes-java.out"
if ! diff -u "$src/tests/data/bank-ejb.listing.txt" "$tmp/bank-ejb.out"; then
  check "bank-ejb listing matches tests/data/bank-ejb.listing.txt" false
else
  check "bank-ejb listing" true
fi

# A broken document: one line on stderr, nothing on stdout, exit 2.
printf '{\n  "model": "X",\n  "classes": [ { "name": "A", "abstract": "yes" } ]\n}\n' >"$tmp/broken.json"
"$exe" model show "$tmp/broken.json" >"$tmp/broken.out" 2>"$tmp/broken.err"
status=$?
check "broken document exits 2" test "$status" -eq 2
check "broken document prints nothing on stdout" test ! -s "$tmp/broken.out"
check "broken document gives one error line" test "$(wc -l <"$tmp/broken.err")" -eq 1
expected="ztunittest: $tmp/broken.json:3:43: expected true or false for \"abstract\", found a string"
check "broken document names file, line, column and fault" test "$(cat "$tmp/broken.err")" = "$expected"

# A dangling relation and a file that does not exist are refused the same way.
printf '{"classes": [{"name": "A", "inherits": ["Nowhere"]}]}' >"$tmp/dangling.json"
"$exe" model show "$tmp/dangling.json" >/dev/null 2>"$tmp/dangling.err"
status=$?
check "dangling relation exits 2" test "$status" -eq 2
check "dangling relation is one error line" grep -qx "ztunittest: $tmp/dangling.json:1:41: no class \"Nowhere\".*" "$tmp/dangling.err"
"$exe" model show "$tmp/missing.json" >/dev/null 2>"$tmp/missing.err"
status=$?
check "missing file exits 2" test "$status" -eq 2
check "missing file is one error line" test "$(wc -l <"$tmp/missing.err")" -eq 1

echo "$passed passed, $failed failed"
test "$failed" -eq 0
