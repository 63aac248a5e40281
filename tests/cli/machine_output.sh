#!/usr/bin/env bash
# What scripts read and what the docs promise: every --json output parsed by
# jq and checked; a template entry that changes one value of a hand-formatted
# model document and no other byte; the option names of --help against the
# README's table; the man page and what `cmake --install` puts where.
. "$2/tests/cli/lib/common.sh" "$@"
command -v jq >/dev/null || { echo "FAIL: jq is not installed (bootstrap.sh installs it)"; exit 1; }
bank=$src/examples/bank-ejb.json
build=$(dirname "$(dirname "$zt")")
export ZTUNITTEST_USER=tester
json() {  # json NAME FILTER COMMAND...: the command's stdout is JSON for which FILTER is true
  local name=$1 filter=$2
  shift 2
  "$zt" "$@" >"$tmp/out.json" 2>"$tmp/err"
  check "$name exits 0" test $? -eq 0
  check "$name: $filter" test "$(jq -e "$filter" "$tmp/out.json" 2>&1)" = true
}

# -- --json ---------------------------------------------------------------------
store=$tmp/store
"$zt" generate "$bank" --select bank::core::Account --store "$store" </dev/null >/dev/null 2>&1
json "menu --json" '.entries | length == 10 and (map(select(.itemType == 4))[0] | .entry == "GENERATE_UNITTEST_CLASS"
  and .enabled and .caption == "Generate &Unit Test") and (map(select(.itemType == 2))[0].enabled | not)' \
  menu "$bank" --select bank::core::Account --json
json "params --json" '.operations[0] | .generator == "ejb" and .tags[0].tag == "<generation_date>" and
  (.tags | map(select(.tag == "<test_name>"))[0].value) == "Accountdeposit"' \
  params "$bank" --operation bank::core::Account::deposit --json
json "params --json of overloads" '.operations | length == 2' \
  params "$bank" --operation bank::core::AccountHome::create --json
json "datapool list --json" '.exists and (.datapools | length == 4) and
  (.datapools | map(select(.name == "Account_deposit"))[0] | .fields == [{"name": "amount", "type": "double"}] and .rows == 1)' \
  datapool list --store "$store" --json
json "datapool list --json without a store" '.exists == false and .datapools == []' \
  datapool list --store "$tmp/none" --json
json "datapool show --json" '.name == "Account_deposit" and .user == "tester" and .rows == [["100.0"]] and
  (keys_unsorted == ["name", "description", "created", "updated", "user", "fields", "rows"])' \
  datapool show Account_deposit --store "$store" --json
printf '#!/bin/sh\n' >"$tmp/rc.exe" && chmod +x "$tmp/rc.exe"
"$zt" options --store "$store" --resource-compiler "$tmp/rc.exe" >/dev/null 2>&1
json "options --json" ".options == [{\"name\": \"resourceCompiler\", \"option\": 3, \"value\": \"$tmp/rc.exe\",
  \"inEffect\": \"$tmp/rc.exe\"}, {\"name\": \"resourceCompilerOptions\", \"option\": 4, \"value\": null,
  \"inEffect\": null}, {\"name\": \"classPath\", \"option\": 5, \"value\": null, \"inEffect\": null}]" \
  options --store "$store" --json
json "model show --json" '.kind == "Model" and (.root.packages[] | select(.name == "bank") | .packages[0].classes[0]
  | .qualifiedName == "Logical View::bank::core::Account" and .stereotype == "EJBRemoteInterface" and
  (.operations | map(.name) | index("deposit")) != null and
  (.operations[] | select(.name == "deposit") | .parameters[0] | .name == "amount" and .type == "double"))' \
  model show "$bank" --json
# The whole model: as many operations as the text listing shows.
"$zt" model show "$bank" >"$tmp/listing"
check "model show --json holds every operation of the listing" test \
  "$(jq '[.. | objects | select(.kind == "Operation")] | length' "$tmp/out.json")" -eq "$(grep -c '^ *Operation ' "$tmp/listing")"

# -- A template choice changes one value of a hand-formatted document ------------
doc=$tmp/hand.json
cat >"$doc" <<'EOF'
{
    "model" : "Hand",   "root": "Logical View",
    "packages": [
        { "name": "p", "classes": [
            { "name": "C", "stereotype": "EJBRemoteInterface", "language": "Java",
              "operations": [
                  { "name": "op", "returnType": "caf\u00e9" },
                  { "name": "other" }
              ] }
        ] }
    ]
}
EOF
cp "$doc" "$tmp/hand.before"
"$zt" invoke "$doc" --entry SELECT_UNIT_TEST_OPERATION --select p::C::op \
  --file "$src/templates/Unit Test Templates/EJB/Websphere/Business Methods/websphere_remote.template" \
  --answer template-scope=operation </dev/null >/dev/null 2>"$tmp/err"
check "the template entry exits 0 (status $?)" test $? -eq 0
value='$PWTTEMPLATES\\\\Unit Test Templates\\\\EJB\\\\Websphere\\\\Business Methods\\\\websphere_remote.template'
sed "s|{ \"name\": \"op\", \"returnType\": \"caf\\\\u00e9\" }|{ \"name\": \"op\", \"returnType\": \"caf\\\\u00e9\", \"properties\": { \"Templates\": { \"EJBBusinessTemplate\": \"$value\" } } }|" \
  "$tmp/hand.before" >"$tmp/hand.expected"
check "only the operation's line changed, with the value below \$PWTTEMPLATES" diff -u "$tmp/hand.expected" "$doc"
check "stderr names the file that changed" grep -q "^$doc: the template property EJBBusinessTemplate of" "$tmp/err"
# A second choice replaces the value in place.
"$zt" invoke "$doc" --entry SELECT_UNIT_TEST_OPERATION --select p::C::op --file "$tmp/rc.exe" \
  --answer template-scope=operation </dev/null >/dev/null 2>&1
sed "s|{ \"name\": \"op\", \"returnType\": \"caf\\\\u00e9\" }|{ \"name\": \"op\", \"returnType\": \"caf\\\\u00e9\", \"properties\": { \"Templates\": { \"EJBBusinessTemplate\": \"$tmp/rc.exe\" } } }|" \
  "$tmp/hand.before" >"$tmp/hand.expected"
check "a second choice replaces the value, an absolute path outside the templates" diff -u "$tmp/hand.expected" "$doc"
# A model kept elsewhere and linked in: the choice goes into the document the
# link leads to, which keeps its permissions; the link stays.
mkdir "$tmp/kept"
cp "$tmp/hand.before" "$tmp/kept/model.json"
chmod 600 "$tmp/kept/model.json"
ln -s kept/model.json "$tmp/linked.json"
"$zt" invoke "$tmp/linked.json" --entry SELECT_UNIT_TEST_OPERATION --select p::C::op --file "$tmp/rc.exe" \
  --answer template-scope=operation </dev/null >/dev/null 2>&1
check "a linked model: the entry exits 0 (status $?)" test $? -eq 0
check "a linked model: the link stays" test -L "$tmp/linked.json"
check "a linked model: the document it leads to has the choice" diff -u "$tmp/hand.expected" "$tmp/kept/model.json"
check "a linked model: its permissions are kept" test "$(stat -c %a "$tmp/kept/model.json")" = 600
# A template path with a quote: a run takes quotes out of template paths and
# would not find it, so the entry refuses it rather than saving it.
cp "$tmp/rc.exe" "$tmp/my\"template.template"
cp "$tmp/hand.expected" "$tmp/quoted.json"
"$zt" invoke "$tmp/quoted.json" --entry SELECT_UNIT_TEST_OPERATION --select p::C::op \
  --file "$tmp/my\"template.template" --answer template-scope=operation </dev/null >/dev/null 2>"$tmp/err"
check "a template path with a quote: the entry exits 2 (status $?)" test $? -eq 2
check "a template path with a quote: it says why" grep -q 'holds a quote (")' "$tmp/err"
"$zt" invoke "$tmp/quoted.json" --entry SELECT_UNIT_TEST_OPERATION --select p::C::op \
  --answer "template-file=$tmp/my\"template.template" --answer template-scope=operation </dev/null >/dev/null 2>"$tmp/err"
check "a template path with a quote answered: nothing is chosen (status $?)" test $? -eq 130
check "a template path with a quote: the model is unchanged" cmp -s "$tmp/hand.expected" "$tmp/quoted.json"
# A document that may not be written (even by root: it has no write bit at
# all) is refused, as it is; one with a second hard link is changed in the
# file itself, so both names see the choice.
cp "$tmp/hand.before" "$tmp/readonly.json"
chmod 444 "$tmp/readonly.json"
"$zt" invoke "$tmp/readonly.json" --entry SELECT_UNIT_TEST_OPERATION --select p::C::op --file "$tmp/rc.exe" \
  --answer template-scope=operation </dev/null >/dev/null 2>"$tmp/err"
check "a read-only model: the entry exits 1 (status $?)" test $? -eq 1
check "a read-only model: it says why" grep -q "readonly.json (Permission denied)" "$tmp/err"
check "a read-only model: it stays as it was" cmp -s "$tmp/hand.before" "$tmp/readonly.json"
ln "$tmp/kept/model.json" "$tmp/hardlink.json"
cp "$tmp/hand.before" "$tmp/kept/model.json"
inode=$(stat -c %i "$tmp/kept/model.json")
"$zt" invoke "$tmp/linked.json" --entry SELECT_UNIT_TEST_OPERATION --select p::C::op --file "$tmp/rc.exe" \
  --answer template-scope=operation </dev/null >/dev/null 2>&1
check "a hard-linked model: the other name sees the choice" diff -u "$tmp/hand.expected" "$tmp/hardlink.json"
check "a hard-linked model: the file is the same" test "$(stat -c %i "$tmp/kept/model.json")" = "$inode"

# -- --help, the README and the man page agree --------------------------------------
# The option names of every command's --help...
helps() {
  "$zt" "$@" --help
  for sub in $("$zt" "$@" --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } /^$/ { on = 0 }'); do
    helps "$@" "$sub"
  done
}
helps | grep -oE '^  (-[a-z],)?--[a-z0-9-]+' | sed 's/^ *\(-[a-z],\)\?//' | sort -u >"$tmp/help-options"
# ...and those of the README's table of options.
sed -n '/^| option | commands | what it does |/,/^$/p' "$src/README.md" | grep -oE '^\| `--[a-z0-9-]+' |
  sed 's/^| `//' | sort -u >"$tmp/readme-options"
check "the README's table has options" test -s "$tmp/readme-options"
check "--help and the README's table name the same options" diff -u "$tmp/help-options" "$tmp/readme-options"
# The README's keys of --answer are those of --help.
"$zt" generate --help | sed -n '/^Answers given in advance/,$p' | grep -oE '^  [a-z-]+=' | tr -d ' =' | sort >"$tmp/help-keys"
sed -n '/^| key | the question | values |/,/^$/p' "$src/README.md" | grep -oE '^\| `[a-z-]+`' | tr -d '|` ' | sort >"$tmp/readme-keys"
check "--help and the README name the same --answer keys" diff -u "$tmp/help-keys" "$tmp/readme-keys"

man=$build/man/ztunittest.1
check "the man page is built" test -s "$man"
commands=$(helps | grep -E '^Usage: ztunittest [a-z]' | grep -vc SUBCOMMAND)
check "the man page has every command's help ($commands)" test "$(grep -c '^\.B ztunittest ' "$man")" -eq "$commands"
check "the man page lists the --answer keys" grep -q 'template-scope=operation|model|cancel' "$man"

# -- cmake --install -----------------------------------------------------------------
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
check "installed: the program" test -x "$prefix/bin/ztunittest"
check "installed: rc.exe beside it" test -x "$prefix/bin/rc.exe"
lib=$(dirname "$(find "$prefix" -name libztunittest.so | head -1)")
check "installed: the add-in and its satellite side by side" test -f "$lib/libztunittest.so" -a -f "$lib/libztunittestDEU.so"
check "installed: the man page" test -s "$prefix/share/man/man1/ztunittest.1"
check "installed: the examples" test -f "$prefix/share/ztunittest/examples/bank-ejb.json"
check "installed: the program finds the installed runtime" \
  test "$("$prefix/bin/ztunittest" java-classpath)" = "$prefix/share/ztunittest/java/ztunittest-runtime.jar"
# A folder whose name holds ":" (the separator of a class path) cannot hold
# the jar of a class path: java-classpath says so and fails.
mv "$prefix" "$tmp/pre:fix"
"$tmp/pre:fix/bin/ztunittest" java-classpath >"$tmp/out" 2>"$tmp/err"
check "installed below a ':': java-classpath fails (status $?)" test $? -eq 1
check "installed below a ':': saying why" grep -q "pre:fix/share/ztunittest/java/ztunittest-runtime.jar holds a \":\"" "$tmp/err"
mv "$tmp/pre:fix" "$prefix"
env -u PWTTEMPLATES "$prefix/bin/ztunittest" generate "$prefix/share/ztunittest/examples/bank-ejb.json" \
  --select bank::core::Account --store "$tmp/installed" </dev/null >"$tmp/log" 2>&1
check "the installed program generates with the installed templates" \
  test "$(find "$tmp/installed/scripts/java" -name '*.java' | wc -l)" -eq 4
finish machine_output
