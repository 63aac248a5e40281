#!/usr/bin/env bash
# Two members of a team share a PostgreSQL store whose scripts folder is set
# up as docs/team-store.md says (a folder of the team's group, mode 2775),
# each with Debian's default umask 022. As root (as CI runs) they are two
# Unix users of a group made here and removed at exit; otherwise the calling
# user plays both, under two store users. One after the other and at once:
# both runs succeed, the folders and files the store makes are
# group-writable, and neither is asked about the other's unchanged tests. A
# root folder made before the folder was shared stops the other member's run
# with the reason and no login line, until its owner opens the store again.
# The store runs on a private cluster of this test's own, whose socket the
# two users may reach. As root the folder, the group and its members are
# set up by the page's own commands (docs/team-store.md, the block marked as
# run by this test), with this test's names and folder for the page's.
. "$2/tests/cli/lib/common.sh" "$@"
unset ZT_TEST_PG_HOST ZTUNITTEST_USER
. "$src/tests/cli/lib/pg.sh"
bank=$src/examples/bank-ejb.json
question='exists. Replace it?'
cancelled='User canceled code generation from the login dialog.'

if [ "$(id -u)" = 0 ]; then
  suffix=$$
  group=ztteam$suffix
  ann=zt-ann$suffix bob=zt-bob$suffix
  cleanup() {
    userdel "$ann" 2>/dev/null
    userdel "$bob" 2>/dev/null
    groupdel "$group" 2>/dev/null
  }
  trap 'cleanup; bash "$src/tests/pg/cluster.sh" stop "$pg_host"; rm -rf "$tmp"' EXIT
  useradd -M -N -g users -s /bin/sh "$ann"
  useradd -M -N -g users -s /bin/sh "$bob"
  # The page's set-up: its group, members and folder are this test's.
  awk '/<!-- run: by tests\/cli\/team_members.sh -->/ { found = 1; next }
       found && /^    / { sub(/^    /, ""); print; seen = 1; next }
       found && seen && /^[^ ]/ { exit }' "$src/docs/team-store.md" >"$tmp/setup.sh"
  check "the page's set-up is there" grep -q "chmod 2775 /srv/ztunittest/scripts" "$tmp/setup.sh"
  sed -i -e 's/^sudo //; s/\bztteam\b/'"$group"'/g; s/\bann\b/'"$ann"'/g; s/\bbob\b/'"$bob"'/g' \
    -e "s|/srv/ztunittest|$tmp/srv|g" "$tmp/setup.sh"
  check "and runs" bash -e "$tmp/setup.sh"
  # The users reach the cluster's socket, the program and the shared folder.
  chmod 0711 "$pg_host" "$tmp"
  as() {  # as MEMBER COMMAND...: COMMAND as the Unix user MEMBER, umask 022
    local member=$1
    shift
    setpriv --reuid="$member" --regid=users --init-groups -- env HOME="$tmp" USER="$member" \
      sh -c 'umask 022; exec "$@"' sh "$@"
  }
else
  group=$(id -gn)
  ann=ann bob=bob
  as() {
    local member=$1
    shift
    (umask 022 && USER=$member "$@")
  }
fi

conninfo() { echo "$(pg_fresh_conninfo) scripts=$1"; }
# What the runs write: a folder both members may write in.
mkdir -m 1777 "$tmp/runs"
gen() {  # gen MEMBER STORE NAME: the run's stdout, stderr and summary are $tmp/runs/NAME.*
  as "$1" "$zt" generate "$bank" --select bank::core --store "$2" --user "$1" --summary-json "$tmp/runs/$3.json" \
    </dev/null >"$tmp/runs/$3.out" 2>"$tmp/runs/$3.err"
}

# The folder as the page sets it up (as root, set up above).
if [ "$(id -u)" != 0 ]; then
  mkdir -p "$tmp/srv/scripts"
  chgrp "$group" "$tmp/srv/scripts"
  chmod 2775 "$tmp/srv/scripts"
fi
chmod 0755 "$tmp/srv"
store=$(conninfo "$tmp/srv/scripts")

gen "$ann" "$store" ann1
check "the first member's run exits 0" [ "$(jq .status "$tmp/runs/ann1.json")" = 0 ]
modes=$(find "$tmp/srv/scripts" -mindepth 1 -type d -printf '%m\n' | sort -u | tr '\n' ' ')
check "every folder made is group-writable and setgid ($modes)" [ "$modes" = "2775 " ]
modes=$(find "$tmp/srv/scripts" -type f -printf '%m\n' | sort -u | tr '\n' ' ')
check "every test written is group-writable ($modes)" [ "$modes" = "664 " ]
groups=$(find "$tmp/srv/scripts" -mindepth 1 -printf '%g\n' | sort -u)
check "all of it belongs to the team's group ($groups)" [ "$groups" = "$group" ]
find "$tmp/srv/scripts" -type f -name '*.java' -exec md5sum {} + | sort >"$tmp/first.sums"
check "it wrote the tests" [ "$(wc -l <"$tmp/first.sums")" -eq 12 ]

touch -d '2000-01-01' $(find "$tmp/srv/scripts" -type f)
gen "$bob" "$store" bob1
status=$(jq .status "$tmp/runs/bob1.json")
check "the second member's run exits 0 (status $status)" [ "$status" = 0 ]
check "it asks nothing about the first one's tests" bash -c "! grep -qF '$question' '$tmp/runs/bob1.err'"
check "every test of it stored (as it was)" [ "$(jq -c '[.operations[] | select(.outcome == "generated") | .testOutcome] | unique' "$tmp/runs/bob1.json")" = '["stored"]' ]
find "$tmp/srv/scripts" -type f -name '*.java' -exec md5sum {} + | sort >"$tmp/second.sums"
check "the tests are the first member's, unwritten" cmp -s "$tmp/first.sums" "$tmp/second.sums"
check "not one file written again" [ -z "$(find "$tmp/srv/scripts" -type f -newermt '2001-01-01')" ]
check "the header names the first member" grep -q "for $ann\." "$(find "$tmp/srv/scripts" -name '*.java' | head -1)"

# A model change: the second member replaces the first one's tests unasked
# (the store wrote them and nobody edited them).
sed 's/"deposit"/"depositAll"/' "$bank" >"$tmp/changed.json"
as "$bob" "$zt" generate "$tmp/changed.json" --select bank::core --store "$store" --user "$bob" </dev/null \
  >"$tmp/runs/bob2.out" 2>"$tmp/runs/bob2.err"
status=$?
check "after a model change the second member's run exits 0 (status $status)" [ "$status" = 0 ]
check "it asks nothing" bash -c "! grep -qF '$question' '$tmp/runs/bob2.err'"

# A root made before the folder was shared (mode 755): the other member's
# run stops at the opening, saying which folder and why, without the login
# line; its owner's next opening makes it the group's again.
chmod 0755 "$tmp/srv/scripts/java"
gen "$bob" "$store" bob3
status=$(jq .status "$tmp/runs/bob3.json")
if [ "$(id -u)" = 0 ]; then
  check "a folder the member cannot write stops the run (status $status)" [ "$status" = 1 ]
  check "it names the folder and its owner" grep -qF "Cannot open the store at $tmp/srv/scripts/java: $bob cannot write it: it belongs to $ann" "$tmp/runs/bob3.err"
  check "and says how to open it to the group" grep -qF "chmod -R g+w $tmp/srv/scripts/java" "$tmp/runs/bob3.err"
  check "no login line in the log" bash -c "! grep -qF '$cancelled' '$tmp/runs/bob3.out'"
  check "nothing on stdout" [ ! -s "$tmp/runs/bob3.out" ]
  gen "$ann" "$store" ann2
  check "the owner's run exits 0" [ "$(jq .status "$tmp/runs/ann2.json")" = 0 ]
  check "and opens the folder to the group again" [ "$(stat -c %a "$tmp/srv/scripts/java")" = 2775 ]
fi
gen "$bob" "$store" bob4
check "then the other member's run exits 0" [ "$(jq .status "$tmp/runs/bob4.json")" = 0 ]

# Both at once into a fresh store: both succeed, neither asks.
mkdir "$tmp/srv/fresh"
chgrp "$group" "$tmp/srv/fresh"
chmod 2775 "$tmp/srv/fresh"
fresh=$(conninfo "$tmp/srv/fresh")
gen "$ann" "$fresh" ann5 & a=$!
gen "$bob" "$fresh" bob5 & b=$!
wait "$a"
wait "$b"
for run in ann5 bob5; do
  check "$run at once exits 0" [ "$(jq .status "$tmp/runs/$run.json")" = 0 ]
  check "$run at once asks nothing" bash -c "! grep -qF '$question' '$tmp/runs/$run.err'"
  check "$run at once keeps nothing out" [ "$(jq '[.operations[] | select(.testOutcome == "kept")] | length' "$tmp/runs/$run.json")" = 0 ]
done
check "twelve tests in the fresh store" [ "$(find "$tmp/srv/fresh" -name '*.java' | wc -l)" -eq 12 ]
modes=$(find "$tmp/srv/fresh" -mindepth 1 -printf '%y%m\n' | sort -u | tr '\n' ' ')
check "group-writable whoever made them ($modes)" [ "$modes" = "d2775 f664 " ]
finish team_members
