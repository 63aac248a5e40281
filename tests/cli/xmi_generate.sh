#!/usr/bin/env bash
# Models that real UML tools wrote: a generation run over one package of each
# sample produces tests, and `model convert` writes a document to stdout that
# loads back as the same model.
set -u
zt=$1
src=$2
samples="$src/../shared/xmi-samples"
if [ ! -d "$samples" ]; then
  echo "SKIPPED: $samples is not there; the XMI samples were not tried"
  exit 0
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
export LANG=C

while IFS='|' read -r file package expected; do
  store="$tmp/$file.store"
  "$zt" java-test "$samples/$file" --language Java --select "$package" --store "$store" --user u \
    </dev/null >"$tmp/$file.log" 2>"$tmp/$file.err"
  produced=$(find "$store/scripts/java" -name '*.java' 2>/dev/null | wc -l)
  if [ "$produced" -ne "$expected" ]; then
    echo "FAIL: $file: $produced tests, expected $expected"
    cat "$tmp/$file.err"
    fail=1
  fi
  "$zt" model convert "$samples/$file" --language Java >"$tmp/$file.json" 2>/dev/null
  "$zt" model show "$samples/$file" --language Java >"$tmp/$file.show1" 2>/dev/null
  "$zt" model show "$tmp/$file.json" >"$tmp/$file.show2" 2>/dev/null
  if ! diff -q "$tmp/$file.show1" "$tmp/$file.show2" >/dev/null; then
    echo "FAIL: $file: the converted document shows another model"
    fail=1
  fi
done <<'LIST'
acceleo-uml2java.uml|org::eclipse::acceleo::examples::umltojava::model|3
papyrus-car.uml|eclipse-papyrus-car-model-with-sequence|5
ea-car-xmi21.xml|Starter Class Diagram|2
LIST

exit $fail
