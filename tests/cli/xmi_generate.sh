#!/usr/bin/env bash
# Models that real UML tools wrote: a generation run over one package of each
# sample produces tests.
. "$2/tests/cli/lib/common.sh" "$@"
samples="$src/../shared/xmi-samples"
if [ ! -d "$samples" ]; then
  echo "SKIPPED: $samples is not there; the XMI samples were not tried"
  exit 77
fi
while IFS='|' read -r file package expected; do
  store="$tmp/$file.store"
  "$zt" java-test "$samples/$file" --language Java --select "$package" --store "$store" --user u \
    </dev/null >"$tmp/$file.log" 2>"$tmp/$file.err"
  check "$file: $expected tests" test "$(find "$store/scripts/java" -name '*.java' 2>/dev/null | wc -l)" -eq "$expected"
done <<'LIST'
acceleo-uml2java.uml|org::eclipse::acceleo::examples::umltojava::model|3
papyrus-car.uml|eclipse-papyrus-car-model-with-sequence|5
ea-car-xmi21.xml|Starter Class Diagram|2
LIST
finish xmi_generate
