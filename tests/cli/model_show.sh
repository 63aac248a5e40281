#!/usr/bin/env bash
# ztunittest model show: the listing of each example, the exact listing of
# one, and one error line with exit status 2 for documents that cannot be used.
#   bash model_show.sh PATH-TO-ZTUNITTEST SOURCE-DIR
. "$2/tests/cli/lib/common.sh" "$@"

for example in bank-ejb calc-com shapes-java; do
  "$zt" model show "$src/examples/$example.json" >"$tmp/$example.out" 2>"$tmp/$example.err"
  check "$example exits 0" test $? -eq 0
  check "$example prints nothing on stderr" test ! -s "$tmp/$example.err"
done
check "calc-com lists the coclass" grep -qx '      Class Logical View::Maths::Calc «coclass» language COM' "$tmp/calc-com.out"
check "shapes-java marks the abstract class" grep -q 'Class Logical View::geometry::Shape language Java abstract$' \
  "$tmp/shapes-java.out"
check "bank-ejb listing matches tests/data/bank-ejb.listing.txt" diff -u "$src/tests/data/bank-ejb.listing.txt" \
  "$tmp/bank-ejb.out"

# A broken document and a missing file: one line on stderr, nothing on stdout, exit 2.
printf '{\n  "model": "X",\n  "classes": [ { "name": "A", "abstract": "yes" } ]\n}\n' >"$tmp/broken.json"
"$zt" model show "$tmp/broken.json" >"$tmp/broken.out" 2>"$tmp/broken.err"
check "broken document exits 2" test $? -eq 2
check "broken document prints nothing on stdout" test ! -s "$tmp/broken.out"
check "broken document names file, line, column and fault" test "$(cat "$tmp/broken.err")" = \
  "ztunittest: $tmp/broken.json:3:43: expected true or false for \"abstract\", found a string"
"$zt" model show "$tmp/missing.json" >/dev/null 2>"$tmp/missing.err"
check "missing file exits 2" test $? -eq 2
check "missing file is one error line" test "$(wc -l <"$tmp/missing.err")" -eq 1
finish model_show
