#!/usr/bin/env bash
# Runs the commands of a documentation page as a user types them, so that a
# page cannot drift from the program.
#
#   run_pages.sh PROGRAM SOURCE_DIR PAGE   (PAGE relative to SOURCE_DIR)
#
# Every code block of a page (fenced, or indented by four spaces) has an
# HTML comment on the last non-blank line before it, which the rendered page
# does not show:
#
#   <!-- run -->                  a command block: run, and it must exit 0
#   <!-- run: CLAUSE; CLAUSE -->  the same, with clauses (no ";" inside one):
#       exits N                   it must exit N instead
#       needs postgres            the page's server db.example.org is the
#                                 tests' private cluster (in a URI its socket
#                                 folder, percent-encoded), with the role
#                                 ztteam and the database ztstore made as
#                                 "Setting up" makes them (ztstore afresh);
#                                 the team's share /mnt/team is a folder of
#                                 the scratch folder
#       afresh                    with needs postgres: ztstore and the share
#                                 made empty again first (a scenario of its own)
#       with NAME=PATH            the file PATH of the source tree is there
#                                 as NAME (the page's own model, say)
#       given COMMAND             COMMAND runs first, unseen (a store the
#                                 page takes for granted)
#       by tests/cli/NAME.sh      run by that test, which takes the block
#                                 from this page (checked: it names the page)
#   <!-- not run: REASON ... -->  not a command to run, and why: REASON is
#                                 one of the words in `reasons` below
#
# A block whose first line starts with "$ " is a terminal session: each "$ "
# line is run and the lines below it are what it prints, compared exactly;
# `$ cat FILE` of a FILE that is not there shows the file to write.
#
# The blocks of a page run in order, in one scratch folder that holds copies
# of examples/ and tests/java-runtime/models/, with the built programs first
# on the PATH, HOME a scratch folder of its own, standard input at its end,
# and the shell variables a block sets kept for the next. A block that exits
# otherwise fails the page, naming the page, the block's line and its first
# line, with what it printed; so does a block without a marker, an unknown
# reason, and a test of tests/ that the page names and that is not there.
. "$2/tests/cli/lib/common.sh" "$@"
page=${3:?usage: run_pages.sh PROGRAM SOURCE_DIR PAGE}
src=$(cd "$src" && pwd)
bin=$(dirname "$zt")
reasons=" output file fragment synopsis placeholders bootstrap installs admin bench fuzz "
# output:       what a program prints or writes
# file:         a file's contents (a model, a template, a configuration)
# fragment:     a piece of code or of a file, not the whole
# synopsis:     a command's form, with its options in brackets
# placeholders: a command with names a user fills in (MODEL, my-editor)
# bootstrap:    ./bootstrap.sh, which CI runs itself
# installs:     builds or installs the program for the whole machine
# admin:        administers a database server of the machine (the tests
#               never touch the machine's own)
# bench, fuzz:  the benchmark's and the fuzzer's own builds and long runs

# The blocks: for each, blocks/N.txt (its text) and a line of the manifest:
# N, its first line's number, its marker (empty: none).
mkdir "$tmp/blocks"
awk -v out="$tmp/blocks" '
  function start(line, text) {
    n++; file = out "/" n ".txt"; printf "" >file
    marker = (prev ~ /^[[:space:]]*<!--.*-->[[:space:]]*$/) ? prev : ""
    gsub(/^[[:space:]]*<!--[[:space:]]*|[[:space:]]*-->[[:space:]]*$/, "", marker)
    print n "\t" line "\t" marker >(out "/manifest")
  }
  function flush() { if (ind) { ind = 0; close(file); prev = "" } }
  {
    if (fence) {
      if ($0 ~ /^ *```/) { fence = 0; close(file); prev = ""; next }
      line = $0; sub("^" findent, "", line); print line >>file; next
    }
    if ($0 ~ /^ *```/) {
      flush(); fence = 1; findent = $0; sub(/```.*/, "", findent); start(NR + 1); next
    }
    if ($0 ~ /^ *$/) { if (ind) pending = pending "\n"; blank = 1; next }
    if (ind && $0 ~ "^" iindent) {
      line = $0; sub("^" iindent, "", line); printf "%s%s\n", pending, line >>file; pending = ""; next
    }
    flush(); pending = ""
    if ($0 ~ /^ *([-*+]|[0-9]+\.) /) inlist = 1
    else if ($0 !~ /^ /) inlist = 0
    iindent = inlist ? "      " : "    "
    if (blank && $0 ~ "^" iindent) {
      ind = 1; start(NR); line = $0; sub("^" iindent, "", line); print line >>file; blank = 0; next
    }
    prev = $0; blank = 0
  }
  END { flush() }' "$src/$page"
[ -f "$tmp/blocks/manifest" ] || : >"$tmp/blocks/manifest"

# The programs the page's commands call besides ztunittest, from the
# packages ./bootstrap.sh test installs.
uses() {
  local n
  while IFS=$'\t' read -r n _ marker; do
    case "$marker" in run | 'run:'*) grep -qE "(^|[^a-z_-])$1 " "$tmp/blocks/$n.txt" && return 0 ;; esac
  done <"$tmp/blocks/manifest"
  return 1
}
uses java && need java default-jdk-headless
uses javac && need javac default-jdk-headless
uses jq && need jq jq
uses psql && need psql postgresql
uses pg_dump && need pg_dump postgresql
uses pg_restore && need pg_restore postgresql

# Every test of tests/ the page names is there.
for named in $(grep -oE 'tests/[A-Za-z0-9_/-]+\.sh' "$src/$page" | sort -u); do
  check "$page names $named, which must be there" test -f "$src/$named"
done

work=$tmp/work
mkdir -p "$work/tests/java-runtime" "$tmp/home" "$tmp/mnt/team"
cp -r "$src/examples" "$work/"
cp -r "$src/tests/java-runtime/models" "$work/tests/java-runtime/"
export PATH="$bin:$PATH" HOME="$tmp/home" USER=$(id -un) LOGNAME=$(id -un)
unset ZTUNITTEST_USER ZTUNITTEST_CLASSPATH PWTTEMPLATES PGHOST PGUSER PGDATABASE PGPORT PGPASSWORD PGSERVICE
: >"$tmp/state"

postgres_ready=0
postgres() {  # postgres [afresh]: the cluster, ztteam and ztstore, made empty once a page (and afresh)
  [ "$postgres_ready" = 1 ] && [ -z "${1:-}" ] && return 0
  [ "$postgres_ready" = 1 ] || . "$src/tests/cli/lib/pg.sh"
  rm -rf "$tmp/mnt/team" && mkdir -p "$tmp/mnt/team"
  local sql="env PGOPTIONS=-cclient_min_messages=warning $pg_bindir/psql -X -q -h $pg_host -U zt -d postgres -v ON_ERROR_STOP=1"
  $sql -c "DO \$\$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'ztteam') THEN CREATE ROLE ztteam LOGIN; END IF; END \$\$" &&
    $sql -c "DROP DATABASE IF EXISTS ztstore" && $sql -c "CREATE DATABASE ztstore OWNER ztteam" || return 1
  pg_uri_host=$(printf '%s' "$pg_host" | sed 's|/|%2F|g')
  postgres_ready=1
}

# run_block N SCRIPT: SCRIPT in the scratch folder as a user's shell runs
# it, the variables of the blocks before it set; status in $status, what
# it printed in $tmp/out.
run_block() {
  {
    echo 'ZT_DOC_VARS=" $(compgen -v | tr "\n" " ") "; . "$ZT_DOC_STATE"'
    echo 'trap '\''for v in $(compgen -v); do case "$ZT_DOC_VARS" in *" $v "*) ;; *) declare -p "$v" ;; esac; done >"$ZT_DOC_STATE.new"'\'' EXIT'
    echo 'set -eo pipefail'
    cat "$2"
  } >"$tmp/block.sh"
  (cd "$work" && ZT_DOC_STATE=$tmp/state bash "$tmp/block.sh" </dev/null >"$tmp/out" 2>&1)
  status=$?
  [ -f "$tmp/state.new" ] && grep -v '^declare -[a-z]*r' "$tmp/state.new" >"$tmp/state"
  rm -f "$tmp/state.new"
}

# A terminal session: each "$ " line run, what it prints compared with the
# lines below it.
run_session() {
  local k cmd
  rm -rf "$tmp/session" && mkdir "$tmp/session"
  awk -v d="$tmp/session" '/^\$ / { k++; print substr($0, 3) >(d "/" k ".cmd"); printf "" >(d "/" k ".want"); next }
                           { print >(d "/" k ".want") }' "$1"
  status=0
  for ((k = 1; ; k++)); do
    [ -f "$tmp/session/$k.cmd" ] || return 0
    cmd=$(cat "$tmp/session/$k.cmd")
    if [[ $cmd =~ ^cat\ ([^\ ]+)$ ]] && [ ! -e "$work/${BASH_REMATCH[1]}" ]; then
      cp "$tmp/session/$k.want" "$work/${BASH_REMATCH[1]}"
    fi
    run_block "$k" "$tmp/session/$k.cmd"
    if ! cmp -s "$tmp/out" "$tmp/session/$k.want"; then
      { echo "\$ $cmd (exit status $status) printed:"; cat "$tmp/out"; echo "where the page shows:"; cat "$tmp/session/$k.want"; } >"$tmp/out.k"
      mv "$tmp/out.k" "$tmp/out"
      [ "$status" != 0 ] || status=1
      return
    fi
    [ "$status" = 0 ] || return
  done
}

blocks=0 ran=0
while IFS=$'\t' read -r n line marker; do
  blocks=$((blocks + 1))
  text=$tmp/blocks/$n.txt
  first=$(head -1 "$text")
  where="$page:$line: $first"
  case "$marker" in
    'not run:'*)
      reason=$(echo "${marker#not run:}" | awk '{print $1}')
      check "$where: the reason \"$reason\" is one of:$reasons" test "${reasons/ $reason /}" != "$reasons"
      continue ;;
    run | 'run:'*) ;;
    *)
      check "$where: a block without a marker (<!-- run --> or <!-- not run: REASON -->)" false
      continue ;;
  esac
  # The clauses.
  want=0 by='' given=() needs_pg=0 afresh='' bad=''
  IFS=';' read -ra clauses <<<"${marker#run}"
  for clause in "${clauses[@]}"; do
    clause=$(echo "${clause#:}" | sed 's/^ *//; s/ *$//')
    case "$clause" in
      '') ;;
      'exits '*) want=${clause#exits } ;;
      'needs postgres') needs_pg=1 ;;
      afresh) afresh=afresh ;;
      'by '*) by=${clause#by } ;;
      'given '*) given+=("${clause#given }") ;;
      'with '*=*)
        name=${clause#with }
        mkdir -p "$(dirname "$work/${name%%=*}")"
        cp "$src/${name#*=}" "$work/${name%%=*}" || bad="$bad with $name;" ;;
      *) bad="$bad unknown clause \"$clause\";" ;;
    esac
  done
  check "$where: clauses that are understood ($bad)" test -z "$bad"
  [ -z "$bad" ] || continue
  if [ -n "$by" ]; then
    check "$where: run by $by, which takes it from $page" grep -qF "$page" "$src/$by"
    continue
  fi
  if [ "$needs_pg" = 1 ]; then
    if ! postgres $afresh; then
      check "$where: the tests' PostgreSQL cluster with ztteam and ztstore" false
      continue
    fi
    sed -i -e "s|@db\.example\.org|@$pg_uri_host|g; s|db\.example\.org|$pg_host|g; s|/mnt/team/|$tmp/mnt/team/|g" "$text"
  fi
  for command in "${given[@]}"; do
    printf '%s\n' "$command" >"$tmp/given.sh"
    run_block 0 "$tmp/given.sh"
    check "$where: what it is given ($command) exits 0" test "$status" = 0
    [ "$status" = 0 ] || cat "$tmp/out"
  done
  ran=$((ran + 1))
  if [ "${first#\$ }" != "$first" ]; then
    run_session "$text"
  else
    run_block "$n" "$text"
  fi
  if [ "$status" != "$want" ]; then
    check "$where: exits $want (exit status $status)" false
    echo "--- the block:"
    cat "$text"
    echo "--- what it printed:"
    cat "$tmp/out"
    echo "---"
  fi
done <"$tmp/blocks/manifest"
echo "$page: $blocks blocks, $ran run"
finish "$page"
