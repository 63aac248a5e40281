#!/usr/bin/env bash
# Models that real UML tools wrote: a generation run over one package of each
# sample produces tests; converted to a model document and generated with the
# standalone and with the JUnit 5 template, every test compiles with javac
# against the runtime and classes of the model's own signatures (written by
# tests/java-runtime/SkeletonWriter.java): the bundled templates read every
# type, so none holds a placeholder.
. "$2/tests/cli/lib/common.sh" "$@"
samples="$src/tests/data/xmi-samples"
need javac default-jdk-headless
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

classpath=$("$zt" java-classpath --junit5)
check "java-classpath --junit5 exits 0" test $? -eq 0
javac -d "$tmp/tools" "$src/tests/java-runtime/SkeletonWriter.java"
while IFS='|' read -r file package compiled; do
  model="$tmp/$file.json"
  "$zt" model convert "$samples/$file" "$model" --language Java >/dev/null 2>&1
  "$zt" model show "$model" | java -cp "$tmp/tools" SkeletonWriter "$tmp/$file.model"
  check "$file: skeleton classes written" test $? -eq 0
  for variant in standalone junit5; do
    store="$tmp/$file.$variant"
    option=()
    [ "$variant" = junit5 ] && option=(--junit5)
    "$zt" java-test "$model" --select "$package" "${option[@]}" --store "$store" --user u </dev/null >/dev/null 2>&1
    mapfile -t tests < <(grep -rL 'Provide initialization code here' "$store/scripts/java" --include='*.java')
    check "$file ($variant): $compiled tests to compile" test "${#tests[@]}" -eq "$compiled"
    javac -nowarn -encoding UTF-8 -cp "$classpath" -d "$tmp/$file.$variant.classes" \
      $(find "$tmp/$file.model" -name '*.java') "${tests[@]}" >"$tmp/javac.out" 2>&1
    check "$file ($variant): the tests compile" test $? -eq 0
    [ "$fail" -eq 0 ] || cat "$tmp/javac.out"
  done
done <<'LIST'
acceleo-uml2java.uml|org::eclipse::acceleo::examples::umltojava::model|3
papyrus-car.uml|eclipse-papyrus-car-model-with-sequence|5
ea-car-xmi21.xml|Starter Class Diagram|2
LIST
finish xmi_generate
