#!/usr/bin/env bash
# The catalogue of hostile input, through the whole program: model files,
# templates (a copy of the bundled templates with one file replaced, given
# with --templates), selections, tool options, store folders, and model names
# that would put a test outside the store. Every case checks the exit status
# (no crash: a crash or a cancel is never the status a case expects), that
# the run said exactly one thing beyond its usual lines (or nothing, for
# input it takes), and what must not change: for a refusal the whole store,
# byte for byte; where the run legitimately writes, the files it writes.
# Cases that need chattr or mount say SKIP when the machine does not allow
# them (the tests run as root, where permission bits do not stop writes).
. "$2/tests/cli/lib/common.sh" "$@"
need sqlite3 sqlite3
need_llvm_rc
mounted=()
cleanup() {
  chattr -R -i "$tmp" 2>/dev/null
  for m in "${mounted[@]}"; do umount "$m" 2>/dev/null; done
  rm -rf "$tmp"
}
trap cleanup EXIT
cases=0
skipped=0
export ZTUNITTEST_USER=tester

bank=$src/examples/bank-ejb.json
deposit=bank::core::Account::deposit
store=$tmp/store

# Every file and folder below $1 with the files' checksums.
sums() {
  if [ -e "$1" ]; then (cd "$1" && find . -type f -exec md5sum {} + | sort -k2 && find . | sort); else echo "(absent)"; fi
}

# What a run says beyond its usual lines: stderr without the datapool
# question and the closing texts, and the host log's lines other than what
# it stored and the add-in's word on a login that could not be made (the
# exit status tells that apart).
usual_err='^(Question: Would you like to edit created datapool|Finished code generation, |Check Tessel log for details\.|Unit test canceled:|0 scripts was generated\.)'
log_line='^\[Verimos\]--\[Unit Test\]: '
usual_log='^\[Verimos\]--\[Unit Test\]: (source created for |datapool created:|User canceled code generation from the login dialog\.$)'

# run CASE STATUS MESSAGE COMMAND...: runs COMMAND without input and checks
# its exit status and that it said one thing matching the extended regex
# MESSAGE (nothing, when MESSAGE is empty). Its standard output goes to
# $out when that is set (the host log is then not looked at).
run() {
  local name=$1 want=$2 message=$3
  shift 3
  cases=$((cases + 1))
  "$@" </dev/null >"${out:-$tmp/out}" 2>"$tmp/err"
  local status=$?
  [ -n "${out:-}" ] && : >"$tmp/out"
  { grep -Ev "$usual_err" "$tmp/err"; grep -E "$log_line" "$tmp/out" | grep -Ev "$usual_log"; } >"$tmp/said"
  if [ "$status" -ne "$want" ]; then
    echo "FAIL: $name: exit status $status, expected $want"
    fail=1
  fi
  if [ -z "$message" ]; then
    if [ -s "$tmp/said" ]; then
      echo "FAIL: $name: expected no message, got:"
      cat "$tmp/said"
      fail=1
    fi
  elif [ "$(wc -l <"$tmp/said")" -ne 1 ] || ! grep -Eq -- "$message" "$tmp/said"; then
    echo "FAIL: $name: expected one message like /$message/, got:"
    cat "$tmp/said"
    fail=1
  fi
}

# same CASE WHAT BEFORE AFTER: two listings must be equal.
same() {
  if ! diff -u "$3" "$4" >"$tmp/diff"; then
    echo "FAIL: $1: $2 changed"
    head -20 "$tmp/diff"
    fail=1
  fi
}

# A store made by a generation of Account and AccountHome, with a resource
# compiler set; each case that must leave a store alone gets a copy.
"$zt" generate "$bank" --select bank::core::Account --select bank::core::AccountHome --store "$tmp/base" \
  >/dev/null 2>&1 </dev/null
# A resource compiler a run would take: executable, ".exe" in its name.
mkdir -p "$tmp/bin" && cp /bin/true "$tmp/bin/rc.exe"
"$zt" options --store "$tmp/base" --resource-compiler "$tmp/bin/rc.exe" >/dev/null 2>&1
fresh_copy() { rm -rf "$store" && cp -a "$tmp/base" "$store" && sums "$store" >"$tmp/before"; }
# refused CASE STATUS MESSAGE COMMAND...: a run on a copy of the store that
# must leave it as it was.
refused() {
  local name=$1
  fresh_copy
  run "$@"
  sums "$store" >"$tmp/after"
  same "$name" "the store" "$tmp/before" "$tmp/after"
}

# -- Model files: refused with one positioned error, exit 2 ----------------
# (The reader's own tests hold the whole catalogue of malformed models.)
models=$tmp/models
mkdir -p "$models/folder.json"
# The bundled example cut inside the string "Account".
head -c $(($(grep -bo '"Account"' "$bank" | head -1 | cut -d: -f1) + 4)) "$bank" >"$models/truncated.json"
{ printf '\xF8'; head -c 4096 /dev/urandom; } >"$models/binary.json"
xmi_head='<?xml version="1.0" encoding="UTF-8"?><xmi:XMI xmi:version="20131001" xmlns:xmi="http://www.omg.org/XMI/20131001" xmlns:uml="http://www.eclipse.org/uml2/5.0.0/UML"><uml:Model xmi:id="_m" name="M">'
xmi_tail='</uml:Model></xmi:XMI>'
{ echo "$xmi_head"; echo '<packagedElement xmi:type="uml:Class" xmi:id="a" name="A"/>'; } >"$models/truncated.uml"
while IFS='|' read -r name file message; do
  refused "model-$name" 2 "$message" "$zt" generate "$models/$file" --select x --store "$store"
done <<'EOF'
truncated-json|truncated.json|truncated\.json:[0-9]+:[0-9]+: this string is not closed
binary|binary.json|binary\.json:1:1: this is neither a JSON model document
truncated-xmi|truncated.uml|truncated\.uml:[0-9]+:[0-9]+: malformed XML
is-a-folder|folder.json|folder\.json: cannot read the model document
EOF

# -- Templates: the business template replaced; taken as text, or refused --
business="Unit Test Templates/EJB/Websphere/Business Methods/websphere_remote.template"
test_file=scripts/java/unittests/bank/core/Accountdeposit.java
templates() { rm -rf "$tmp/tpl" && cp -R "$src/templates" "$tmp/tpl" && rm -f "$tmp/tpl/$business"; }
# template CASE: generates deposit into a fresh store with $tmp/t as the
# template; the test file must be $expected byte for byte.
expected=$tmp/expected
template() {
  templates && cp "$tmp/t" "$tmp/tpl/$business"
  rm -rf "$store"
  run "$1" 0 '' "$zt" generate "$bank" --select "$deposit" --store "$store" --templates "$tmp/tpl"
  cmp -s "$expected" "$store/$test_file" || { echo "FAIL: $1: the test file is not the template filled in"; fail=1; }
}
# Every byte but CR and the tag brackets, NUL included, 100 times (a line
# feed among them splits each into two lines).
bytes=$(for i in $(seq 1 255); do printf '\\%03o' "$i"; done)
for i in $(seq 1 100); do printf '\0%b\n' "$bytes" | tr -d '\r<>'; done >"$tmp/t"
sed 's/$/\r/' "$tmp/t" >"$expected"
template template-binary
{ head -c 10485760 /dev/zero | tr '\0' x; printf '\nclass <test_name> {}\n'; } >"$tmp/t"
{ head -c 10485760 /dev/zero | tr '\0' x; printf '\r\nclass Accountdeposit {}\r\n'; } >"$expected"
template template-10MB-line
yes 'int <test_name>;' | head -n 1000000 >"$tmp/t"
yes $'int Accountdeposit;\r' | head -n 1000000 >"$expected"
template template-million-lines
printf 'class <test_name> {}' >"$tmp/t"
printf 'class Accountdeposit {}\r\n' >"$expected"
template template-no-final-line-end
# CR alone ends no line: the template is one line, its tags replaced and its
# CRs kept (javac takes a CR as a line end too).
printf 'class <test_name>\r{\r  <class_name> x;\r}\r' >"$tmp/t"
printf 'class Accountdeposit\r{\r  Account x;\r}\r\n' >"$expected"
template template-cr-line-ends
: >"$tmp/t"
: >"$expected"
template template-empty
# A template path with quotes gives what the bundled templates give.
rm -rf "$store"
"$zt" generate "$bank" --select "$deposit" --store "$store" >/dev/null 2>&1 </dev/null
cp "$store/$test_file" "$expected"
quoted="$tmp/tpl \"quoted\" 'too'"
cp -R "$src/templates" "$quoted"
rm -rf "$store"
run template-path-with-quotes 0 '' "$zt" generate "$bank" --select "$deposit" --store "$store" --templates "$quoted"
cmp -s "$expected" "$store/$test_file" || { echo "FAIL: template-path-with-quotes: another test file"; fail=1; }
rm -rf "$store"
run template-folder-missing 2 "the template folder $tmp/no \"such\" folder does not exist" \
  "$zt" generate "$bank" --select "$deposit" --store "$store" --templates "$tmp/no \"such\" folder"
[ -e "$store" ] && { echo "FAIL: template-folder-missing: a store was made"; fail=1; }
# A template that is a folder or a dangling link: the operation is not
# generated, nothing is stored for it.
for kind in folder dangling-link; do
  templates
  if [ $kind = folder ]; then mkdir "$tmp/tpl/$business"; else ln -s "$tmp/nowhere" "$tmp/tpl/$business"; fi
  rm -rf "$store"
  run "template-is-a-$kind" 1 'An error occurred while attempting to locate template files in .*websphere_remote\.template$' \
    "$zt" generate "$bank" --select "$deposit" --store "$store" --templates "$tmp/tpl"
  [ -z "$(find "$store/scripts" -type f)" ] || { echo "FAIL: template-is-a-$kind: a file was stored"; fail=1; }
  "$zt" datapool list --store "$store" >"$tmp/pools" 2>&1
  grep -q Account_deposit "$tmp/pools" && { echo "FAIL: template-is-a-$kind: a datapool was made"; fail=1; }
done

# -- Selections --------------------------------------------------------------
while IFS='|' read -r name selection message; do
  refused "select-$name" 2 "$message" "$zt" generate "$bank" --select "$selection" --store "$store"
done <<'EOF'
unknown|nosuch::Thing|"nosuch::Thing" names nothing in 
empty-name||"" names nothing in 
a-parameter|bank::core::Account::deposit::amount|"bank::core::Account::deposit::amount" in .* is not a package, class, operation, attribute or component
EOF
# An attribute or a component is selected as the user named it; the add-in
# tells that it generates nothing for it, and adds nothing to the store (the
# run still logs in to it).
while IFS='|' read -r name model selection; do
  fresh_copy
  sums "$store/scripts" >"$tmp/before"
  "$zt" datapool list --store "$store" >>"$tmp/before"
  "$zt" generate "$src/examples/$model" --select "$selection" --store "$store" </dev/null >"$tmp/out" 2>"$tmp/err"
  status=$?
  cases=$((cases + 1))
  [ "$status" -eq 1 ] || { echo "FAIL: select-$name: exit status $status, expected 1"; fail=1; }
  grep -qxF "Error: Unit code generation failed because \"${selection##*::}\"" "$tmp/err" &&
    grep -qx 'is not a valid component for unit code generation.' "$tmp/err" &&
    grep -qx 'No operations were selected for test generation.' "$tmp/err" ||
    { echo "FAIL: select-$name: not the add-in's messages:"; cat "$tmp/err"; fail=1; }
  sums "$store/scripts" >"$tmp/after"
  "$zt" datapool list --store "$store" >>"$tmp/after"
  same "select-$name" "the store's scripts and datapools" "$tmp/before" "$tmp/after"
done <<'EOF'
an-attribute|bank-ejb.json|bank::core::AccountBean::balance
a-component|calc-com.json|CalcLib
EOF
"$zt" menu "$bank" --select bank::core::AccountBean::balance >"$tmp/out" 2>"$tmp/err"
status=$?
cases=$((cases + 1))
[ "$status" -eq 0 ] && grep -qP '^6\tGENERATE_UNITTEST_OPERATION\tdisabled\t' "$tmp/out" ||
  { echo "FAIL: menu-for-an-attribute: status $status"; cat "$tmp/out" "$tmp/err"; fail=1; }
long=$(head -c 10000 /dev/zero | tr '\0' a)
refused select-10000-characters 2 "\"$long\" names nothing in " \
  "$zt" generate "$bank" --select "$long" --store "$store"
# One operation named three times (once with the root package's name) is
# generated once: one test, one datapool.
rm -rf "$store"
run select-the-same-twice 0 '' "$zt" generate "$bank" --select "$deposit" --select "$deposit" \
  --select "Logical View::$deposit" --store "$store"
[ "$(find "$store/scripts" -type f | wc -l)" -eq 1 ] || { echo "FAIL: select-the-same-twice: not one test"; fail=1; }
"$zt" datapool list --store "$store" >"$tmp/pools" 2>&1
grep -qx '1 datapool(s):' "$tmp/pools" || { echo "FAIL: select-the-same-twice: not one datapool"; fail=1; }

# -- Tool options --------------------------------------------------------------
refused options-missing-file 1 'there is no file /nonexistent/rc\.exe' \
  "$zt" options --store "$store" --resource-compiler /nonexistent/rc.exe
refused options-a-folder 1 "$tmp is not a file" "$zt" options --store "$store" --resource-compiler "$tmp"
printf '#!/bin/sh\n' >"$tmp/bin/plain.exe"
refused options-not-executable 1 "$tmp/bin/plain.exe is not executable" \
  "$zt" options --store "$store" --resource-compiler "$tmp/bin/plain.exe"
refused options-refused-name 1 '/bin/true would not be run: .* contains "\.exe"' \
  "$zt" options --store "$store" --resource-compiler /bin/true
rm -rf "$store"
run options-missing-file-no-store 1 'there is no file /nonexistent/rc\.exe' \
  "$zt" options --store "$store" --resource-compiler /nonexistent/rc.exe
[ -e "$store" ] && { echo "FAIL: options-missing-file-no-store: a store was made"; fail=1; }
# An empty path unsets the option (as documented); the rest stays.
fresh_copy
"$zt" datapool list --store "$store" >"$tmp/pools-before" 2>&1
run options-empty-path 0 '' "$zt" options --store "$store" --resource-compiler ""
# (Unset, it shows the bundled wrapper a run takes.)
grep -qx 'resource compiler (option 3): \(.*/rc\.exe (default)\|(not set)\)' "$tmp/out" || { echo "FAIL: options-empty-path: still set"; fail=1; }
"$zt" datapool list --store "$store" >"$tmp/pools-after" 2>&1
same options-empty-path "the datapools" "$tmp/pools-before" "$tmp/pools-after"
sums "$store/scripts" >"$tmp/after"
sums "$tmp/base/scripts" >"$tmp/before"
same options-empty-path "the scripts" "$tmp/before" "$tmp/after"

# -- User names ----------------------------------------------------------------
# A user name is one line of printable characters: one with a control
# character (a line break would split every line that shows it) is a bad
# value, exit 2, named with where it came from, and nothing is written;
# whichever source the command takes the name from. A printable character
# beyond ASCII is taken (the no-break space, whose UTF-8 follows the C1
# controls').
"$zt" datapool export Account_deposit --store "$tmp/base" >"$tmp/deposit.csv" 2>/dev/null
# case | the environment (env's arguments) | the command after $zt | status | its message (a regex)
while IFS='|' read -r name environment command status message; do
  eval "refused \"user-\$name\" $status \"\$message\" env -u ZTUNITTEST_USER $environment \"\$zt\" $command"
done <<'EOF'
option|USER=u|generate "$bank" --select "$deposit" --store "$store" --user $'x\ny'|2|^ztunittest: --user: the user name "x\\ny" holds a control character \(U\+000A\); a user name is one line of printable characters$
answer|USER=u|generate "$bank" --select "$deposit" --store "$store" --answer user=$'x\ty'|2|^ztunittest: --answer user=: the user name "x\\ty" holds a control character \(U\+0009\)
variable|ZTUNITTEST_USER=$'x\ry'|generate "$bank" --select "$deposit" --store "$store"|2|^ztunittest: \$ZTUNITTEST_USER: the user name "x\\ry" holds a control character \(U\+000D\)
import|ZTUNITTEST_USER=$'x\ny'|datapool import Account_deposit "$tmp/deposit.csv" --store "$store"|2|^ztunittest: \$ZTUNITTEST_USER: the user name "x\\ny"
add-rows|USER=$'x\x7fy'|datapool add-rows --boundary --all --store "$store"|2|^ztunittest: \$USER: the user name .* \(U\+007F\)
options|ZTUNITTEST_USER=$'x\xc2\x85y'|options --store "$store" --resource-compiler-options /nologo|2|^ztunittest: \$ZTUNITTEST_USER: the user name .* \(U\+0085\)
copy|ZTUNITTEST_USER=$'x\ny'|store copy "$store" "$tmp/user-copy"|2|^ztunittest: \$ZTUNITTEST_USER: the user name "x\\ny"
params|USER=$'x\ny'|params "$bank" --operation "$deposit" --store "$store"|2|^ztunittest: \$USER: the user name "x\\ny"
no-break-space|USER=u|params "$bank" --operation "$deposit" --store "$store" --user $'x\xc2\xa0y'|0|
EOF
[ ! -e "$tmp/user-copy" ] || { echo "FAIL: user-copy: the copy was made"; fail=1; }
# The login's answer (typed; or $USER, its default, at the end of input):
# the add-in's login is cancelled as for no name, and the reason comes last.
fresh_copy
cases=$((cases + 1))
printf 'x\033y\n' | env -u ZTUNITTEST_USER USER=u "$zt" generate "$bank" --select "$deposit" --store "$store" \
  >"$tmp/out" 2>"$tmp/err"
status=$?
[ "$status" -eq 2 ] && tail -n 1 "$tmp/err" | grep -qxF \
  'ztunittest: the answer to the login: the user name "x\u001By" holds a control character (U+001B); a user name is one line of printable characters' ||
  { echo "FAIL: user-typed-at-the-login: status $status"; cat "$tmp/err"; fail=1; }
sums "$store" >"$tmp/after"
same user-typed-at-the-login "the store" "$tmp/before" "$tmp/after"

# -- Store locations that are none: refused first, exit 2 --------------------
# A location that looks like a database's and is none is refused with the
# reason before anything is made (a folder of that name, a scripts folder),
# never taken for a store folder.
mkdir -p "$tmp/here"
while IFS='|' read -r name location message; do
  run "store-location-$name" 2 "$message" env -C "$tmp/here" "$zt" generate "$bank" --select "$deposit" --store "$location"
  [ -z "$(ls -A "$tmp/here")" ] || { echo "FAIL: store-location-$name: made $(ls -A "$tmp/here")"; fail=1; }
  [ ! -e "$tmp/shared" ] || { echo "FAIL: store-location-$name: made the scripts folder"; fail=1; }
done <<EOF
scheme-in-capitals|POSTGRESQL://h/db?scripts=$tmp/shared|^ztunittest: POSTGRESQL://h/db\?scripts=.* is no usable store location: it begins like a URL \(POSTGRESQL:\)
one-slash|postgresql:/db?scripts=$tmp/shared|is no usable store location: it begins like a URL \(postgresql:\)
no-scripts-folder|host=h dbname=d|^ztunittest: host=h dbname=d is no usable store location: a PostgreSQL store needs the folder of its scripts
password|postgresql://u:secret@h/db?scripts=$tmp/shared|u:\*\*\*@h/db.* is no usable store location: a password does not belong
leading-blank| ztstore|is no usable store location: it begins with a blank
bad-percent|postgresql://h/db?scripts=$tmp/shared%zz|is no usable store location: %zz is no percent-encoded character
EOF

# -- Store folders -------------------------------------------------------------
generate_into() { "$zt" generate "$bank" --select "$deposit" --store "$1"; }
# broken CASE MESSAGE SPOIL: a copy of the store spoiled by the command SPOIL
# (run in the store folder) is refused with MESSAGE and stays as it is.
broken() {
  local name=$1 message=$2
  shift 2
  fresh_copy
  (cd "$store" && "$@")
  sums "$store" >"$tmp/before"
  run "$name" 1 "$message" generate_into "$store"
  sums "$store" >"$tmp/after"
  same "$name" "the store" "$tmp/before" "$tmp/after"
}
broken store-database-is-a-folder "Cannot open the store at $store/store\.db: it is not a file" \
  bash -c 'rm store.db && mkdir store.db'
broken store-scripts-is-a-file "Cannot open the store at $store/scripts: it is not a folder" \
  bash -c 'rm -rf scripts && echo x >scripts'
broken store-java-root-is-a-file "Cannot open the store at $store/scripts/java: it is not a folder" \
  bash -c 'rm -rf scripts/java && echo x >scripts/java'
broken store-database-is-garbage "Cannot open the store at $store/store\.db: the database is damaged \(file is not a database\)" \
  bash -c 'head -c 8192 /dev/zero | tr "\0" z >store.db'
broken store-database-truncated "Cannot open the store at $store/store\.db: the database is damaged" \
  truncate -s 1500 store.db
broken store-database-page-damaged "Cannot open the store at $store/store\.db: the database is damaged" \
  bash -c 'head -c 4096 /dev/zero | tr "\0" "\377" | dd of=store.db bs=4096 seek=3 conv=notrunc status=none'
broken store-from-a-newer-program "Cannot open the store at $store/store\.db: it was made by a newer ztunittest" \
  sqlite3 store.db "INSERT INTO schema_version VALUES (99, 'later')"
rm -rf "$store" "$tmp/plain"
echo x >"$tmp/plain"
run store-is-a-file 1 "Cannot open the store at $tmp/plain: it is not a folder" generate_into "$tmp/plain"
run store-below-a-file 1 "Cannot open the store at $tmp/plain: it is not a folder" generate_into "$tmp/plain/store"
[ "$(cat "$tmp/plain")" = x ] || { echo "FAIL: store-below-a-file: the file changed"; fail=1; }
fresh_copy
head -c 8192 /dev/zero | tr '\0' z >"$store/store.db"
sums "$store" >"$tmp/before"
run datapools-of-a-garbage-database 1 "The store's database failed: file is not a database" \
  "$zt" datapool list --store "$store"
run options-of-a-garbage-database 1 "Cannot open the store at $store/store\.db: file is not a database" \
  "$zt" options --store "$store" --resource-compiler "$tmp/bin/rc.exe"
sums "$store" >"$tmp/after"
same options-of-a-garbage-database "the store" "$tmp/before" "$tmp/after"
# Setting an option opens the store as a run does: a store that cannot hold
# scripts is refused before its database records the login.
fresh_copy
rm -rf "$store/scripts/java" && echo x >"$store/scripts/java"
sums "$store" >"$tmp/before"
run options-with-a-file-for-a-folder 1 "Cannot open the store at $store/scripts/java: Not a directory" \
  "$zt" options --store "$store" --resource-compiler "$tmp/bin/rc.exe"
sums "$store" >"$tmp/after"
same options-with-a-file-for-a-folder "the store" "$tmp/before" "$tmp/after"

# The script folders are the store's own: a symbolic link in the place of
# one (to a folder where a user's file is named like a temporary of a killed
# writer) is refused, and nothing is written or removed where it leads.
for part in scripts scripts/java scripts/vb; do
  fresh_copy
  rm -rf "$tmp/linked" && cp -a "$store/$part" "$tmp/linked"
  echo "a user's notes" >"$tmp/linked/.notes~99999~abcdef"
  rm -rf "${store:?}/$part" && ln -s "$tmp/linked" "$store/$part"
  sums "$store" >"$tmp/before"
  sums "$tmp/linked" >"$tmp/linked-before"
  run "store-${part//\//-}-is-a-link" 1 "Cannot open the store at $store/$part: it is a symbolic link" generate_into "$store"
  sums "$store" >"$tmp/after"
  sums "$tmp/linked" >"$tmp/linked-after"
  same "store-${part//\//-}-is-a-link" "the store" "$tmp/before" "$tmp/after"
  same "store-${part//\//-}-is-a-link" "the folder it leads to" "$tmp/linked-before" "$tmp/linked-after"
done
# A store that another program holds locked is busy, and the message names
# the program.
fresh_copy
sqlite3_on "$store/store.db"
echo "BEGIN EXCLUSIVE;" >&3
for _ in $(seq 1 50); do grep -q ":$(stat -c %i "$store/store.db") " /proc/locks && break; sleep 0.1; done
run store-locked-by-another-program 1 \
  "Cannot open the store at $store/store\.db: it is busy: sqlite3 \(process $holder\) holds it locked" generate_into "$store"
echo "ROLLBACK;" >&3
exec 3>&-
wait "$holder"
# A writer killed inside a transaction leaves a journal: the commands that
# only read roll it back themselves.
fresh_copy
"$zt" datapool list --store "$store" >"$tmp/pools-before" 2>&1
"$zt" datapool export Account_deposit --store "$store" >"$tmp/csv-before" 2>&1
sqlite3_on "$store/store.db"
printf 'PRAGMA cache_size=1;\nBEGIN;\nDELETE FROM datapool_values;\nDELETE FROM datapool_rows;\nDELETE FROM datapools;\nSELECT 1;\n' >&3
for _ in $(seq 1 50); do [ -s "$store/store.db-journal" ] && break; sleep 0.1; done
sleep 0.3
kill -KILL "$holder"
wait "$holder" 2>/dev/null
exec 3>&-
[ -s "$store/store.db-journal" ] || { echo "FAIL: hot-journal: no journal was left"; fail=1; }
run datapools-after-a-killed-writer 0 '' "$zt" datapool list --store "$store"
same datapools-after-a-killed-writer "the datapools" "$tmp/pools-before" "$tmp/out"
run export-after-a-killed-writer 0 '' "$zt" datapool export Account_deposit --store "$store"
same export-after-a-killed-writer "the export" "$tmp/csv-before" "$tmp/out"
run options-after-a-killed-writer 0 '' "$zt" options --store "$store"
[ ! -e "$store/store.db-journal" ] || { echo "FAIL: hot-journal: the journal is still there"; fail=1; }

# Read-only parts: the immutable flag stops root too.
# immutable CASE PATH MESSAGE: PATH (below a copy of the store) made
# immutable; the run is refused and the store stays as it is.
immutable() {
  fresh_copy
  if ! chattr +i "$store/$2" 2>/dev/null; then
    echo "SKIP: $1: chattr +i is not possible here"
    skipped=$((skipped + 1))
    return
  fi
  run "$1" 1 "$3" generate_into "$store"
  chattr -i "$store/$2"
  sums "$store" >"$tmp/after"
  same "$1" "the store" "$tmp/before" "$tmp/after"
}
immutable store-folder-read-only . "Cannot open the store at $store: it cannot be written"
immutable store-java-root-read-only scripts/java "Cannot open the store at $store/scripts/java: it cannot be written"
immutable store-database-read-only store.db "Cannot open the store at $store/store\.db: it cannot be written"
# A package folder that cannot be written: the test is not stored, with one
# message, and the run ends short.
rm -rf "$store"
mkdir -p "$store/scripts/java/unittests/bank/core"
if chattr +i "$store/scripts/java/unittests/bank/core" 2>/dev/null; then
  run store-package-folder-read-only 1 "$store/$test_file was not written: .*\(Operation not permitted\)" \
    generate_into "$store"
  chattr -i "$store/scripts/java/unittests/bank/core"
  [ -z "$(find "$store/scripts" -type f)" ] || { echo "FAIL: store-package-folder-read-only: a file"; fail=1; }
else
  echo "SKIP: store-package-folder-read-only: chattr +i is not possible here"
  skipped=$((skipped + 1))
fi
# A full disk (a small tmpfs filled up): the store is not opened.
mkdir -p "$tmp/full"
if mount -t tmpfs -o size=256k tmpfs "$tmp/full" 2>/dev/null; then
  mounted+=("$tmp/full")
  cp -a "$tmp/base" "$tmp/full/store"
  head -c 1048576 /dev/zero >"$tmp/full/filler" 2>/dev/null
  sums "$tmp/full/store" >"$tmp/before"
  run store-disk-full 1 "Cannot open the store at $tmp/full/store/store\.db: database or disk is full" \
    generate_into "$tmp/full/store"
  sums "$tmp/full/store" >"$tmp/after"
  same store-disk-full "the store" "$tmp/before" "$tmp/after"
else
  echo "SKIP: store-disk-full: mounting a tmpfs is not possible here"
  skipped=$((skipped + 1))
fi

# A disk that fills up during a run: what the log says was created is in the
# store, or a message says it was not stored; the run ends short.
big_model 10 >"$tmp/big.json"
big_select=()
for p in 0 1 2 3 4 5 6 7 8 9; do big_select+=(--select "pkg$p"); done
# The datapools a host log ($1) says were created, one a line, sorted.
logged_pools() { awk '/datapool created:$/ { pools = 1; next } /^    / && pools { print substr($0, 5); next } { pools = 0 }' "$1" | sort; }
mkdir -p "$tmp/filling"
if mount -t tmpfs -o size=1m tmpfs "$tmp/filling" 2>/dev/null; then
  mounted+=("$tmp/filling")
  "$zt" generate "$tmp/big.json" --select pkg0::Svc00::op0 --store "$tmp/filling/store" >/dev/null 2>&1 </dev/null
  head -c $((($(df -k --output=avail "$tmp/filling" | tail -1) - 200) * 1024)) /dev/zero >"$tmp/filling/filler" 2>/dev/null
  cases=$((cases + 1))
  "$zt" generate "$tmp/big.json" "${big_select[@]}" --store "$tmp/filling/store" >"$tmp/out" 2>"$tmp/err" </dev/null
  status=$?
  [ "$status" -eq 1 ] || { echo "FAIL: store-fills-during-a-run: exit status $status, expected 1"; fail=1; }
  "$zt" datapool list --store "$tmp/filling/store" | sed -n 's/^  \([^ ]*\) (.*/\1/p' | sort >"$tmp/pools"
  sed -n 's/^The datapool \([^ ]*\) was not stored in .*/\1/p' "$tmp/err" | sort >"$tmp/lost"
  logged_pools "$tmp/out" >"$tmp/logged"
  [ -s "$tmp/logged" ] || { echo "FAIL: store-fills-during-a-run: no datapool was logged; the disk filled too soon"; fail=1; }
  missing=$(comm -23 "$tmp/logged" "$tmp/pools" | comm -23 - "$tmp/lost")
  [ -z "$missing" ] || { echo "FAIL: store-fills-during-a-run: logged as created, neither stored nor told: $(echo $missing | head -c 300)"; fail=1; }
  generated=$(sed -n 's/^Finished code generation, \([0-9]*\) of 1000 .*/\1/p' "$tmp/err")
  [ -n "$generated" ] && [ "$generated" -le "$(wc -l <"$tmp/pools")" ] ||
    { echo "FAIL: store-fills-during-a-run: $generated counted as generated, $(wc -l <"$tmp/pools") datapools stored"; fail=1; }
else
  echo "SKIP: store-fills-during-a-run: mounting a tmpfs is not possible here"
  skipped=$((skipped + 1))
fi

# -- Names that would put a test outside the store -------------------------
# A model with javax::ejb and one package holding an EJB (a remote interface
# and its home with a create method) whose package or class has the given
# name. The remote interface is selected.
names=$tmp/names
mkdir -p "$names/outside"
echo keep >"$names/outside/keep.txt"
ejb_model() { # package class (as JSON text)
  printf '{"model": "M", "packages": [{"name": "javax", "packages": [{"name": "ejb", "classes": [{"name": "EJBObject"}, {"name": "EJBHome"}]}]},'
  printf '{"name": "%s", "classes": [{"name": "%s", "stereotype": "EJBRemoteInterface", "language": "Java", ' "$1" "$2"
  printf '"operations": [{"name": "run", "returnType": "void"}]}, {"name": "%sHome", "stereotype": "EJBHomeInterface", ' "$2"
  printf '"language": "Java", "operations": [{"name": "create", "returnType": "%s"}]}]}]}\n' "$2"
}
# named CASE STATUS MESSAGE FILES MODEL: generates what MODEL.select names
# into a fresh store; FILES are the files below the Java root afterwards, and
# nothing outside the store changes.
named() {
  local name=$1 status=$2 message=$3 files=$4 model=$5
  rm -rf "$names/store"
  sums "$names/outside" >"$tmp/before"
  ls -A "$names" | grep -vx store >"$tmp/entries-before"
  run "$name" "$status" "$message" "$zt" generate "$model" --select "$(cat "$model.select")" --store "$names/store" \
    --language Java
  sums "$names/outside" >"$tmp/after"
  ls -A "$names" | grep -vx store >"$tmp/entries-after"
  same "$name" "what lies outside the store" "$tmp/before" "$tmp/after"
  same "$name" "the folder around the store" "$tmp/entries-before" "$tmp/entries-after"
  (cd "$names/store/scripts/java" && find . -type f | sort | tr '\n' ' ') >"$tmp/files"
  [ "$(cat "$tmp/files")" = "$files" ] || { echo "FAIL: $name: files below the root: $(cat "$tmp/files")"; fail=1; }
}
outside_message='Not storing ".*": it would lie outside the script folder '
i=0
while IFS='|' read -r case package class select; do
  i=$((i + 1))
  ejb_model "$package" "$class" >"$names/m$i.json"
  echo "$select" >"$names/m$i.json.select"
  named "$case" 1 "$outside_message" "" "$names/m$i.json"
  # The closing text points to the log, which says why.
  check "$case: the reason is in the host log" grep -qE "^$outside_message" "$tmp/out"
done <<'EOF'
names-package-dots|..|E|..::E
names-package-slashes|../../outside|E|../../outside::E
names-package-backslashes|..\\..\\outside|E|..\..\outside::E
names-class-slashes|p|../../../outside/Evil|p::../../../outside/Evil
names-class-backslashes|p|..\\..\\Evil|p::..\..\Evil
EOF
{
  echo "$xmi_head"
  echo '<packagedElement xmi:type="uml:Package" xmi:id="j" name="javax"><packagedElement xmi:type="uml:Package" xmi:id="e" name="ejb">'
  echo '<packagedElement xmi:type="uml:Interface" xmi:id="o" name="EJBObject"/><packagedElement xmi:type="uml:Interface" xmi:id="h" name="EJBHome"/></packagedElement></packagedElement>'
  echo '<packagedElement xmi:type="uml:Package" xmi:id="p" name="..">'
  echo '<packagedElement xmi:type="uml:Interface" xmi:id="c" name="E"><generalization xmi:id="g" general="o"/><ownedOperation xmi:id="op" name="run"/></packagedElement>'
  echo '<packagedElement xmi:type="uml:Interface" xmi:id="ch" name="EHome"><generalization xmi:id="gh" general="h"/><ownedOperation xmi:id="cr" name="create"/></packagedElement>'
  echo '</packagedElement>'
  echo "$xmi_tail"
} >"$names/dots.uml"
echo "..::E" >"$names/dots.uml.select"
named names-xmi-package-dots 1 "$outside_message" "" "$names/dots.uml"
# Names that stay inside: ".." inside a name, and "/" (a folder separator in
# every path of the add-in, as in the modelling tool's).
ejb_model p .. >"$names/inside1.json"
echo p::.. >"$names/inside1.json.select"
named names-class-is-dots 0 '' "./unittests/p/..run.java " "$names/inside1.json"
ejb_model p a/b >"$names/inside2.json"
echo p::a/b >"$names/inside2.json.select"
named names-class-with-a-slash 0 '' "./unittests/p/a/brun.java " "$names/inside2.json"
# ".rc" in a package's name makes no resource script of a Java test.
ejb_model com.rcorp E >"$names/rcorp.json"
echo com.rcorp::E >"$names/rcorp.json.select"
named names-package-com.rcorp 0 '' "./unittests/com.rcorp/Erun.java " "$names/rcorp.json"
check 'names-package-com.rcorp: a "source created" line' \
  grep -qxF "[Verimos]--[Unit Test]: source created for Logical View::com.rcorp::E::run:" "$tmp/out"
# A name the store cannot take is named with its reason; its operation is
# not generated and gets no datapool.
ejb_model p C:x >"$names/drive.json"
echo p::C:x >"$names/drive.json.select"
named names-class-drive-letter 1 \
  'Not storing "unittests\\p\\C:xrun\.java": ":" after the letter C at the start of "C:xrun\.java" is not allowed' "" \
  "$names/drive.json"
toolong=$(head -c 300 /dev/zero | tr '\0' a)
ejb_model p "$toolong" >"$names/long.json"
echo "p::$toolong" >"$names/long.json.select"
named names-class-too-long 1 "${toolong}run\.java was not written: .*File name too long" "" "$names/long.json"
check "names-class-too-long: the reason is in the host log" \
  grep -qE "${toolong}run\.java was not written: .*File name too long" "$tmp/out"
grep -qx "Finished code generation, 0 of 1 test(s) were processed." "$tmp/err" ||
  { echo "FAIL: names-class-too-long: counted as generated: $(grep Finished "$tmp/err")"; fail=1; }
"$zt" datapool list --store "$names/store" | grep -q "${toolong}_run" &&
  { echo "FAIL: names-class-too-long: its datapool was made"; fail=1; }

# -- Resource scripts and the resource compiler ------------------------------
# What a model or a template puts into the path of a resource script reaches
# the compiler as one argument, and a path the store refuses is not compiled.
# com_model PACKAGE...: an interface ICalc (Add) and its coclass in each package.
com_model() {
  printf '{"model": "M", "components": [{"name": "CalcLib", "properties": {"COM": {"uuid": "6F1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D", "lcid": "0", "filename": "CalcLib.dll", "helpstring": "Calc"}}}], "packages": ['
  local first=1 p q
  for p in "$@"; do
    q=$(printf '%s' "$p" | sed 's/\\/\\\\/g; s/"/\\"/g')
    [ $first -eq 1 ] || printf ','
    first=0
    printf '{"name": "%s", "classes": [{"name": "ICalc", "stereotype": "Interface", "language": "COM", "operations": [{"name": "Add", "returnType": "HRESULT", "parameters": [{"name": "a", "type": "long", "initValue": "2"}, {"name": "r", "type": "long*", "properties": {"COM": {"retval": "True"}}}]}]}, {"name": "Calc", "stereotype": "coclass", "language": "COM", "realizes": ["%s::ICalc"], "components": ["CalcLib"], "properties": {"COM": {"progid": "CalcLib.Calc"}}}]}' "$q" "$q"
  done
  printf ']}\n'
}
outside=$tmp/outside-rc
mkdir -p "$outside"
echo keep >"$outside/victim.txt"
# Quotes in package names: no name adds an option (here /fo, which would
# write the victim); the twin without quotes makes the folder the split
# would name. Each project is compiled.
evil="P.rcd\" /fo \"$outside/victim.txt\" \".."
plain="P.rcd /fo $outside/victim.txt .."
com_model "$plain" "$evil" 'Say"Hi' >"$tmp/quotes.json"
rm -rf "$store"
run names-com-quotes-add-no-option 0 '' "$zt" generate "$tmp/quotes.json" --select "$plain::ICalc" --select "$evil::ICalc" \
  --select 'Say"Hi::ICalc' --store "$store"
[ "$(cat "$outside/victim.txt")" = keep ] || { echo "FAIL: names-com-quotes-add-no-option: the victim was written"; fail=1; }
[ "$(find "$store/scripts/vb" -name ICalcAdd.res | wc -l)" -eq 3 ] && [ -z "$(find "$store/scripts/vb" -name '*.rc')" ] ||
  { echo "FAIL: names-com-quotes-add-no-option: not every project compiled: $(cd "$store/scripts/vb" && find . -name 'ICalcAdd.r*')"; fail=1; }
# A quote in the store's path.
rm -rf "$tmp/st\"ore"
run store-path-with-a-quote 0 '' "$zt" generate "$src/examples/calc-com.json" --select Maths::ICalc::Add --store "$tmp/st\"ore"
check "store-path-with-a-quote: compiled" test -s "$tmp/st\"ore/scripts/vb/unittests/Maths/Calc/ICalcAdd.res"
# ".rc" in the store's path: only the script's extension becomes ".res";
# the same file of a sibling folder "proj.res" is not touched.
sibling=$tmp/proj.res/st/scripts/vb/unittests/Maths/Calc/ICalcAdd.res
mkdir -p "$(dirname "$sibling")" && echo sibling >"$sibling"
run store-below-proj.rc 0 '' "$zt" generate "$src/examples/calc-com.json" --select Maths::ICalc::Add --store "$tmp/proj.rc/st"
[ "$(cat "$sibling")" = sibling ] || { echo "FAIL: store-below-proj.rc: the sibling's .res changed"; fail=1; }
check "store-below-proj.rc: the log names the .res" \
  grep -qxF "    $tmp/proj.rc/st/scripts/vb/unittests\\Maths\\Calc\\ICalcAdd.res" "$tmp/out"
# A template whose resource line leads out of the store: the store refuses
# the script, and nothing is compiled, deleted or written there.
templates
vbp="$tmp/tpl/Unit Test Templates/COM VB/TestName.vbp"
sed -i 's/^ResFile32=.*/ResFile32=..\\..\\..\\..\\..\\..\\somewhere\\victim; TestName.rc\r/' "$vbp"
rm -rf "$tmp/somewhere" "$store" && mkdir -p "$tmp/somewhere"
printf 'STRINGTABLE\r\nBEGIN\r\n1 "victim"\r\nEND\r\n' >"$tmp/somewhere/victim.rc"
echo "a victim's" >"$tmp/somewhere/victim.res"
sums "$tmp/somewhere" >"$tmp/before"
run template-resource-line-leaves-the-store 1 'Not storing ".*somewhere\\victim\.rc": it would lie outside the script folder' \
  "$zt" generate "$src/examples/calc-com.json" --select Maths::ICalc::Add --store "$store" --templates "$tmp/tpl"
sums "$tmp/somewhere" >"$tmp/after"
same template-resource-line-leaves-the-store "what lies outside the store" "$tmp/before" "$tmp/after"

# -- Outputs -------------------------------------------------------------------
# A file named for a command's output that is a pipe, a device or a symbolic
# link is written to (through the link), never replaced.
fresh_copy
"$zt" datapool export Account_deposit --store "$store" >"$tmp/csv" 2>/dev/null
"$zt" model convert "$bank" >"$tmp/document" 2>/dev/null
rm -f "$tmp/fifo" && mkfifo "$tmp/fifo"
for what in export convert; do
  if [ $what = export ]; then
    write() { "$zt" datapool export Account_deposit --store "$store" --output "$1"; }
    expected=$tmp/csv
  else
    write() { "$zt" model convert "$bank" "$1"; }
    expected=$tmp/document
  fi
  timeout 10 cat "$tmp/fifo" >"$tmp/from-fifo" &
  out=/dev/null run "$what-to-a-fifo" 0 '' write "$tmp/fifo"
  wait $!
  [ -p "$tmp/fifo" ] && cmp -s "$tmp/from-fifo" "$expected" || { echo "FAIL: $what-to-a-fifo: replaced, or not written"; fail=1; }
  echo old >"$tmp/target" && rm -f "$tmp/link" && ln -s target "$tmp/link"
  out=/dev/null run "$what-through-a-link" 0 '' write "$tmp/link"
  [ -L "$tmp/link" ] && cmp -s "$tmp/target" "$expected" || { echo "FAIL: $what-through-a-link: replaced, or not written"; fail=1; }
  rm -f "$tmp/null"
  if mknod "$tmp/null" c 1 3 2>/dev/null; then
    out=/dev/null run "$what-to-a-character-device" 0 '' write "$tmp/null"
    [ -c "$tmp/null" ] || { echo "FAIL: $what-to-a-character-device: the device was replaced"; fail=1; }
  else
    echo "SKIP: $what-to-a-character-device: mknod is not possible here"
    skipped=$((skipped + 1))
  fi
done
# Standard output or a log file that cannot be written: one message, and no
# success.
if [ -c /dev/full ]; then
  full='cannot write to standard output: No space left on device'
  out=/dev/full run stdout-full-datapool-list 1 "$full" "$zt" datapool list --store "$store"
  out=/dev/full run stdout-full-datapool-show 1 "$full" "$zt" datapool show Account_deposit --store "$store"
  out=/dev/full run stdout-full-datapool-export 1 "$full" "$zt" datapool export Account_deposit --store "$store"
  out=/dev/full run stdout-full-model-show 1 "$full" "$zt" model show "$bank"
  out=/dev/full run stdout-full-model-convert 1 "$full" "$zt" model convert "$bank"
  rm -rf "$store"
  out=/dev/full run stdout-full-generate 1 "$full" generate_into "$store"
  [ -s "$store/$test_file" ] || { echo "FAIL: stdout-full-generate: the test was not stored"; fail=1; }
  rm -rf "$store"
  run log-file-full 1 'cannot write the log file /dev/full: No space left on device' \
    "$zt" generate "$bank" --select "$deposit" --store "$store" --log /dev/full
else
  echo "SKIP: stdout-full-*: there is no /dev/full"
  skipped=$((skipped + 7))
fi
# A pipe whose reader goes: the generation goes on to its end, the log stops,
# and the run tells it.
rm -rf "$store"
cases=$((cases + 1))
"$zt" generate "$tmp/big.json" "${big_select[@]}" --store "$store" </dev/null 2>"$tmp/err" | head -1 >/dev/null
status=${PIPESTATUS[0]}
[ "$status" -eq 1 ] || { echo "FAIL: log-to-a-closed-pipe: exit status $status, expected 1"; fail=1; }
check "log-to-a-closed-pipe: told" grep -qx 'ztunittest: cannot write to standard output: Broken pipe' "$tmp/err"
[ "$(find "$store/scripts/java" -name '*.java' | wc -l)" -eq 1000 ] ||
  { echo "FAIL: log-to-a-closed-pipe: $(find "$store/scripts/java" -name '*.java' | wc -l) of 1000 tests stored"; fail=1; }
"$zt" datapool list --store "$store" >"$tmp/pools" 2>&1
check "log-to-a-closed-pipe: every datapool stored" grep -qx '1000 datapool(s):' "$tmp/pools"

echo "hostile_inputs: $cases cases, $skipped skipped"
checks=$((checks + cases))
finish hostile_inputs
