#!/usr/bin/env bash
# What the generators write, byte for byte: every file of the script trees,
# every datapool and the host log of a few whole runs, against the listing
# checked in as tests/data/digest/expected.txt. Work that makes a run faster
# must leave this listing as it is; a change of the output itself updates it:
#   ZT_WRITE_DIGEST=1 bash tests/cli/output_digest.sh build/bin/ztunittest .
# The runs: the synthesized EJB model tests/data/digest/ejb-100.json (100
# operations that get a test, made by zt_bench's synthesizer with seed 1,
# names by convention and by tool properties), the bundled EJB example, the
# COM example (its resource scripts compiled by the bundled rc.exe, one
# interface whose coclass is not chosen) and java-test on the Java example.
# The date is fixed (SOURCE_DATE_EPOCH, common.sh); the times a datapool
# keeps are left out.
. "$2/tests/cli/lib/common.sh" "$@"
rc=$(dirname "$zt")/rc.exe
expected=$src/tests/data/digest/expected.txt
if [ -z "${ZTUNITTEST_LLVM_RC:-}" ] && ! command -v llvm-rc >/dev/null && ! command -v llvm-rc-14 >/dev/null; then
  echo "SKIPPED: llvm-rc is not installed (Debian package llvm); the COM projects cannot be compiled"
  exit 77
fi

listing=$tmp/listing
: >"$listing"
# digest NAME STORE LOG: the files, datapools and log of one run, in a fixed order.
digest() {
  local name=$1 store=$2 log=$3
  (cd "$store/scripts" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum) |
    sed "s|^|$name file |" >>"$listing"
  "$zt" datapool list --store "$store" >"$tmp/pools" 2>&1
  echo "$name datapools $(sha256sum <"$tmp/pools" | cut -c1-64)" >>"$listing"
  "$zt" datapool list --store "$store" 2>/dev/null | sed -n 's/^  \([^ ]*\) (fields: .*/\1/p' | while read -r pool; do
    "$zt" datapool show "$pool" --store "$store" 2>&1 | grep -v -e '^  created: ' -e '^  updated: ' >"$tmp/pool"
    echo "$name datapool $(sha256sum <"$tmp/pool" | cut -c1-64) $pool" >>"$listing"
  done
  echo "$name log $(sed "s|$store|STORE|g" "$log" | sha256sum | cut -c1-64)" >>"$listing"
}

"$zt" generate "$src/tests/data/digest/ejb-100.json" --select bench::p000 --store "$tmp/s1" --user digest \
  --templates "$src/templates" </dev/null >"$tmp/log1" 2>/dev/null
check "synthesized model: every operation a generator takes gets a test (status $?)" test $? -eq 0
digest synthesized "$tmp/s1" "$tmp/log1"

"$zt" generate "$src/examples/bank-ejb.json" --select bank::core --store "$tmp/s2" --user digest \
  --templates "$src/templates" </dev/null >"$tmp/log2" 2>/dev/null
digest bank "$tmp/s2" "$tmp/log2"

"$zt" options --store "$tmp/s3" --resource-compiler "$rc" >/dev/null 2>&1
"$zt" generate "$src/examples/calc-com.json" --select Maths --store "$tmp/s3" --user digest \
  --templates "$src/templates" </dev/null >"$tmp/log3" 2>/dev/null
digest calc "$tmp/s3" "$tmp/log3"

"$zt" java-test "$src/examples/shapes-java.json" --select geometry --select ShapesDemo --store "$tmp/s4" \
  --user digest --templates "$src/templates" </dev/null >"$tmp/log4" 2>/dev/null
digest shapes "$tmp/s4" "$tmp/log4"

check "every run wrote something" test "$(grep -c ' file ' "$listing")" -ge 120
if [ -n "${ZT_WRITE_DIGEST:-}" ]; then
  cp "$listing" "$expected"
  echo "written to $expected"
fi
check "the output is what it was (diff: expected, then now)" diff -u "$expected" "$listing"
finish output_digest
